// bench_document: whole documents through the service's document route, the
// path the window's File > Translate document takes, next to the engine's own
// document path on the same files.
//
//   build/bench/document/bench_document [pages] [slides]
//   (defaults: 100 pages, 50 slides)
//
// Lays out, from real English prose (the licence texts in
// /usr/share/common-licenses, then /usr/share/doc/*/copyright), a Word
// document of about `pages` pages (a page break every eight paragraphs of
// about sixty words, a bold word in each paragraph, a table every ten pages)
// and a deck of `slides` slides (a title and two text boxes each), packed with
// the zip program; then for each
//  1. translates it with "apertium -f docx|pptx eng-spa" into a file: wall time;
//  2. translates it with a document job (the window's) against a
//     linguaro-service this program starts on a free loopback port and warms
//     with one sentence: wall time from the start of the job to its end, and
//     the longest time this program's event loop went without turning
//     (target: under 50 ms).
// Prints the wall ratio service / engine (target: at most 1.2). Then the Word
// document once more, cancelled as the window's Cancel does once the service
// tells its first percent: the time from the cancel until the service's
// /metrics shows it cancelled and the pair's engine chains free (target: under
// 1 s), and the processor time the service and its engine programs used in the
// two seconds after that. The figures only mean something on an otherwise idle
// machine; the load average is printed beside them.

#include "BenchSupport.h"
#include "DocumentTranslationJob.h"
#include "ServiceExchange.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <unistd.h>

namespace {

QString escaped(const QString& text) { return text.toHtmlEscaped(); }

bool writeFile(const QString& path, const QString& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content.toUtf8()) >= 0;
}

// Packs the files of `folder` into `package` with the zip program.
bool pack(const QString& folder, const QString& package)
{
    QProcess zip;
    zip.setWorkingDirectory(folder);
    zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("-r"), package, QStringLiteral(".")});
    return zip.waitForFinished(300000) && zip.exitCode() == 0;
}

// Paragraphs of about `words` words of the prose, as many as asked for.
QStringList paragraphs(int count, int words)
{
    const QStringList all = QString::fromUtf8(BenchSupport::englishProse(qsizetype(count) * words * 7))
                                .simplified()
                                .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList result;
    for (qsizetype at = 0; at < all.size() && result.size() < count; at += words)
        result << QStringList(all.mid(at, words)).join(QLatin1Char(' '));
    return result;
}

QString wordRun(const QString& text, bool bold)
{
    return QStringLiteral("<w:r>%1<w:t xml:space=\"preserve\">%2</w:t></w:r>")
        .arg(bold ? QStringLiteral("<w:rPr><w:b/></w:rPr>") : QString(), escaped(text));
}

bool makeDocx(const QString& path, int pages)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("_rels"));
    QDir(dir.path()).mkpath(QStringLiteral("word"));
    QString body;
    const QStringList texts = paragraphs(pages * 8, 60);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        // a bold word inside the sentence, as in a real report
        const qsizetype cut = texts[i].indexOf(QLatin1Char(' '), texts[i].size() / 3);
        const qsizetype next = cut < 0 ? -1 : texts[i].indexOf(QLatin1Char(' '), cut + 1);
        QString runs = next < 0 ? wordRun(texts[i], false)
                                : wordRun(texts[i].left(cut + 1), false)
                                      + wordRun(texts[i].mid(cut + 1, next - cut - 1), true)
                                      + wordRun(texts[i].mid(next), false);
        if (i % 8 == 7)
            runs += QStringLiteral("<w:r><w:br w:type=\"page\"/></w:r>");
        body += QStringLiteral("<w:p>") + runs + QStringLiteral("</w:p>");
        if (i % 80 == 79)
            body += QStringLiteral("<w:tbl><w:tr><w:tc><w:p>%1</w:p></w:tc><w:tc><w:p>%2</w:p></w:tc></w:tr></w:tbl>")
                        .arg(wordRun(QStringLiteral("The total of the year"), false),
                             wordRun(QString::number(i * 12.5), false));
    }
    return writeFile(
               dir.filePath(QStringLiteral("[Content_Types].xml")),
               QStringLiteral(
                   R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                   R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
                   R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
                   R"(<Default Extension="xml" ContentType="application/xml"/>)"
                   R"(<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>)"))
           && writeFile(
               dir.filePath(QStringLiteral("_rels/.rels")),
               QStringLiteral(
                   R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                   R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
                   R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>)"))
           && writeFile(
               dir.filePath(QStringLiteral("word/document.xml")),
               QStringLiteral(
                   R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                   R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)")
                   + body + QStringLiteral("<w:sectPr/></w:body></w:document>"))
           && pack(dir.path(), path);
}

QString shape(int id, const QString& text)
{
    return QStringLiteral(
               "<p:sp><p:nvSpPr><p:cNvPr id=\"%1\" name=\"Text %1\"/><p:cNvSpPr txBox=\"1\"/><p:nvPr/></p:nvSpPr>"
               "<p:spPr/><p:txBody><a:bodyPr/><a:p><a:r><a:rPr lang=\"en-US\"/><a:t>%2</a:t></a:r></a:p>"
               "</p:txBody></p:sp>")
        .arg(id)
        .arg(escaped(text));
}

// The parts the engine and the service read: the presentation and its slides.
bool makePptx(const QString& path, int slides)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("ppt/slides"));
    const QStringList texts = paragraphs(slides * 3, 40);
    QString list;
    for (int s = 0; s < slides && s * 3 + 2 < texts.size(); ++s) {
        const QString title = texts[s * 3].section(QLatin1Char(' '), 0, 6);
        const QString slide =
            QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                           R"(<p:sld xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" )"
                           R"(xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main"><p:cSld><p:spTree>)")
            + shape(2, title) + shape(3, texts[s * 3 + 1]) + shape(4, texts[s * 3 + 2])
            + QStringLiteral("</p:spTree></p:cSld></p:sld>");
        if (!writeFile(dir.filePath(QStringLiteral("ppt/slides/slide%1.xml").arg(s + 1)), slide))
            return false;
        list += QStringLiteral("<p:sldId id=\"%1\"/>").arg(256 + s);
    }
    return writeFile(
               dir.filePath(QStringLiteral("ppt/presentation.xml")),
               QStringLiteral(
                   R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                   R"(<p:presentation xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main"><p:sldIdLst>)")
                   + list + QStringLiteral("</p:sldIdLst></p:presentation>"))
           && pack(dir.path(), path);
}

// "apertium -f FORMAT eng-spa input output": the wall time, or a negative number.
double engineRun(const QString& format, const QString& input, const QString& output)
{
    QProcess engine;
    QElapsedTimer timer;
    timer.start();
    engine.start(QStringLiteral("apertium"), {QStringLiteral("-f"), format, QStringLiteral("eng-spa"), input, output});
    if (!engine.waitForFinished(3600000) || engine.exitCode() != 0) {
        std::fprintf(stderr, "apertium -f %s failed: %s\n", qPrintable(format),
                     engine.readAllStandardError().constData());
        return -1;
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

// The document job against the service: its wall time (negative when it
// failed) and the longest the event loop went without turning meanwhile.
double serviceRun(const QString& endpoint, const QString& input, const QString& output, qint64& longestGap)
{
    DocumentRequest request;
    request.path = input;
    request.languages.sourceCode = QStringLiteral("en");
    request.languages.targetCode = QStringLiteral("es");
    request.languages.sourceName = QStringLiteral("English");
    request.languages.targetName = QStringLiteral("Spanish");
    request.languages.endpoint = endpoint;
    QElapsedTimer sinceTurn;
    longestGap = 0;
    QTimer turns;
    turns.setInterval(1);
    QObject::connect(&turns, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTurn.restart()); });
    QEventLoop run;
    QElapsedTimer timer;
    timer.start();
    sinceTurn.start();
    turns.start();
    const std::unique_ptr<DocumentTranslationJob> job(DocumentTranslationJob::start(request));
    QObject::connect(job.get(), &DocumentTranslationJob::finished, &run, &QEventLoop::quit);
    run.exec();
    turns.stop();
    const double wall = double(timer.nsecsElapsed()) / 1e9;
    if (job->result().outcome != TranslationResult::Outcome::Done) {
        std::fprintf(stderr, "the document job failed: %s\n", qPrintable(job->result().reason()));
        return -1;
    }
    const QString failed = DocumentTranslationJob::writeBeside(output, job->document());
    if (!failed.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failed));
        return -1;
    }
    return wall;
}

// One sample of the service's /metrics, as written ("name{label=\"value\"}"); -1 when missing.
double sample(const QByteArray& exposition, const QByteArray& series)
{
    for (const QByteArray& line : exposition.split('\n')) {
        if (line.startsWith(series + ' '))
            return line.mid(series.size() + 1).toDouble();
    }
    return -1;
}

// Processor seconds a process has used, its threads included.
double processorSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // the fields after the command's closing parenthesis: utime and stime are the 12th and 13th
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 1).trimmed().split(' ');
    return fields.size() > 12 ? (fields[11].toDouble() + fields[12].toDouble()) / double(::sysconf(_SC_CLK_TCK)) : 0;
}

// The service's processor seconds and those of the engine programs it runs now, by pid.
std::map<qint64, double> serviceProcessorSeconds(qint64 servicePid)
{
    std::map<qint64, double> seconds{{servicePid, processorSeconds(servicePid)}};
    for (const QString& task :
         QDir(QStringLiteral("/proc/%1/task").arg(servicePid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(QStringLiteral("/proc/%1/task/%2/children").arg(servicePid).arg(task));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& child : children.readAll().simplified().split(' ')) {
            if (!child.isEmpty())
                seconds[child.toLongLong()] = processorSeconds(child.toLongLong());
        }
    }
    return seconds;
}

// The document job cancelled once the service tells its first percent: the
// seconds until the service shows it cancelled and its chains free (negative
// when it did not), and the processor seconds the service and its engine
// programs used in the two seconds after that.
double cancelRun(const QString& endpoint, const QString& input, qint64 servicePid, double& usedAfter)
{
    const QString metricsAddress = QUrl(endpoint).resolved(QUrl(QStringLiteral("metrics"))).toString();
    const QByteArray cancelled = "linguaro_requests_cancelled_total{route=\"/translate-document\"}";
    const QByteArray busy = "linguaro_engine_chains_busy{pair=\"eng-spa\"}";
    ServiceClient metrics(endpoint);
    const auto scrape = [&] {
        try {
            return metrics.fetch(metricsAddress, {});
        } catch (const std::exception&) {
            return QByteArray();
        }
    };
    const double before = std::max(0.0, sample(scrape(), cancelled));
    DocumentRequest request;
    request.path = input;
    request.languages.sourceCode = QStringLiteral("en");
    request.languages.targetCode = QStringLiteral("es");
    request.languages.endpoint = endpoint;
    const std::unique_ptr<DocumentTranslationJob> job(DocumentTranslationJob::start(request));
    QEventLoop underWay;
    QObject::connect(job.get(), &DocumentTranslationJob::progress, &underWay, &QEventLoop::quit);
    QObject::connect(job.get(), &DocumentTranslationJob::finished, &underWay, &QEventLoop::quit);
    underWay.exec();
    if (job->isFinished()) {
        std::fprintf(stderr, "the document was done before it could be cancelled: give it more pages\n");
        return -1;
    }
    QElapsedTimer sinceCancel;
    sinceCancel.start();
    job->cancel();
    for (QDeadlineTimer patience(60000); !patience.hasExpired();) {
        const QByteArray now = scrape();
        if (sample(now, cancelled) == before + 1 && sample(now, busy) == 0) {
            const double stopped = double(sinceCancel.nsecsElapsed()) / 1e9;
            const std::map<qint64, double> start = serviceProcessorSeconds(servicePid);
            QThread::sleep(2);
            usedAfter = 0;
            for (const auto& [pid, seconds] : serviceProcessorSeconds(servicePid))
                usedAfter += seconds - (start.count(pid) ? start.at(pid) : 0);
            return stopped;
        }
        QThread::msleep(5);
    }
    std::fprintf(stderr, "the service did not stop the cancelled document within a minute\n");
    return -1;
}

QString loadAverage()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    return load.open(QIODevice::ReadOnly) ? QString::fromLatin1(load.readAll()).section(QLatin1Char(' '), 0, 2)
                                          : QString();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const int slides = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
    QTemporaryDir work;
    const QString docx = work.filePath(QStringLiteral("report.docx"));
    const QString pptx = work.filePath(QStringLiteral("deck.pptx"));
    if (!makeDocx(docx, pages) || !makePptx(pptx, slides)) {
        std::fprintf(stderr, "the documents could not be laid out (is zip installed?)\n");
        return 1;
    }

    QProcess service;
    const QString endpoint =
        BenchSupport::startService(service, QStringLiteral(LINGUARO_BINARY_DIR "/linguaro-service"));
    if (endpoint.isEmpty()) {
        std::fprintf(stderr, "linguaro-service did not start\n");
        return 1;
    }
    try {
        // the pair's engine chains are started before the clock runs
        ServiceClient(endpoint).sendChunk(QStringLiteral("The house is big."), QStringLiteral("en"),
                                          QStringLiteral("es"), {});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "the service does not translate English to Spanish: %s\n", e.what());
        return 1;
    }

    int status = 0;
    struct Document {
        const char* what;
        QString path, format;
    };
    for (const Document& d : {Document{"Word document", docx, QStringLiteral("docx")},
                              Document{"PowerPoint deck", pptx, QStringLiteral("pptx")}}) {
        const double engine = engineRun(d.format, d.path, work.filePath(QStringLiteral("engine.") + d.format));
        qint64 gap = 0;
        const double routed = serviceRun(endpoint, d.path, work.filePath(QStringLiteral("service.") + d.format), gap);
        if (engine <= 0 || routed <= 0) {
            status = 1;
            continue;
        }
        std::printf("%s (%s, %lld KB): apertium -f %s %.2f s, service document route %.2f s, ratio %.2f "
                    "(target <= 1.2); longest event loop stall %lld ms (target < 50)\n",
                    d.what,
                    d.format == QLatin1String("docx") ? qPrintable(QStringLiteral("%1 pages").arg(pages))
                                                      : qPrintable(QStringLiteral("%1 slides").arg(slides)),
                    static_cast<long long>(QFileInfo(d.path).size() / 1024), qPrintable(d.format), engine, routed,
                    routed / engine, static_cast<long long>(gap));
    }
    double usedAfter = 0;
    const double stopped = cancelRun(endpoint, docx, service.processId(), usedAfter);
    if (stopped < 0)
        status = 1;
    else
        std::printf(
            "Word document cancelled once under way: stopped and its engine chains free %.3f s after the cancel "
            "(target < 1); the service and its engine programs used %.2f s of processor time in the 2 s "
            "after\n",
            stopped, usedAfter);
    std::printf("load average: %s\n", qPrintable(loadAverage()));
    service.terminate();
    service.waitForFinished(10000);
    return status;
}
