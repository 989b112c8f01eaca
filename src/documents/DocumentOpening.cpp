#include "DocumentOpening.h"

#include "ConverterExit.h"
#include "Folders.h"
#include "PaneDocument.h"
#include "Site.h"
#include "SiteDownload.h"
#include "UserPrompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextDocument>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

const QString DocumentOpening::ConverterSuffix = QStringLiteral("-extract");
const QString DocumentOpening::WorkFileName = QStringLiteral("istmp.txt");
const QString DocumentOpening::WordFolderName = QStringLiteral("wordtext");
const QString DocumentOpening::WordProgramName = QStringLiteral("wordtext");
const QString DocumentOpening::WordMarkerName = QStringLiteral("cp1252.txt");

namespace {

const QString IdleStatus = QStringLiteral("Ready.");
// the longest stretch of a converter's complaint that goes into a message
constexpr int MaxReasonLength = 2000;

void removeEntry(const QString& folder, const QString& name)
{
    // the entry itself goes, also when it is a link
    const QString found = Folders::findEntry(folder, name);
    if (!found.isEmpty())
        QFile::remove(found);
}

QString secondsText(qint64 seconds)
{
    return seconds == 1 ? QStringLiteral("1 second") : QStringLiteral("%1 seconds").arg(seconds);
}

// What the converter wrote on standard error, shortened to fit a message.
QString said(const Shell::Outcome& outcome)
{
    const QString said = QString::fromUtf8(outcome.errors).trimmed();
    return said.length() > MaxReasonLength ? said.left(MaxReasonLength) + QStringLiteral("...") : said;
}

// Why a converter gave no text, in the same words for the window and the command line: a
// limit that stopped it in a sentence of ours, else the converter's own complaint.
QString reason(const Shell::Outcome& outcome, const Shell::Limits& limits)
{
    using Status = Shell::Outcome::Status;
    switch (outcome.status) {
    case Status::TimedOut:
        return QStringLiteral("The converter took too long and was stopped after %1.")
            .arg(secondsText((limits.timeoutMs + 999) / 1000));
    case Status::OverCpuTime:
        return QStringLiteral("The converter took too long and was stopped after %1 of processor time.")
            .arg(secondsText(limits.cpuSeconds));
    case Status::Crashed:
        return QStringLiteral("The converter crashed or ran out of memory (signal %1, %2).")
            .arg(outcome.signal)
            .arg(QString::fromLocal8Bit(::strsignal(outcome.signal)));
    case Status::Finished:
        break;
    default:
        return outcome.problem;
    }
    if (outcome.exitCode == ConverterExit::OutOfMemory)
        return limits.memoryBytes > 0 ? QStringLiteral("The document needs more memory than allowed (%1 MB).")
                                            .arg(limits.memoryBytes / (1024 * 1024))
                                      : QStringLiteral("The document needs more memory than allowed.");
    const QString said = ::said(outcome);
    return said.isEmpty() ? QStringLiteral("The converter ended with code %1.").arg(outcome.exitCode) : said;
}

bool succeeded(const Shell::Outcome& outcome) { return outcome.finished() && outcome.exitCode == ConverterExit::Done; }

}  // namespace

struct DocumentOpening::Converted {
    enum class Kind { Text, File, Failed };
    Kind kind = Kind::Failed;
    QString text;                            // Text: what goes into the pane
    QString file;                            // File: the working file to load (it may be missing)
    QString problem;                         // Failed: what the user is told
    QString notice;                          // shown once the text is in the pane
    std::unique_ptr<QTemporaryDir> scratch;  // a page's private folder, removed after loading

    static Converted failure(const QString& problem)
    {
        Converted c;
        c.problem = problem;
        return c;
    }
};

DocumentOpening::DocumentOpening(Pane source, TTransfer& transfer, FileOpenDialog& dialog, StatusLine status)
    : m_source(std::move(source)), m_transfer(transfer), m_dialog(dialog), m_status(std::move(status))
{}

void DocumentOpening::placeText(QTextDocument& document, const QString& text)
{
    if (text.size() < LongText)
        PaneDocument::setPlainText(document, text);
    else
        m_source.adopt(PaneDocument::buildPlainText(text, document));
}

QString DocumentOpening::formatTag(const QString& path)
{
    const QString lower = path.toLower();
    QString tag;
    for (const char* candidate : {"doc", "xls", "ppt", "pdf", "htm"}) {
        if (lower.contains(u'.' + QLatin1String(candidate)))
            tag = QLatin1String(candidate);
    }
    if (!tag.isEmpty())
        return tag;
    // Templates are the same formats under other extensions. Only the file's own extension
    // counts: a substring ".dot" would catch every path through a folder such as ".dotfiles".
    static const struct {
        const char* extension;
        const char* tag;
    } templates[] = {{"dot", "doc"},  {"dotx", "doc"}, {"dotm", "doc"}, {"xlt", "xls"}, {"xltx", "xls"},
                     {"xltm", "xls"}, {"pot", "ppt"},  {"potx", "ppt"}, {"potm", "ppt"}};
    const QString name = lower.section(u'/', -1);
    if (!name.contains(u'.'))
        return tag;
    const QString extension = name.section(u'.', -1);
    for (const auto& t : templates) {
        if (extension == QLatin1String(t.extension))
            return QLatin1String(t.tag);
    }
    return tag;
}

int DocumentOpening::headerLines(const QString& tag)
{
    if (tag == QLatin1String("ppt"))
        return 2;
    if (tag == QLatin1String("xls") || tag == QLatin1String("doc"))
        return 1;
    return 0;
}

QString DocumentOpening::unreadable(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? QStringLiteral("no such file")
                                                   : QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("it is a folder");
    // reading a pipe waits for a writer that may never come, and a device may never end
    if (S_ISFIFO(info.st_mode))
        return QStringLiteral("it is a named pipe, not a file");
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return QStringLiteral("it is a device, not a file");
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("it is not a file");
    if (::access(name.constData(), R_OK) != 0)
        return QStringLiteral("permission denied");
    return {};
}

void DocumentOpening::report(const QString& text)
{
    UserPrompts::instance().message(text, UserPrompts::Kind::Warning, QCoreApplication::applicationName());
}

void DocumentOpening::finish(const QString& path, const QString& status)
{
    m_status(status, false);
    // the next Open dialog starts at the chosen document, not at a converter's output
    m_dialog.FileName = path;
}

void DocumentOpening::fail(const QString& path, const QString& problem)
{
    report(problem);
    finish(path, IdleStatus);
}

bool DocumentOpening::accept(const QString& path)
{
    if (m_busy)
        return false;
    m_busy = true;
    m_loaded = false;
    struct Release {
        bool& busy;
        ~Release() { busy = false; }
    } release{m_busy};

    const QString data = Folders::commonDataFolder();
    const QString tag = formatTag(path);
    removeEntry(data, WorkFileName);

    // nothing is fetched or run for a name that holds no readable file
    const QString unreadable = DocumentOpening::unreadable(path);
    if (!unreadable.isEmpty()) {
        fail(path, QFileInfo::exists(path) ? QStringLiteral("Failed to open %1: %2.").arg(path, unreadable)
                                           : QStringLiteral("Failed to open ") + path);
        return true;
    }

    Converted converted;
    if (tag.isEmpty()) {
        converted.kind = Converted::Kind::File;
        converted.file = path;
    } else {
        const QString converter = obtainConverter(tag, data);
        if (converter.isEmpty()) {
            m_dialog.FileName = path;
            return true;
        }
        m_status(QStringLiteral("Loading ") + path + QStringLiteral(", please wait..."), true);
        QCoreApplication::processEvents();
        converted = convert(tag, converter, path, data);
    }

    if (converted.kind == Converted::Kind::Failed) {
        removeEntry(data, WorkFileName);
        fail(path, converted.problem);
        return true;
    }
    if (converted.kind == Converted::Kind::File) {
        if (!QFileInfo(converted.file).isFile()) {
            fail(path, QStringLiteral("Failed to open ") + path);
            return true;
        }
        const auto place = [this](QTextDocument& document, const QString& text) { placeText(document, text); };
        PaneDocument::Outcome loaded;
        if (tag.isEmpty() || QFileInfo(converted.file).size() > PaneDocument::kMaxLoadBytes) {
            loaded = PaneDocument::load(converted.file, m_source.document(), place);
        } else {
            // a converter's file is looked at first, so one without any text leaves the pane as it was
            QFile file(converted.file);
            const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            if (bytes.trimmed().isEmpty()) {
                loaded.ok = false;
                loaded.error = QStringLiteral("No text was found in \"%1\".").arg(path);
            } else {
                loaded = PaneDocument::loadData(bytes, m_source.document(), path, place);
            }
        }
        removeEntry(data, WorkFileName);
        if (!loaded.ok) {
            fail(path, loaded.error);
            return true;
        }
    } else {
        placeText(m_source.document(), converted.text);
    }
    m_loaded = true;
    finish(path, path + QStringLiteral(" loaded."));
    if (!converted.notice.isEmpty())
        report(converted.notice);
    return true;
}

QString DocumentOpening::obtainConverter(const QString& tag, const QString& data)
{
    const QString name = converterName(tag);
    QString converter = Folders::findEntry(data, name);
    if (converter.isEmpty()) {
        const QString address = Site::address(name);
        const SiteDownload::Result fetched = SiteDownload::fetch(m_transfer, address, data);
        if (!fetched.ok) {
            if (!fetched.cancelled)
                report(QStringLiteral("The converter for this kind of document could not be fetched from %1.\n%2")
                           .arg(address, fetched.reason));
            return {};
        }
        converter = Folders::findEntry(data, name);
    }
    if (!converter.isEmpty() && !Shell::isProgramFile(converter)) {
        // not a program (a damaged download): it goes, so the next open fetches it afresh
        if (!QFile::remove(converter)) {
            report(QStringLiteral("The converter %1 is not a program and could not be removed; remove it to have "
                                  "it fetched anew.")
                       .arg(converter));
            return {};
        }
        report(QStringLiteral("The converter %1 was damaged and has been removed; open the document again "
                              "to fetch it anew.")
                   .arg(converter));
        return {};
    }
    return converter;
}

DocumentOpening::Converted DocumentOpening::convert(const QString& tag, const QString& converter, const QString& path,
                                                    const QString& data)
{
    if (tag == QLatin1String("htm"))
        return convertPage(converter, path);
    if (tag == QLatin1String("pdf")) {
        // istmp.txt in a folder of this open's own: another open of a PDF at the same time
        // (another window, the command line) neither removes it nor puts its text there
        Converted converted = scratch(path);
        if (converted.kind == Converted::Kind::Failed)
            return converted;
        converted.file = converted.scratch->filePath(WorkFileName);
        const Shell::Outcome outcome =
            Shell::run(converter, {path, converted.file}, true, QString(), ConverterLimits, Shell::Capture::Separate);
        // a text cut short (too long, or its pages too slow to read) is loaded as far as it goes
        if (outcome.finished() && outcome.exitCode == ConverterExit::Partial)
            converted.notice = QStringLiteral("Only the beginning of \"%1\" was loaded.\n%2").arg(path, said(outcome));
        else if (!succeeded(outcome))
            return failed(path, outcome);
        return converted;
    }

    Shell::Outcome outcome;
    if (tag == QLatin1String("doc")) {
        Converted word = convertWord(converter, data);
        if (word.kind == Converted::Kind::Failed)
            return word;
        outcome = Shell::runCaptured(word.file, {path}, Shell::Capture::Separate, ConverterLimits);
    } else {
        outcome = Shell::runCaptured(converter, {path}, Shell::Capture::Separate, ConverterLimits);
    }
    if (!succeeded(outcome))
        return failed(path, outcome);

    QString text = QString::fromUtf8(outcome.output);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    for (int line = 0; line < headerLines(tag); ++line) {
        const qsizetype end = text.indexOf(u'\n');
        if (end < 0)
            text.clear();
        else
            text.remove(0, end + 1);
    }
    if (text.trimmed().isEmpty())
        return Converted::failure(QStringLiteral("No text was found in \"%1\".").arg(path));
    Converted converted;
    converted.kind = Converted::Kind::Text;
    converted.text = text;
    if (outcome.cut)
        converted.notice = QStringLiteral("The text of \"%1\" is longer than %2 MB; only its beginning was loaded.")
                               .arg(path)
                               .arg(ConverterLimits.outputCap / (1024 * 1024));
    return converted;
}

DocumentOpening::Converted DocumentOpening::failed(const QString& path, const Shell::Outcome& outcome,
                                                   const QString& copy) const
{
    // whatever it wrote before it failed stays out of the pane
    QString reason = ::reason(outcome, ConverterLimits);
    if (!copy.isEmpty())
        reason.replace(copy, path);
    return Converted::failure(QStringLiteral("\"%1\" could not be converted.\n%2").arg(path, reason));
}

DocumentOpening::Converted DocumentOpening::scratch(const QString& path)
{
    Converted converted;
    converted.scratch = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/linguaro-open-XXXXXX"));
    if (!converted.scratch->isValid())
        return Converted::failure(QStringLiteral("No private temporary folder could be made for \"%1\". %2")
                                      .arg(path, converted.scratch->errorString()));
    converted.kind = Converted::Kind::File;
    return converted;
}

DocumentOpening::Converted DocumentOpening::convertPage(const QString& converter, const QString& path)
{
    // The converter writes its text beside the page it reads; it reads a private copy, so a
    // .txt file the user keeps beside the page is never replaced.
    Converted converted = scratch(path);
    if (converted.kind == Converted::Kind::Failed)
        return converted;
    const QString suffix = QFileInfo(path).suffix();
    const QString copy =
        converted.scratch->filePath(QStringLiteral("page.") + (suffix.isEmpty() ? QStringLiteral("htm") : suffix));
    converted.file = converted.scratch->filePath(QStringLiteral("page.txt"));
    if (!QFile::copy(path, copy))
        return converted;  // the page cannot be read: "Failed to open"
    const Shell::Outcome outcome =
        Shell::run(converter, {copy}, true, QString(), ConverterLimits, Shell::Capture::Separate);
    // the reason names the page the user chose, not its private copy
    if (!succeeded(outcome))
        return failed(path, outcome, copy);
    return converted;
}

DocumentOpening::Converted DocumentOpening::convertWord(const QString& converter, const QString& data)
{
    QString folder = Folders::findEntry(data, WordFolderName);
    if (folder.isEmpty())
        folder = data + u'/' + WordFolderName;
    if (!isUnpackedFolder(folder)) {
        const QString problem = unpackWord(converter, data, folder);
        if (!problem.isEmpty())
            return Converted::failure(problem);
    }
    Converted converted;
    converted.kind = Converted::Kind::File;
    converted.file = Folders::findEntry(folder, WordProgramName);
    if (converted.file.isEmpty())
        return Converted::failure(
            QStringLiteral("The Word converter is missing from %1. Delete that folder to have it unpacked again.")
                .arg(folder));
    return converted;
}

bool DocumentOpening::isUnpackedFolder(const QString& folder)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode)
           && Folders::entryExists(folder, WordMarkerName);
}

QString DocumentOpening::unpackWord(const QString& converter, const QString& data, const QString& folder)
{
    const QByteArray target = QFile::encodeName(folder);
    struct stat info {};
    // a file of that name is the user's, not an unpack of ours to replace
    if (::lstat(target.constData(), &info) == 0 && !S_ISDIR(info.st_mode) && !S_ISLNK(info.st_mode))
        return QStringLiteral("Cannot create folder %1").arg(folder);
    if (!QDir().mkpath(data))
        return QStringLiteral("Cannot create folder %1").arg(data);
    // The package unpacks where it runs: here a private folder beside the final one, renamed
    // into place whole once it is complete.
    QTemporaryDir work(data + QStringLiteral("/.") + WordFolderName + QStringLiteral("-XXXXXX"));
    if (!work.isValid())
        return QStringLiteral("Cannot create a folder in %1. %2").arg(data, work.errorString());
    const QString package = work.filePath(QFileInfo(converter).fileName());
    if (!QFile::copy(converter, package))
        return QStringLiteral("Cannot create file %1").arg(package);
    const Shell::Outcome unpacked =
        Shell::run(package, {}, true, work.path(), ConverterLimits, Shell::Capture::Separate);
    if (!Folders::entryExists(work.path(), WordMarkerName))
        return QStringLiteral("The Word converter could not be unpacked in %1.\n%2")
            .arg(folder, succeeded(unpacked) ? QStringLiteral("The package left no converter there.")
                                             : reason(unpacked, ConverterLimits));
    QFile::remove(package);

    const QByteArray unpackedPath = QFile::encodeName(work.path());
    int error = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (::rename(unpackedPath.constData(), target.constData()) == 0) {
            work.setAutoRemove(false);
            return {};
        }
        error = errno;
        // another open (a window, the command line) was first: its folder serves, ours goes
        if (isUnpackedFolder(folder))
            return {};
        // what stands in the way (a link planted there, an unpack cut short) is moved aside
        // whole and removed without being followed
        QTemporaryDir aside(data + QStringLiteral("/.") + WordFolderName + QStringLiteral("-old-XXXXXX"));
        if (!aside.isValid())
            break;
        if (::rename(target.constData(), QFile::encodeName(aside.filePath(WordFolderName)).constData()) != 0
            && errno != ENOENT) {
            error = errno;
            break;
        }
    }
    return QStringLiteral("The Word converter could not be put in place at %1. %2")
        .arg(folder, QString::fromLocal8Bit(std::strerror(error)));
}
