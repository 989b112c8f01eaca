#include "ComponentInstaller.h"

#include "Folders.h"
#include "Site.h"
#include "UserPrompts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

const QString ComponentInstaller::AgentCorePresent =
    QStringLiteral("Microsoft Agent Core Component is already installed.");
const QString ComponentInstaller::Sapi5Present = QStringLiteral("SAPI 5.x is already installed!");
const QString ComponentInstaller::EnginePresent = QStringLiteral("This component is already installed!");

const QStringList ComponentInstaller::Characters = {"Merlin", "Genie", "Peedy", "Robby"};
const QStringList ComponentInstaller::AllEngines = {"tv_enua.exe",  "lhttseng.exe", "lhttsdun.exe", "lhttsfrf.exe",
                                                    "lhttsged.exe", "lhttsiti.exe", "lhttsjpj.exe", "lhttsspe.exe",
                                                    "lhttsptb.exe", "lhttsrur.exe", "lhttskok.exe"};

namespace {

const QString AgentCoreFile = QStringLiteral("msagent/agentsvr.exe");
const QString AgentPackageTest = QStringLiteral("msagent/AgentSvr.exe");
const QString SpeechRuntimeFile = QStringLiteral("speech/speech.dll");
const QString Sapi5Package = QStringLiteral("SAPI5SpeechInstaller.msi");
const QString Quiet = QStringLiteral("/Q:A");
const QString RestNotInstalled = QStringLiteral("The remaining optional components were not installed.");

QString siteFrom(const char* variable)
{
    QString root = qEnvironmentVariable(variable).trimmed();
    if (root.isEmpty())
        return Site::root();
    if (!root.endsWith(u'/'))
        root += u'/';
    return root;
}

// A name that stays inside D: the engine installers come from callers by name.
bool plainFileName(const QString& name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') && name != QLatin1String(".")
           && name != QLatin1String("..") && !name.contains(QChar(0));
}

// One parameter in double quotes, as the shell splits a command line.
QString quoted(const QString& path)
{
    return u'"' + QString(path).replace(QLatin1String("\""), QLatin1String("\"\"\"")) + u'"';
}

// The installer's last words: its last line of output that says something.
QString lastMessage(const QByteArray& output)
{
    const QStringList lines = QString::fromUtf8(output).split(u'\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QString text = line->trimmed();
        if (!text.isEmpty())
            return text.left(400);
    }
    return {};
}

}  // namespace

QString ComponentInstaller::characterPresent(const QString& name)
{
    return name + QStringLiteral(" is already installed!");
}

QString ComponentInstaller::makerSite() { return Site::root(); }
QString ComponentInstaller::characterSite() { return siteFrom("LINGUARO_CHARACTERS_URL"); }
QString ComponentInstaller::sapi5Site() { return siteFrom("LINGUARO_SAPI5_URL"); }

ComponentInstaller::ComponentInstaller(std::unique_ptr<ComponentDownloads> downloads,
                                       std::unique_ptr<InstallerLauncher> launcher)
    : m_downloads(std::move(downloads)), m_launcher(std::move(launcher))
{}

ComponentInstaller::~ComponentInstaller() = default;

bool ComponentInstaller::isWow64() const { return Version.platform == WindowsVersion::Platform::NT && Version.wow64; }

bool ComponentInstaller::speechEngineFetched(const QString& file) const
{
    return plainFileName(file) && Folders::entryExists(Folders::commonDataFolder(), file);
}

ComponentInstaller::Outcome ComponentInstaller::installAgentCore()
{
    return run([this] { return agentCore(); });
}
ComponentInstaller::Outcome ComponentInstaller::installAgentPackage()
{
    return run([this] { return agentPackage(); });
}
ComponentInstaller::Outcome ComponentInstaller::installCharacter(const QString& name)
{
    return run([this, name] { return character(name); });
}
ComponentInstaller::Outcome ComponentInstaller::installSapi4()
{
    return run([this] { return sapi4(); });
}
ComponentInstaller::Outcome ComponentInstaller::installSapi5()
{
    return run([this] { return sapi5(); });
}
ComponentInstaller::Outcome ComponentInstaller::installSpeechEngine(const QString& file)
{
    return run([this, file] { return engine(file); });
}

ComponentInstaller::Outcome ComponentInstaller::run(const std::function<Result()>& operation)
{
    if (m_busy) {
        show(
            {Outcome::Failed, QStringLiteral("Another component is being installed. Try again when it has finished.")});
        return Outcome::Failed;
    }
    m_busy = true;
    struct Idle {
        bool& busy;
        ~Idle() { busy = false; }
    } idle{m_busy};
    const Result result = operation();
    show(result);
    return result.outcome;
}

void ComponentInstaller::show(const Result& result)
{
    if (result.message.isEmpty())
        return;
    UserPrompts::instance().message(result.message,
                                    result.outcome == Outcome::Present ? UserPrompts::Kind::Information
                                                                       : UserPrompts::Kind::Warning,
                                    QCoreApplication::applicationName());
}

ComponentInstaller::Result ComponentInstaller::agentCore()
{
    if (Folders::entryExists(Folders::windowsFolder(), AgentCoreFile))
        return {Outcome::Present, AgentCorePresent};
    return fetchAndStart({makerSite() + QStringLiteral("MSagent.exe"), QStringLiteral("msagent.exe"), Quiet, true});
}

ComponentInstaller::Result ComponentInstaller::agentPackage()
{
    const QString windows = Folders::windowsFolder();
    if (Folders::entryExists(windows, AgentPackageTest))
        return {Outcome::Present, {}};
    const QString name = isWow64() ? QStringLiteral("x64.msu") : QStringLiteral("x86.msu");
    const QString data = Folders::commonDataFolder();
    QString package = Folders::findEntry(data, name);
    if (package.isEmpty()) {
        const QString address = makerSite() + name;
        const SiteDownload::Result fetched = m_downloads->fetch(address, data);
        if (fetched.cancelled)
            return {Outcome::Cancelled, {}};
        if (!fetched.ok)
            return {
                Outcome::Failed,
                QStringLiteral("The Agent package could not be downloaded from %1.\n%2").arg(address, fetched.reason)};
        package = fetched.path;
    }
    // the system's update installer puts the package in; without it the package only waits in D
    const QString installer = Folders::findEntry(windows, QStringLiteral("system32/wusa.exe"));
    if (installer.isEmpty())
        return {Outcome::NotNeeded, {}};
    return start(installer, quoted(package), package);
}

ComponentInstaller::Result ComponentInstaller::character(const QString& name)
{
    if (Folders::entryExists(Folders::windowsFolder(),
                             QStringLiteral("msagent/chars/") + name.toLower() + QStringLiteral(".acs")))
        return {Outcome::Present, characterPresent(name)};
    return fetchAndStart(
        {characterSite() + name + QStringLiteral(".exe"), name.toLower() + QStringLiteral(".exe"), Quiet});
}

ComponentInstaller::Result ComponentInstaller::sapi4()
{
    // Vista and Windows 7 onwards bring a speech runtime of their own
    const QString name = WindowsVersion::name(WindowsVersion::detect(Version));
    if (Folders::entryExists(Folders::windowsFolder(), SpeechRuntimeFile))
        return {Outcome::Present, {}};
    if (name.indexOf(QLatin1String("Vista")) > 0 || WindowsVersion::aboveSixPointZero(Version))
        return {Outcome::NotNeeded, {}};
    return fetchAndStart({makerSite() + QStringLiteral("spchapi.exe"), QStringLiteral("spchapi.exe"), Quiet});
}

ComponentInstaller::Result ComponentInstaller::sapi5()
{
    if (Folders::entryExists(Folders::commonDataFolder(), Sapi5Package))
        return {Outcome::Present, Sapi5Present};
    return fetchAndStart({sapi5Site() + Sapi5Package, Sapi5Package, QString()});
}

ComponentInstaller::Result ComponentInstaller::engine(const QString& file)
{
    if (!plainFileName(file))
        return {Outcome::Failed, QStringLiteral("\"%1\" is not the file name of a speech engine installer.").arg(file)};
    if (speechEngineFetched(file))
        return {Outcome::Present, EnginePresent};
    return fetchAndStart({makerSite() + file, file, Quiet});
}

ComponentInstaller::Result ComponentInstaller::fetchAndStart(const Installer& installer)
{
    const QString data = Folders::commonDataFolder();
    QString program = installer.reuse ? Folders::findEntry(data, installer.startName) : QString();
    if (program.isEmpty()) {
        const SiteDownload::Result fetched = m_downloads->fetch(installer.address, data);
        if (fetched.cancelled)
            return {Outcome::Cancelled, {}};
        // nothing missing or partial is ever started
        if (!fetched.ok)
            return {Outcome::Failed, QStringLiteral("The installer could not be downloaded from %1.\n%2")
                                         .arg(installer.address, fetched.reason)};
        program = fetched.path;
    }
    if (!Shell::isProgramFile(program)) {
        QFile::remove(program);
        return {Outcome::Failed, QStringLiteral("%1 is not an installer (a damaged download). It was removed, so "
                                                "the next try downloads it again from %2.")
                                     .arg(program, installer.address)};
    }
    return start(program, installer.parameters, program);
}

ComponentInstaller::Result ComponentInstaller::start(const QString& program, const QString& parameters,
                                                     const QString& fetched)
{
    const Shell::Outcome ended = m_launcher->start(program, parameters);
    if (ended.finished() && ended.exitCode == 0)
        return {Outcome::Installed, {}};

    // what failed is fetched anew next time, and its component does not count as installed
    QFile::remove(fetched);
    const QString said = lastMessage(ended.output);
    QString text;
    if (ended.status == Shell::Outcome::Status::NotStarted)
        text = QStringLiteral("The installer %1 could not be started.\n%2").arg(program, ended.problem);
    else if (!ended.finished())
        text = QStringLiteral("The installer %1 did not finish.\n%2").arg(program, ended.problem);
    else
        text = QStringLiteral("The installer %1 ended with error code %2.").arg(program).arg(ended.exitCode);
    if (!said.isEmpty())
        text += u'\n' + said;
    return {Outcome::Failed, text};
}

void ComponentInstaller::installAll()
{
    std::vector<std::function<Result()>> steps = {[this] { return agentCore(); }, [this] { return sapi4(); }};
    for (const QString& name : Characters)
        steps.push_back([this, name] { return character(name); });
    for (const QString& file : AllEngines)
        steps.push_back([this, file] { return engine(file); });

    run([&]() -> Result {
        for (const auto& step : steps) {
            Result result = step();
            if (result.outcome == Outcome::Cancelled)
                return {Outcome::Cancelled,
                        QStringLiteral("Installing all optional components was cancelled. ") + RestNotInstalled};
            if (result.outcome == Outcome::Failed) {
                result.message += QStringLiteral("\n\n") + RestNotInstalled;
                return result;
            }
            show(result);
        }
        return {};
    });
}

void ComponentInstaller::runStartupRule(const QString& startCharacter)
{
    if (WindowsVersion::agentUnavailable(WindowsVersion::detect(Version)))
        return;
    const QString windows = Folders::windowsFolder();
    auto goesOn = [](Outcome outcome) { return outcome != Outcome::Failed && outcome != Outcome::Cancelled; };
    if (WindowsVersion::aboveSixPointZero(Version)) {
        if (!goesOn(installAgentPackage()))
            return;
    } else if (!Folders::entryExists(windows, QStringLiteral("msagent"))) {
        if (!goesOn(installAgentCore()))
            return;
    }
    const QString name = startCharacter.isEmpty() ? QStringLiteral("Merlin") : startCharacter;
    if (Characters.contains(name)
        && !Folders::entryExists(windows, QStringLiteral("msagent/chars/") + name.toLower() + QStringLiteral(".acs"))) {
        if (!goesOn(installCharacter(name)))
            return;
    }
    if (!Folders::entryExists(windows, SpeechRuntimeFile))
        installSapi4();
}
