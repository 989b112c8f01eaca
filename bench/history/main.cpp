// bench_history: the history of translations at its full size.
//
//   build/bench/history/bench_history [entries]
//   (entries: default 100000)
//
// Fills a history in a temporary folder with `entries` translations of real
// English prose (the licence texts in /usr/share/common-licenses, then
// /usr/share/doc/*/copyright) and as many translation memory pieces, then
// times, each against its target:
//  1. recording one more translation with three pieces (the oldest then goes): under 2 ms;
//  2. a memory lookup, per paragraph, of 2,000 paragraphs half of them known: under 0.2 ms;
//  3. a search for a word every entry holds, and for a rarer one: under 30 ms;
//  4. the TMX export of the whole memory: under 3 s;
//  5. a megabyte of prose translated English to Spanish by a translation job
//     against linguaro-service on a free loopback port, recorded, then the
//     same again: the share of paragraphs the second run took from the memory
//     (target 100%) and its time against the first run's.
// Times are medians of several runs where a run is short.

#include "BenchSupport.h"
#include "History.h"
#include "HistoryMemory.h"
#include "HistoryRecorder.h"
#include "TmxFile.h"
#include "TranslationJob.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void report(const char* what, double value, const char* unit, double target)
{
    std::printf("%-58s %10.3f %s  (target < %g %s) %s\n", what, value, unit, target, unit,
                value < target ? "ok" : "MISSED");
}

// `count` sentence-sized lines of prose, over and over when the prose runs out.
QStringList lines(qsizetype count)
{
    QStringList lines;
    for (const QString& line : QString::fromUtf8(BenchSupport::englishProse(4 * 1024 * 1024)).split(u'\n'))
        if (line.trimmed().size() > 20)
            lines << line.trimmed();
    QStringList wanted;
    for (qsizetype i = 0; i < count; ++i)
        wanted << QStringLiteral("%1 %2").arg(lines.at(i % lines.size())).arg(i);
    return wanted;
}

// The entries in one transaction through a connection of the bench's own: a
// hundred thousand single records would only time the filling.
bool fill(const QString& path, const QStringList& lines)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK)
        return false;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO entries(time, source_code, target_code, source, translation, origin, folded)"
                       " VALUES (?1, 'EN', 'ES', ?2, ?3, 1, ?4)",
                       -1, &insert, nullptr);
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - lines.size() * 1000LL;
    bool ok = true;
    for (qsizetype i = 0; i < lines.size() && ok; ++i) {
        const QByteArray source = lines.at(i).toUtf8();
        const QByteArray translation = (QStringLiteral("traducción ") + lines.at(i)).toUtf8();
        const QByteArray folded =
            History::folded(lines.at(i) + u'\n' + QStringLiteral("traducción ") + lines.at(i)).toUtf8();
        sqlite3_bind_int64(insert, 1, start + i * 1000LL);
        sqlite3_bind_text(insert, 2, source.constData(), int(source.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, translation.constData(), int(translation.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// One translation job to its end; its paragraphs and the time it took.
struct JobRun {
    int paragraphs = 0;
    int sentences = 0;
    int reused = 0;  // sentences
    double seconds = 0;
    bool done = false;
};

JobRun translate(const QString& text, const QString& endpoint, History& history)
{
    TranslationRequest request;
    request.text = text;
    request.sourceCode = QStringLiteral("EN");
    request.targetCode = QStringLiteral("ES");
    request.sourceName = QStringLiteral("English");
    request.targetName = QStringLiteral("Spanish");
    request.endpoint = endpoint;
    request.wantEngineVersion = true;
    request.memory = std::make_shared<HistoryMemory>(history.path());
    JobRun run;
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<TranslationJob> job(Translator::start(request));
    HistoryRecorder::watch(*job, HistoryEntry::Origin::CommandLine, nullptr, nullptr, &history);
    QObject::connect(job.get(), &TranslationJob::paragraph, job.get(), [&run] { ++run.paragraphs; });
    QObject::connect(job.get(), &TranslationJob::finished, job.get(), [&](const TranslationResult& result) {
        run.done = result.outcome == TranslationResult::Outcome::Done;
        run.sentences = job->sentenceCount();
        run.reused = job->reusedSentences();
        run.seconds = double(timer.nsecsElapsed()) / 1e9;
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
    HistoryRecorder::flush();
    return run;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qsizetype entries = argc > 1 ? QByteArray(argv[1]).toLongLong() : 100000;
    QTemporaryDir home;
    // LINGUARO_BENCH_KEEP=1 leaves the filled history behind for a closer look
    home.setAutoRemove(qEnvironmentVariableIsEmpty("LINGUARO_BENCH_KEEP"));
    BenchSupport::plainDesktop(home);
    const QString path = home.filePath(QStringLiteral("history.sqlite"));
    const QStringList lines = ::lines(entries);

    History history(path, {entries, 200LL * 1024 * 1024, 1000000});
    if (!history.available()) {
        std::fprintf(stderr, "bench_history: %s\n", qPrintable(history.problem()));
        return 1;
    }
    QElapsedTimer filling;
    filling.start();
    const QString endpoint = QStringLiteral("http://127.0.0.1:9/translate");
    const QString version = QStringLiteral("apertium-eng-spa 0.8.1-2");
    if (!fill(path, lines) || !history.addSegments([&](const History::SegmentSink& add) {
            for (const QString& line : lines)
                if (!add({QStringLiteral("EN"), QStringLiteral("ES"), endpoint, version, line,
                          QStringLiteral("traducción ") + line, QDateTime::currentDateTimeUtc()}))
                    return false;
            return true;
        })) {
        std::fprintf(stderr, "bench_history: the history could not be filled: %s\n", qPrintable(history.problem()));
        return 1;
    }
    std::printf("%lld entries and %lld memory pieces in %.1f s, %.1f MB: %s\n", history.count(), history.segmentCount(),
                double(filling.elapsed()) / 1000, double(QFileInfo(path).size()) / 1e6, qPrintable(path));

    // 1. recording
    std::vector<double> records;
    for (int i = 0; i < 200; ++i) {
        HistoryEntry entry;
        entry.sourceCode = QStringLiteral("EN");
        entry.targetCode = QStringLiteral("ES");
        entry.source = lines.at(i) + QStringLiteral(" again");
        entry.translation = QStringLiteral("otra vez ") + lines.at(i);
        QList<HistoryChunk> chunks;
        for (int piece = 0; piece < 3; ++piece)
            chunks << HistoryChunk{entry.source + QString::number(piece), entry.translation, endpoint, version};
        QElapsedTimer timer;
        timer.start();
        if (!history.record(entry, chunks, chunks)) {
            std::fprintf(stderr, "bench_history: %s\n", qPrintable(history.problem()));
            return 1;
        }
        records.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    report("record a translation of three pieces (median)", median(records), "ms", 2);

    // 2. memory lookups: every other paragraph known
    QStringList paragraphs;
    for (int i = 0; i < 2000; ++i)
        paragraphs << (i % 2 ? lines.at(i * 37 % lines.size()) : QStringLiteral("never translated %1").arg(i));
    HistoryMemory memory(path);
    std::vector<double> lookups;
    qsizetype found = 0;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        const auto known = memory.lookUp({QStringLiteral("EN"), QStringLiteral("ES"), endpoint, version}, paragraphs);
        lookups.push_back(double(timer.nsecsElapsed()) / 1e6 / double(paragraphs.size()));
        found =
            std::count_if(known.begin(), known.end(), [](const auto& translation) { return translation.has_value(); });
    }
    report(qPrintable(QStringLiteral("memory lookup per paragraph (%1 of %2 known)").arg(found).arg(paragraphs.size())),
           median(lookups), "ms", 0.2);

    // 3. word search
    for (const char* word : {"the", "licence", "warranty"}) {
        std::vector<double> searches;
        qsizetype hits = 0;
        for (int round = 0; round < 9; ++round) {
            QElapsedTimer timer;
            timer.start();
            hits = history.search(QString::fromLatin1(word)).size();
            searches.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        report(qPrintable(QStringLiteral("search for \"%1\" (%2 listed)").arg(QLatin1String(word)).arg(hits)),
               median(searches), "ms", 30);
    }

    // 4. TMX export
    {
        QElapsedTimer timer;
        timer.start();
        const TmxFile::Outcome outcome = TmxFile::Export(history, home.filePath(QStringLiteral("all.tmx")));
        if (!outcome.ok) {
            std::fprintf(stderr, "bench_history: %s\n", qPrintable(outcome.message));
            return 1;
        }
        report(
            qPrintable(QStringLiteral("TMX export of %1 pieces (%2 MB)")
                           .arg(outcome.units)
                           .arg(double(QFileInfo(home.filePath(QStringLiteral("all.tmx"))).size()) / 1e6, 0, 'f', 1)),
            double(timer.nsecsElapsed()) / 1e9, "s", 3);
    }

    if (qEnvironmentVariableIsSet("LINGUARO_BENCH_NO_SERVICE"))
        return 0;
    // 5. a megabyte twice through the service
    QProcess service;
    const QString address =
        BenchSupport::startService(service, QStringLiteral(LINGUARO_BINARY_DIR "/linguaro-service"));
    if (address.isEmpty()) {
        std::fprintf(stderr, "bench_history: linguaro-service did not start\n");
        return 1;
    }
    const QString text = QString::fromUtf8(BenchSupport::englishProse(1000000));
    const JobRun first = translate(text, address, history);
    const JobRun second = translate(text, address, history);
    service.terminate();
    service.waitForFinished(10000);
    if (!first.done || !second.done) {
        std::fprintf(stderr, "bench_history: a translation did not finish\n");
        return 1;
    }
    std::printf("1 MB translated: first run %.2f s (%d paragraphs, %d of %d sentences from the memory)\n",
                first.seconds, first.paragraphs, first.reused, first.sentences);
    std::printf("1 MB again:      second run %.3f s, %.1f%% of the sentences from the memory (target 100%%) %s; "
                "%.1f times as fast\n",
                second.seconds, second.sentences ? 100.0 * second.reused / second.sentences : 0.0,
                second.reused == second.sentences ? "ok" : "MISSED", first.seconds / std::max(second.seconds, 1e-6));
    return 0;
}
