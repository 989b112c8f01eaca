#include "DocumentLoadJob.h"

#include "DownloadJob.h"

#include "ConverterExit.h"
#include "Folders.h"
#include "HandBack.h"
#include "RtfReader.h"
#include "Site.h"
#include "TTransfer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QThreadPool>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

const QString DocumentLoadJob::ConverterSuffix = QStringLiteral("-extract");
const QString DocumentLoadJob::WorkFileName = QStringLiteral("istmp.txt");
const QString DocumentLoadJob::WordFolderName = QStringLiteral("wordtext");
const QString DocumentLoadJob::WordProgramName = QStringLiteral("wordtext");
const QString DocumentLoadJob::WordMarkerName = QStringLiteral("cp1252.txt");

namespace {

using Outcome = DocumentLoadResult::Outcome;

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

// A real folder (not a link to one) holding the marker of a complete unpack.
bool isUnpackedFolder(const QString& folder)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode)
           && Folders::entryExists(folder, DocumentLoadJob::WordMarkerName);
}

DocumentLoadResult failure(const QString& path, const QString& problem)
{
    DocumentLoadResult result;
    result.path = path;
    result.problem = problem;
    return result;
}

// What the worker makes of a file or a converter's output.
struct Reading {
    QString path;  // the document, for messages
    QString tag;
    bool plainTextOnly = false;
    std::optional<PaneDocument::Layout> layout;
    QThread* home = nullptr;
};

DocumentLoadResult readText(const QString& file, const QByteArray& output, bool converted, const Reading& reading,
                            std::unique_ptr<QTextDocument>& built)
{
    const QString& path = reading.path;
    const QString noText = QStringLiteral("No text was found in \"%1\".").arg(path);
    DocumentLoadResult result;
    result.path = path;
    QString text;
    if (!file.isEmpty()) {
        if (!QFileInfo(file).isFile())
            return failure(path, QStringLiteral("Failed to open ") + path);
        QByteArray bytes;
        const PaneDocument::Outcome read = PaneDocument::readFile(file, bytes);
        if (!read.ok)
            return failure(path, read.error);
        // a converter's file without any text leaves the pane as it was
        if (converted && bytes.trimmed().isEmpty())
            return failure(path, noText);
        if (RtfReader::looksLikeRtf(bytes)) {
            if (!reading.plainTextOnly) {
                result.outcome = Outcome::Loaded;
                result.richText = bytes;
                return result;
            }
            QTextDocument document;
            const PaneDocument::Outcome loaded = PaneDocument::loadData(bytes, document, path);
            if (!loaded.ok)
                return failure(path, loaded.error);
            text = document.toPlainText();
        } else if (const PaneDocument::Outcome decoded = PaneDocument::decodeText(bytes, path, text); !decoded.ok) {
            return failure(path, decoded.error);
        }
    } else {
        text = QString::fromUtf8(output);
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        for (int line = 0; line < DocumentLoadJob::headerLines(reading.tag); ++line) {
            const qsizetype end = text.indexOf(u'\n');
            if (end < 0)
                text.clear();
            else
                text.remove(0, end + 1);
        }
        if (text.trimmed().isEmpty())
            return failure(path, noText);
    }
    result.outcome = Outcome::Loaded;
    if (reading.layout && text.size() >= DocumentLoadJob::LongText) {
        built = reading.layout->build(text, reading.home);
        result.built = true;
    } else {
        result.text = std::move(text);
    }
    return result;
}

}  // namespace

DocumentLoadJob* DocumentLoadJob::start(DocumentLoadRequest request, QObject* parent)
{
    return new DocumentLoadJob(std::move(request), parent);
}

DocumentLoadJob::DocumentLoadJob(DocumentLoadRequest request, QObject* parent)
    : QObject(parent), m_request(std::move(request))
{
    qRegisterMetaType<DocumentLoadResult>();
    m_data = m_request.dataFolder.isEmpty() ? Folders::commonDataFolder() : m_request.dataFolder;
    QMetaObject::invokeMethod(this, &DocumentLoadJob::begin, Qt::QueuedConnection);
}

DocumentLoadJob::~DocumentLoadJob() = default;

SiteFetch DocumentLoadJob::fetchWith(TTransfer& transfer)
{
    // A download job of its own, set up like the window's component; it goes with the job
    // that asked (a cancelled open), and the answer comes from the event loop.
    return [&transfer](const QString& address, const QString& folder, QObject* context,
                       std::function<void(const SiteDownload::Result&)> done) {
        DownloadJob* download = DownloadJob::start(address, folder, &transfer, context);
        QObject::connect(download, &DownloadJob::finished, context, [download, done](const DownloadResult& fetched) {
            download->deleteLater();
            done(fetched);
        });
    };
}

void DocumentLoadJob::cancel()
{
    if (m_finished)
        return;
    DocumentLoadResult result;
    result.outcome = Outcome::Cancelled;
    result.path = m_request.path;
    finish(result);
}

QString DocumentLoadJob::formatTag(const QString& path)
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

int DocumentLoadJob::headerLines(const QString& tag)
{
    if (tag == QLatin1String("ppt"))
        return 2;
    if (tag == QLatin1String("xls") || tag == QLatin1String("doc"))
        return 1;
    return 0;
}

QString DocumentLoadJob::unreadable(const QString& path)
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

void DocumentLoadJob::begin()
{
    if (m_finished)
        return;
    const QString& path = m_request.path;
    m_tag = formatTag(path);
    removeEntry(m_data, WorkFileName);

    // nothing is fetched or run for a name that holds no readable file
    const QString unreadable = DocumentLoadJob::unreadable(path);
    if (!unreadable.isEmpty()) {
        fail(Outcome::Failed, QFileInfo::exists(path) ? QStringLiteral("Failed to open %1: %2.").arg(path, unreadable)
                                                      : QStringLiteral("Failed to open ") + path);
        return;
    }
    if (m_tag.isEmpty()) {
        read({path, {}, false});
        return;
    }
    const QString name = converterName(m_tag);
    const QString converter = Folders::findEntry(m_data, name);
    if (!converter.isEmpty() || !m_request.fetch) {
        haveConverter(converter);
        return;
    }
    const QString address = Site::address(name);
    m_request.fetch(address, m_data, this, [this, address, name](const SiteDownload::Result& fetched) {
        if (m_finished)
            return;
        if (!fetched.ok) {
            fail(Outcome::NoConverter,
                 fetched.cancelled
                     ? QString()
                     : QStringLiteral("The converter for this kind of document could not be fetched from %1.\n%2")
                           .arg(address, fetched.reason));
            return;
        }
        haveConverter(Folders::findEntry(m_data, name));
    });
}

void DocumentLoadJob::haveConverter(const QString& converter)
{
    if (converter.isEmpty()) {
        fail(Outcome::NoConverter, {});
        return;
    }
    if (!Shell::isProgramFile(converter)) {
        // not a program (a damaged download): it goes, so the next open fetches it afresh
        if (!QFile::remove(converter))
            fail(Outcome::NoConverter,
                 QStringLiteral("The converter %1 is not a program and could not be removed; remove it to have "
                                "it fetched anew.")
                     .arg(converter));
        else
            fail(Outcome::NoConverter, QStringLiteral("The converter %1 was damaged and has been removed; open the "
                                                      "document again to fetch it anew.")
                                           .arg(converter));
        return;
    }
    emit progress(QStringLiteral("Loading ") + m_request.path + QStringLiteral(", please wait..."));
    convert(converter);
}

bool DocumentLoadJob::makeScratch()
{
    m_scratch = std::make_shared<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/linguaro-open-XXXXXX"));
    if (m_scratch->isValid())
        return true;
    fail(Outcome::Failed, QStringLiteral("No private temporary folder could be made for \"%1\". %2")
                              .arg(m_request.path, m_scratch->errorString()));
    return false;
}

void DocumentLoadJob::convert(const QString& converter)
{
    const QString& path = m_request.path;
    const auto captured = [this](const Shell::Outcome& outcome) { converted(outcome); };
    if (m_tag == QLatin1String("htm")) {
        // The converter writes its text beside the page it reads; it reads a private copy, so a
        // .txt file the user keeps beside the page is never replaced.
        if (!makeScratch())
            return;
        const QString suffix = QFileInfo(path).suffix();
        const QString copy =
            m_scratch->filePath(QStringLiteral("page.") + (suffix.isEmpty() ? QStringLiteral("htm") : suffix));
        const QString text = m_scratch->filePath(QStringLiteral("page.txt"));
        if (!QFile::copy(path, copy)) {
            read({text, {}, true});  // the page cannot be read: "Failed to open"
            return;
        }
        run(converter, {copy}, QString(), Shell::Capture::Separate, [this, copy, text](const Shell::Outcome& outcome) {
            // the reason names the page the user chose, not its private copy
            if (!succeeded(outcome))
                fail(Outcome::Failed, failedText(outcome, copy));
            else
                read({text, {}, true});
        });
    } else if (m_tag == QLatin1String("pdf")) {
        // istmp.txt in a folder of this open's own: another open of a PDF at the same time
        // (another window, the command line) neither removes it nor puts its text there
        if (!makeScratch())
            return;
        const QString text = m_scratch->filePath(WorkFileName);
        run(converter, {path, text}, QString(), Shell::Capture::Separate, [this, text](const Shell::Outcome& outcome) {
            // a text cut short (too long, or its pages too slow to read) is loaded as far as it goes
            if (outcome.finished() && outcome.exitCode == ConverterExit::Partial)
                m_notice =
                    QStringLiteral("Only the beginning of \"%1\" was loaded.\n%2").arg(m_request.path, said(outcome));
            else if (!succeeded(outcome))
                return fail(Outcome::Failed, failedText(outcome, QString()));
            read({text, {}, true});
        });
    } else if (m_tag == QLatin1String("doc")) {
        runWord(converter);
    } else {
        run(converter, {path}, QString(), Shell::Capture::Separate, captured);
    }
}

void DocumentLoadJob::converted(const Shell::Outcome& outcome, const QString& copy)
{
    if (!succeeded(outcome)) {
        fail(Outcome::Failed, failedText(outcome, copy));
        return;
    }
    if (outcome.cut)
        m_notice = QStringLiteral("The text of \"%1\" is longer than %2 MB; only its beginning was loaded.")
                       .arg(m_request.path)
                       .arg(m_request.limits.outputCap / (1024 * 1024));
    read({{}, outcome.output, true});
}

void DocumentLoadJob::runWord(const QString& converter)
{
    QString folder = Folders::findEntry(m_data, WordFolderName);
    if (folder.isEmpty())
        folder = m_data + u'/' + WordFolderName;
    if (isUnpackedFolder(folder))
        wordReady(folder);
    else
        unpackWord(converter, folder);
}

void DocumentLoadJob::wordReady(const QString& folder)
{
    const QString program = Folders::findEntry(folder, WordProgramName);
    if (program.isEmpty()) {
        fail(Outcome::Failed,
             QStringLiteral("The Word converter is missing from %1. Delete that folder to have it unpacked again.")
                 .arg(folder));
        return;
    }
    run(program, {m_request.path}, QString(), Shell::Capture::Separate,
        [this](const Shell::Outcome& outcome) { converted(outcome); });
}

void DocumentLoadJob::unpackWord(const QString& converter, const QString& folder)
{
    // Two first opens at once (two windows, the command line) each unpack privately and the
    // first keeps its folder.
    const QByteArray target = QFile::encodeName(folder);
    struct stat info {};
    // a file of that name is the user's, not an unpack of ours to replace
    if (::lstat(target.constData(), &info) == 0 && !S_ISDIR(info.st_mode) && !S_ISLNK(info.st_mode))
        return fail(Outcome::Failed, QStringLiteral("Cannot create folder %1").arg(folder));
    if (!QDir().mkpath(m_data))
        return fail(Outcome::Failed, QStringLiteral("Cannot create folder %1").arg(m_data));
    // The package unpacks where it runs: here a private folder beside the final one, renamed
    // into place whole once it is complete.
    m_unpack =
        std::make_unique<QTemporaryDir>(m_data + QStringLiteral("/.") + WordFolderName + QStringLiteral("-XXXXXX"));
    if (!m_unpack->isValid())
        return fail(Outcome::Failed,
                    QStringLiteral("Cannot create a folder in %1. %2").arg(m_data, m_unpack->errorString()));
    const QString package = m_unpack->filePath(QFileInfo(converter).fileName());
    if (!QFile::copy(converter, package))
        return fail(Outcome::Failed, QStringLiteral("Cannot create file %1").arg(package));
    run(package, {}, m_unpack->path(), Shell::Capture::Separate,
        [this, folder, package](const Shell::Outcome& outcome) {
            QFile::remove(package);
            unpacked(outcome, folder);
        });
}

void DocumentLoadJob::unpacked(const Shell::Outcome& outcome, const QString& folder)
{
    const std::unique_ptr<QTemporaryDir> work = std::move(m_unpack);
    if (!Folders::entryExists(work->path(), WordMarkerName))
        return fail(Outcome::Failed,
                    QStringLiteral("The Word converter could not be unpacked in %1.\n%2")
                        .arg(folder, succeeded(outcome) ? QStringLiteral("The package left no converter there.")
                                                        : reason(outcome, m_request.limits)));

    const QByteArray unpackedPath = QFile::encodeName(work->path());
    const QByteArray target = QFile::encodeName(folder);
    int error = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (::rename(unpackedPath.constData(), target.constData()) == 0) {
            work->setAutoRemove(false);
            return wordReady(folder);
        }
        error = errno;
        // another open (a window, the command line) was first: its folder serves, ours goes
        if (isUnpackedFolder(folder))
            return wordReady(folder);
        // what stands in the way (a link planted there, an unpack cut short) is moved aside
        // whole and removed without being followed
        QTemporaryDir aside(m_data + QStringLiteral("/.") + WordFolderName + QStringLiteral("-old-XXXXXX"));
        if (!aside.isValid())
            break;
        if (::rename(target.constData(), QFile::encodeName(aside.filePath(WordFolderName)).constData()) != 0
            && errno != ENOENT) {
            error = errno;
            break;
        }
    }
    fail(Outcome::Failed, QStringLiteral("The Word converter could not be put in place at %1. %2")
                              .arg(folder, QString::fromLocal8Bit(std::strerror(error))));
}

void DocumentLoadJob::run(const QString& program, const QStringList& arguments, const QString& folder,
                          Shell::Capture capture, std::function<void(const Shell::Outcome&)> then)
{
    m_running = Shell::Running::start(program, arguments, folder, m_request.limits, capture, this);
    connect(m_running, &Shell::Running::ended, this,
            [this, running = m_running.data(), then = std::move(then)](const Shell::Outcome& outcome) {
                running->deleteLater();
                if (!m_finished)
                    then(outcome);
            });
}

void DocumentLoadJob::read(const Source& source)
{
    Reading reading{m_request.path, m_tag, m_request.plainTextOnly, m_request.layout, thread()};
    QThreadPool::globalInstance()->start([source, reading, scratch = m_scratch, back = HandBack(this), this]() mutable {
        auto built = std::make_shared<std::unique_ptr<QTextDocument>>();
        const DocumentLoadResult result = readText(source.file, source.output, source.converted, reading, *built);
        // read: the private folder may go before the job hears of it
        scratch.reset();
        // delivered only while the job lives, on its own thread
        back.post([this, result, built] {
            if (m_finished)
                return;
            DocumentLoadResult complete = result;
            if (complete.loaded())
                complete.notice = m_notice;
            finish(complete, std::move(*built));
        });
    });
}

QString DocumentLoadJob::failedText(const Shell::Outcome& outcome, const QString& copy) const
{
    // whatever it wrote before it failed stays out of the pane
    QString reason = ::reason(outcome, m_request.limits);
    if (!copy.isEmpty())
        reason.replace(copy, m_request.path);
    return QStringLiteral("\"%1\" could not be converted.\n%2").arg(m_request.path, reason);
}

void DocumentLoadJob::fail(DocumentLoadResult::Outcome outcome, const QString& problem)
{
    DocumentLoadResult result = failure(m_request.path, problem);
    result.outcome = outcome;
    finish(result);
}

void DocumentLoadJob::finish(DocumentLoadResult result, std::unique_ptr<QTextDocument> built)
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_running)
        m_running->stop();
    m_built = std::move(built);
    // the converter's private folders go as soon as the text is out of them
    m_scratch.reset();
    m_unpack.reset();
    removeEntry(m_data, WorkFileName);
    emit finished(result);
}
