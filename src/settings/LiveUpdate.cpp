#include "LiveUpdate.h"

#include "Folders.h"
#include "Shell.h"
#include "Site.h"
#include "DownloadJob.h"
#include "TransferNames.h"
#include "UserPrompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QUrl>

#include <limits>
#include <stdexcept>

const QString LiveUpdate::FolderName = QStringLiteral("Linguaro Translator");
const QString LiveUpdate::VersionFileName = QStringLiteral("update.ini");

namespace {

const QString Title = QStringLiteral("Live Update");

void tell(const QString& text, UserPrompts::Kind kind = UserPrompts::Kind::Warning)
{
    UserPrompts::instance().message(text, kind, Title);
}

}  // namespace

LiveUpdate::LiveUpdate(TTransfer& transfer) : m_transfer(transfer) {}

LiveUpdate::~LiveUpdate() = default;

void LiveUpdate::JobDeleter::operator()(DownloadJob* job) const { job->deleteLater(); }

void LiveUpdate::download(const QString& address, const QString& folder,
                          void (LiveUpdate::*then)(const QString&, const QString&), const QString& dataFolder)
{
    m_job.reset(DownloadJob::start(address, folder, &m_transfer));
    QObject::connect(m_job.get(), &DownloadJob::finished, m_job.get(),
                     [this, then, address, dataFolder] { (this->*then)(address, dataFolder); });
}

QString LiveUpdate::installerNameFromUrl(const QString& url) { return TransferNames::urlFileName(url.trimmed()); }

LiveUpdate::VersionFile LiveUpdate::readVersionFile(const QString& path)
{
    VersionFile read;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        read.problem = QStringLiteral("The version file %1 cannot be read. %2").arg(path, file.errorString());
        return read;
    }
    // two lines are all there is to it; a hostile file is not read to its end
    const QString text = QString::fromUtf8(file.read(64 * 1024));
    QStringList lines = text.split(u'\n');
    const QString first = lines.value(0).remove(QChar(0xFEFF)).trimmed();
    read.installer = lines.value(1).trimmed();
    bool number = false;
    read.version = first.toInt(&number);
    if (!number) {
        // a version number too long to count is still a number: newer, or older, than any
        static const QRegularExpression longNumber(QStringLiteral("^[+-]?[0-9]+$"));
        number = longNumber.match(first).hasMatch();
        read.version = first.startsWith(u'-') ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    read.ok = number;
    if (!number)
        read.problem = QStringLiteral("The version file from the site is not readable: its first line \"%1\" is "
                                      "not a version number.")
                           .arg(first.left(80));
    return read;
}

void LiveUpdate::checkForUpdate()
{
    if (busy()) {
        tell(QStringLiteral("Another download is under way. Try again when it has finished."));
        return;
    }
    const QString data = Folders::commonDataFolder();
    const QString folder = data + u'/' + FolderName;
    if (!QDir().mkpath(folder))
        throw std::runtime_error(("Cannot create folder " + folder).toStdString());

    download(Site::address(VersionFileName), folder, &LiveUpdate::versionFetched, data);
}

void LiveUpdate::versionFetched(const QString& address, const QString& data)
{
    const DownloadResult fetched = m_job->result();
    m_job.reset();
    if (!fetched.ok) {
        if (!fetched.cancelled)
            tell(QStringLiteral("The update information could not be fetched from %1.\n%2")
                     .arg(address, fetched.reason));
        return;
    }
    const VersionFile version = readVersionFile(fetched.path);
    if (!version.ok) {
        tell(version.problem);
        return;
    }
    if (version.version <= RunningVersion) {
        UserPrompts::instance().message(QStringLiteral("No update found. You are using the latest version."),
                                        UserPrompts::Kind::Information, Title);
        return;
    }
    if (UserPrompts::instance().question(QStringLiteral("A newer version of Linguaro Translator is now available. "
                                                        "Would you like to install it?"),
                                         Title)
        != UserPrompts::Answer::Yes)
        return;
    // an address relative to the version file lies on the same site
    const QUrl written(version.installer);
    const QString installer = written.isRelative() && !version.installer.isEmpty()
                                  ? QUrl(address).resolved(written).toString(QUrl::FullyEncoded)
                                  : version.installer;
    install(installer, data);
}

void LiveUpdate::install(const QString& address, const QString& dataFolder)
{
    const QString name = installerNameFromUrl(address);
    if (name.isEmpty()) {
        tell(QStringLiteral("The update information names no installer file (\"%1\").").arg(address));
        return;
    }
    download(address, dataFolder, &LiveUpdate::installerFetched, dataFolder);
}

void LiveUpdate::installerFetched(const QString& address, const QString& dataFolder)
{
    const DownloadResult fetched = m_job->result();
    m_job.reset();
    if (!fetched.ok) {
        // nothing half-downloaded is ever started
        if (!fetched.cancelled)
            tell(QStringLiteral("The installer could not be downloaded from %1.\n%2").arg(address, fetched.reason));
        return;
    }
    const Shell::Outcome started = Shell::run(fetched.path, {}, false, dataFolder);
    if (!started.finished())
        tell(QStringLiteral("The installer %1 could not be started.\n%2").arg(fetched.path, started.problem));
}
