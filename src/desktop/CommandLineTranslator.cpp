#include "CommandLineTranslator.h"

#include "ConsolePrompts.h"
#include "DocumentLoadJob.h"
#include "DocumentTranslation.h"
#include "DocumentTranslationJob.h"
#include "HistoryRecorder.h"
#include "LanguageDetector.h"
#include "LanguageTable.h"
#include "RegStore.h"
#include "ServiceConnection.h"
#include "ServiceExchange.h"
#include "ServicePairs.h"
#include "StandardStreams.h"
#include "TTransfer.h"
#include "TerminationSignals.h"
#include "TextInput.h"
#include "TextPreparation.h"
#include "TmxFile.h"
#include "TranslationJob.h"
#include "WindowSettings.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

void complain(const QString& text) { std::fprintf(stderr, "linguaro: %s\n", text.toLocal8Bit().constData()); }

void print(const QString& text) { std::fputs(text.toUtf8().constData(), stdout); }

// The exit code once everything printed is out: a failed write is a failure.
int flushed()
{
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return CommandLine::Success;
    // an earlier write that failed left no reason behind
    complain(
        errno != 0
            ? QStringLiteral("could not write to standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno)))
            : QStringLiteral("could not write to standard output."));
    return CommandLine::Failure;
}

// Writes and flushes standard output; false, with the reason told, when that
// fails (a closed pipe, a full disk).
bool writeOut(const QByteArray& bytes)
{
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size())
        && std::fflush(stdout) == 0)
        return true;
    complain(QStringLiteral("could not write the translation: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    return false;
}

// Reads standard input to its end, or until it holds more than `limit` bytes; a pipe
// hands its text over a piece at a time. Returns 0, or the error number of a failed read.
int readStandardInput(qint64 limit, QByteArray& bytes)
{
    char buffer[65536];
    while (bytes.size() <= limit) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got == 0)
            return 0;
        if (got < 0 && errno != EINTR)
            return errno;
        if (got > 0)
            bytes.append(buffer, got);
    }
    return 0;
}

// The run's status line on standard error, one line rewritten in place; only
// on a terminal, where someone reads it.
class Progress {
public:
    Progress() : m_shown(::isatty(STDERR_FILENO) == 1) {}
    ~Progress() { clear(); }
    void show(const QString& text)
    {
        if (!m_shown || (m_dirty && text == m_last))
            return;
        m_last = text;
        std::fprintf(stderr, "\r%s\033[K", text.toLocal8Bit().constData());
        std::fflush(stderr);
        m_dirty = true;
    }
    void clear()
    {
        if (m_dirty)
            std::fputs("\r\033[K", stderr);
        m_dirty = false;
    }

private:
    bool m_shown;
    bool m_dirty = false;
    QString m_last;
};

// The window's last choices, proxy and options, read as the window reads them, never written.
WindowSettings storedSettings()
{
    WindowSettings settings;
    RegStore store;
    try {
        readStartupSettings(store, settings);
    } catch (const std::exception& e) {
        complain(QStringLiteral("the settings file %1: %2").arg(store.filePath(), QString::fromUtf8(e.what())));
    }
    return settings;
}

// Starts the built-in service the way the window does; a problem ends the run.
void ensureService(const ServiceClient& client)
{
    const QString problem = ServiceConnection::instance().ensureRunning(client.endpoint());
    if (!problem.isEmpty())
        throw ServiceError(problem.toStdString());
}

// Ctrl+C, a hang-up or a termination request stops the job and the program says so by its code.
template <typename Job>
void stopOnTermination(TerminationSignals& termination, Job* job, int& exitCode)
{
    QObject::connect(&termination, &TerminationSignals::requested, job, [job, &exitCode](int signalNumber) {
        exitCode = 128 + signalNumber;
        job->cancel();
    });
}

QString nameOf(const QString& code, const QString& serviceName)
{
    const int position = LanguageTable::positionOf(code);
    if (position >= 0)
        return LanguageTable::displayName(position);
    return serviceName.isEmpty() ? code : serviceName;
}

// The source is never written: not even when --output names it under another name.
bool replacesSource(const QString& source, const QString& output)
{
    return output != QLatin1String("-") && QFileInfo(output).exists()
           && QFileInfo(output).canonicalFilePath() == QFileInfo(source).canonicalFilePath();
}

QString padded(const QString& text, int width) { return text.leftJustified(width, QLatin1Char(' ')); }

}  // namespace

CommandLineTranslator::CommandLineTranslator(const CommandLine& commandLine) : m_commandLine(commandLine) {}

int CommandLineTranslator::main(int& argc, char** argv, const CommandLine& commandLine)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Linguaro Translator"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brenmark"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LINGUARO_VERSION));
    return CommandLineTranslator(commandLine).run();
}

int CommandLineTranslator::run()
{
    // a reader that went away shows as a failed write, not as a sudden end
    std::signal(SIGPIPE, SIG_IGN);
    if (m_commandLine.mode() != CommandLine::Mode::Invalid && StandardStreams::wasClosed(STDOUT_FILENO)) {
        complain(QStringLiteral("standard output is closed: there is nowhere to write to."));
        return CommandLine::Failure;
    }
    switch (m_commandLine.mode()) {
    case CommandLine::Mode::Help:
        print(m_commandLine.helpText());
        return flushed();
    case CommandLine::Mode::Version:
        print(
            QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion()));
        return flushed();
    case CommandLine::Mode::Invalid:
        complain(m_commandLine.error());
        std::fputs("Try 'linguaro --help' for the options.\n", stderr);
        return CommandLine::Misuse;
    case CommandLine::Mode::ListLanguages:
        return listLanguages();
    case CommandLine::Mode::Translate:
        return translate();
    case CommandLine::Mode::History:
        return printHistory();
    case CommandLine::Mode::ExportMemory:
        return exportMemory();
    case CommandLine::Mode::ImportMemory:
        return importMemory();
    case CommandLine::Mode::Window:
    case CommandLine::Mode::TranslateSelection:
        break;
    }
    return CommandLine::Misuse;
}

int CommandLineTranslator::listLanguages()
{
    QString list = QStringLiteral("Languages of the translator's lists (code, name):\n");
    for (int i = 0; i < LanguageTable::Count; ++i)
        list += QStringLiteral("  %1 %2\n")
                    .arg(padded(LanguageTable::serviceCode(i).toLower(), 6), LanguageTable::displayName(i));
    print(list);
    // a reader that went away needs no pairs, and the service is not started for it
    if (flushed() != CommandLine::Success)
        return CommandLine::Failure;

    const WindowSettings settings = storedSettings();
    ServiceClient client;
    const QString address = ServicePairs::address(client.endpoint());
    QList<ServicePair> pairs;
    try {
        ensureService(client);
        if (!ServicePairs::parse(client.fetch(address, settings.Proxy), pairs)) {
            complain(QStringLiteral("the translation service does not list its language pairs at %1.").arg(address));
            return CommandLine::Failure;
        }
    } catch (const ServiceError& e) {
        complain(QStringLiteral("could not ask the translation service which pairs it reaches: %1")
                     .arg(QString::fromUtf8(e.what())));
        return CommandLine::Failure;
    }

    list = QStringLiteral("\nLanguage pairs the translation service reaches (from, to):\n");
    for (const ServicePair& pair : pairs) {
        QString line = QStringLiteral("  %1 %2 %3 to %4")
                           .arg(padded(pair.from, 6), padded(pair.to, 6), nameOf(pair.from, pair.fromName),
                                nameOf(pair.to, pair.toName));
        if (!pair.via.isEmpty())
            line += QStringLiteral(" (through %1)").arg(pair.via.join(QStringLiteral(", ")));
        list += line + QLatin1Char('\n');
    }
    if (pairs.isEmpty())
        list += QStringLiteral("  none: the service has no language pairs installed\n");
    print(list);
    return flushed();
}

int CommandLineTranslator::position(const QString& given, int stored, const char* option)
{
    if (given.isEmpty()) {
        if (stored >= 0 && stored < LanguageTable::Count)
            return stored;
        complain(QStringLiteral("no language chosen for %1: give a code (linguaro --list-languages lists them).")
                     .arg(QLatin1String(option)));
        return -1;
    }
    const int position = LanguageTable::positionOf(given);
    if (position < 0)
        complain(QStringLiteral("unknown language code '%1' for %2; linguaro --list-languages lists the codes.")
                     .arg(given, QLatin1String(option)));
    return position;
}

int CommandLineTranslator::detectedSource(const QString& text, int target, const WindowSettings& settings)
{
    const auto result = LanguageDetector::detect(
        text, {LanguageTable::positionOf(settings.InterfaceLanguage), settings.SourcePosition});
    if (!result.detected()) {
        QString sentence = LanguageDetector::describe(result).chopped(1);
        sentence[0] = sentence[0].toLower();
        complain(sentence + QStringLiteral("; give it with --from."));
        return -1;
    }
    const int source = result.best().position;
    if (LanguageTable::serviceCode(source) == LanguageTable::serviceCode(target)) {
        complain(
            QStringLiteral("the text is in %1 already, the language of --to.").arg(LanguageTable::displayName(source)));
        return -1;
    }
    if (::isatty(STDERR_FILENO) == 1)
        complain(LanguageDetector::describe(result));
    return source;
}

QString CommandLineTranslator::readText(QString& problem, int& exitCode)
{
    exitCode = CommandLine::Misuse;
    const QString path = m_commandLine.file();
    if (!path.isEmpty()) {
        const QString unreadable = DocumentLoadJob::unreadable(path);
        if (!unreadable.isEmpty()) {
            problem = QStringLiteral("cannot read %1: %2").arg(path, unreadable);
            return {};
        }
        const QString text = documentText(path, problem);
        if (!problem.isEmpty())
            exitCode = CommandLine::Failure;
        return text;
    }

    if (StandardStreams::wasClosed(STDIN_FILENO)) {
        problem =
            QStringLiteral("standard input is closed: give the text on standard input or a document with --file.");
        return {};
    }
    if (::isatty(STDIN_FILENO) == 1)
        std::fputs("linguaro: type the text to translate and end it with Ctrl+D.\n", stderr);
    const QString what = QStringLiteral("standard input");
    QByteArray bytes;
    const int error = readStandardInput(TextInput::Limit, bytes);
    if (error != 0) {
        problem = QStringLiteral("cannot read %1: %2").arg(what, QString::fromLocal8Bit(std::strerror(error)));
        return {};
    }
    if (bytes.size() > TextInput::Limit) {
        problem = QStringLiteral("%1 is larger than %2 MiB.").arg(what).arg(TextInput::Limit / (1024 * 1024));
        return {};
    }
    QString text = TextInput::decode(bytes, what, problem);
    // a text's last line break ends its last line rather than starting an empty one
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(text.endsWith(QLatin1String("\r\n")) ? 2 : 1);
    else if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

QString CommandLineTranslator::documentText(const QString& path, QString& problem)
{
    // what the download says goes into the one message below
    ConsolePrompts prompts;
    prompts.print = false;
    Progress progress;
    TTransfer transfer;
    transfer.ShowDialog = false;
    const QString converter = DocumentLoadJob::converterName(DocumentLoadJob::formatTag(path));
    transfer.OnCopyProgress = [&](TTransfer*, int, quint32 done, quint32 total) {
        progress.show(total > 0 ? QStringLiteral("Fetching %1... %2%").arg(converter).arg(qint64(done) * 100 / total)
                                : QStringLiteral("Fetching %1... %2 KB").arg(converter).arg(done / 1024));
    };
    DocumentLoadRequest request;
    request.path = path;
    request.fetch = DocumentLoadJob::fetchWith(transfer);
    request.limits = Shell::Limits::confined(DocumentLoadJob::ConverterMemory);
    request.plainTextOnly = true;
    const std::unique_ptr<DocumentLoadJob> job(DocumentLoadJob::start(std::move(request)));
    DocumentLoadResult result;
    QObject::connect(job.get(), &DocumentLoadJob::progress, job.get(),
                     [&](const QString& status) { progress.show(status); });
    QObject::connect(job.get(), &DocumentLoadJob::finished, job.get(), [&](const DocumentLoadResult& ended) {
        result = ended;
        QCoreApplication::exit(0);
    });
    // the application's loop, run until the document is read; the translation runs it again
    QCoreApplication::exec();
    progress.clear();
    if (!result.loaded()) {
        problem = !result.problem.isEmpty() ? result.problem
                  : prompts.said.isEmpty()  ? QStringLiteral("%1 could not be opened.").arg(path)
                                            : prompts.said.join(QLatin1Char('\n'));
        return {};
    }
    for (const QString& said : prompts.said)
        complain(said);
    if (!result.notice.isEmpty())
        complain(result.notice);
    return result.text;
}

int CommandLineTranslator::translate()
{
    const WindowSettings settings = storedSettings();
    const bool detect = m_commandLine.from().compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0;
    int source = detect ? 0 : position(m_commandLine.from(), settings.SourcePosition, "--from");
    const int target = position(m_commandLine.to(), settings.TargetPosition, "--to");
    if (source < 0 || target < 0)
        return CommandLine::Misuse;
    QString textFile;
    if (!m_commandLine.output().isEmpty()) {
        if (replacesSource(m_commandLine.file(), m_commandLine.output())) {
            complain(
                QStringLiteral("%1: the translation would replace the document itself.").arg(m_commandLine.output()));
            return CommandLine::Misuse;
        }
        if (!DocumentTranslationJob::formatOf(m_commandLine.file()).isEmpty())
            return translateDocument(source, target, settings);
        if (const int refused = plainTextOutput(textFile); refused != CommandLine::Success)
            return refused;
    }
    QString problem;
    int exitCode = CommandLine::Misuse;
    const QString text = readText(problem, exitCode);
    if (!problem.isEmpty()) {
        complain(problem);
        return exitCode;
    }
    if (detect && (source = detectedSource(text, target, settings)) < 0)
        return CommandLine::Misuse;

    TranslationRequest request = TranslationRequest::betweenPositions(text, source, target, settings.Proxy);
    request.serbianCyrillic = settings.SerbianCyrillic;
    HistoryRecorder::equip(request, settings.KeepHistory, settings.ReuseTranslations);
    Progress progress;
    bool written = false;
    exitCode = CommandLine::Success;
    // a text file is written whole when the translation is done, never in part
    QByteArray collected;
    const auto write = [&](const QByteArray& bytes) {
        if (textFile.isEmpty())
            return writeOut(bytes);
        collected += bytes;
        return true;
    };
    // Ctrl+C, a hang-up or a termination request stops the job and the program says so by its code
    TerminationSignals termination;
    const std::unique_ptr<TranslationJob> job(Translator::start(request));
    stopOnTermination(termination, job.get(), exitCode);
    if (settings.KeepHistory)
        HistoryRecorder::watch(
            *job, m_commandLine.file().isEmpty() ? HistoryEntry::Origin::CommandLine : HistoryEntry::Origin::Document,
            complain);
    QObject::connect(job.get(), &TranslationJob::started, job.get(),
                     [&](const QString& status) { progress.show(status); });
    QObject::connect(job.get(), &TranslationJob::progress, job.get(),
                     [&](int, int, const QString& status) { progress.show(status); });
    QObject::connect(job.get(), &TranslationJob::paragraph, job.get(), [&](int, const QString& paragraph) {
        // paragraphs apart by a line feed, as in the target pane
        const QByteArray bytes = TextPreparation::plainPaneText(paragraph).toUtf8();
        if (!write(written ? "\n" + bytes : bytes)) {
            exitCode = CommandLine::Failure;
            job->cancel();
        }
        written = true;
    });
    QObject::connect(job.get(), &TranslationJob::finished, job.get(), [&](const TranslationResult& result) {
        progress.clear();
        switch (result.outcome) {
        case TranslationResult::Outcome::Done:
            if (!write("\n")) {
                exitCode = CommandLine::Failure;
            } else if (const QString failed =
                           textFile.isEmpty() ? QString() : DocumentTranslationJob::writeBeside(textFile, collected);
                       !failed.isEmpty()) {
                complain(failed);
                exitCode = CommandLine::Failure;
            }
            // the window's status line says it; here whoever watches the terminal hears it
            if (job->reusedSentences() > 0 && ::isatty(STDERR_FILENO) == 1)
                complain(TranslationJob::reusedText(job->reusedSentences(), job->sentenceCount()));
            break;
        case TranslationResult::Outcome::Refused:
            complain(result.reason());
            exitCode = CommandLine::Misuse;
            break;
        case TranslationResult::Outcome::Failed:
            if (written && textFile.isEmpty())
                std::fputs("\n", stdout);
            complain(result.reason());
            exitCode = CommandLine::Failure;
            break;
        case TranslationResult::Outcome::Stopped:
            // a failed write has said so already
            if (exitCode != CommandLine::Failure) {
                if (written && textFile.isEmpty())
                    std::fputs("\n", stdout);
                complain(QStringLiteral("the translation was stopped."));
            }
            break;
        }
        QCoreApplication::exit(exitCode);
    });
    const int code = QCoreApplication::exec();
    // the run's record is written before the program ends
    HistoryRecorder::flush();
    return code;
}

int CommandLineTranslator::translateDocument(int source, int target, const WindowSettings& settings)
{
    const QString path = m_commandLine.file();
    const QString output = m_commandLine.output();
    const bool toStandardOutput = output == QLatin1String("-");
    const QFileInfo input(path);
    if (!input.isFile()) {
        complain(QStringLiteral("%1: no such document.").arg(path));
        return CommandLine::Misuse;
    }
    DocumentRequest request = DocumentRequest::betweenPositions(path, source, target, settings.Proxy);
    request.languages.serbianCyrillic = settings.SerbianCyrillic;
    Progress progress;
    int exitCode = CommandLine::Success;
    TerminationSignals termination;
    const std::unique_ptr<DocumentTranslationJob> job(DocumentTranslationJob::start(request));
    stopOnTermination(termination, job.get(), exitCode);
    QString startedText;
    QObject::connect(job.get(), &DocumentTranslationJob::started, job.get(), [&](const QString& status) {
        startedText = status;
        progress.show(status);
    });
    QObject::connect(job.get(), &DocumentTranslationJob::progress, job.get(),
                     [&](int percent) { progress.show(QStringLiteral("%1 %2%").arg(startedText).arg(percent)); });
    QObject::connect(job.get(), &DocumentTranslationJob::finished, job.get(), [&](const TranslationResult& result) {
        progress.clear();
        using Outcome = TranslationResult::Outcome;
        QString problem =
            result.outcome == Outcome::Stopped ? QStringLiteral("the translation was stopped.") : result.reason();
        if (result.outcome == Outcome::Done) {
            problem = toStandardOutput
                          ? (writeOut(job->document()) ? QString() : QStringLiteral("cannot write the output."))
                          : DocumentTranslationJob::writeBeside(output, job->document());
        }
        if (result.outcome != Outcome::Stopped && !problem.isEmpty())
            exitCode = result.outcome == Outcome::Refused ? CommandLine::Misuse : CommandLine::Failure;
        if (!problem.isEmpty())
            complain(problem);
        QCoreApplication::exit(exitCode);
    });
    return QCoreApplication::exec();
}

int CommandLineTranslator::plainTextOutput(QString& textFile)
{
    const QString path = m_commandLine.file();
    const QString output = m_commandLine.output();
    if (DocumentTranslation::supports(QFileInfo(path).suffix().toLower().toStdString())
        != DocumentTranslation::Support::NotKept) {
        complain(QStringLiteral("%1: only %2 documents keep their layout; leave out --output to translate the text "
                                "of other documents.")
                     .arg(path, DocumentTranslationJob::keptExtensions(QStringLiteral("and"))));
        return CommandLine::Misuse;
    }
    if (output != QLatin1String("-")
        && QFileInfo(output).suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) != 0) {
        complain(QStringLiteral("%1: the layout of .doc, .xls, .ppt and PDF documents cannot be kept; give an --output "
                                "ending in .txt to get their text translated.")
                     .arg(path));
        return CommandLine::Misuse;
    }
    complain(
        QStringLiteral("%1: the layout of .doc, .xls, .ppt and PDF documents cannot be kept (the translation goes back "
                       "only into %2 documents), so its text is translated as plain text.")
            .arg(path, DocumentTranslationJob::keptExtensions(QStringLiteral("and"))));
    textFile = output == QLatin1String("-") ? QString() : output;
    return CommandLine::Success;
}

int CommandLineTranslator::printHistory()
{
    History& history = HistoryRecorder::shared();
    const QString words = m_commandLine.historyWords();
    const QList<HistoryEntry> entries = history.search(words, HistoryListed);
    if (!history.available()) {
        complain(history.takeNotice());
        return CommandLine::Failure;
    }
    const QString notice = history.takeNotice();
    if (!notice.isEmpty())
        complain(notice);
    if (entries.isEmpty()) {
        complain(words.trimmed().isEmpty() ? QStringLiteral("the history of translations is empty.")
                                           : QStringLiteral("no translation in the history holds '%1'.").arg(words));
        return flushed();
    }
    // each line of a text under its entry's heading: "<" the source, ">" the translation
    auto lines = [](const QString& text, QChar mark) {
        QString out;
        for (const QString& line : text.split(QLatin1Char('\n')))
            out += QStringLiteral("  %1 %2\n").arg(mark, line);
        return out;
    };
    QString out;
    for (const HistoryEntry& entry : entries) {
        if (!out.isEmpty())
            out += QLatin1Char('\n');
        out += QStringLiteral("%1  %2 -> %3  (%4)\n")
                   .arg(entry.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                        entry.sourceCode.toLower(), entry.targetCode.toLower(), HistoryEntry::originName(entry.origin));
        out += lines(entry.source, QLatin1Char('<')) + lines(entry.translation, QLatin1Char('>'));
    }
    print(out);
    return flushed();
}

namespace {

// The outcome of a TMX file's writing or reading: what happened on standard
// error when something did not, else on a terminal only.
int told(const TmxFile::Outcome& outcome, History& history)
{
    const QString notice = history.takeNotice();
    if (!notice.isEmpty())
        complain(notice);
    if (!outcome.ok) {
        complain(outcome.message);
        return CommandLine::Failure;
    }
    if (::isatty(STDERR_FILENO) == 1 || outcome.skipped > 0)
        complain(outcome.message);
    return CommandLine::Success;
}

}  // namespace

int CommandLineTranslator::exportMemory()
{
    History& history = HistoryRecorder::shared();
    return told(TmxFile::Export(history, m_commandLine.memoryFile(), m_commandLine.historyWords()), history);
}

int CommandLineTranslator::importMemory()
{
    History& history = HistoryRecorder::shared();
    return told(TmxFile::import(history, m_commandLine.memoryFile()), history);
}
