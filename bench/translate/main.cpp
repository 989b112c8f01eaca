// bench_translate: how long a whole translation run takes next to the raw engine.
//
//   build/bench/translate/bench_translate [bytes [chains]]
//   (bytes: default 1000000; chains: the service's --parallel, default its own)
//
// Takes about a megabyte of real English prose (the licence texts in
// /usr/share/common-licenses, then /usr/share/doc/*/copyright), and
//  1. pipes it once through "apertium -u eng-spa" (one engine process chain,
//     the same unmarked output the service gives) and measures that engine's
//     CPU time, user + system, of it and all its children;
//  2. runs it through the application's path: PrepareText, SplitIntoChunks
//     at 3000, and per chunk ServiceClient::SendChunk to a linguaro-service
//     this program starts on a free loopback port, ExtractTranslation, and an
//     appended paragraph in a QTextDocument, timing the whole run by the wall
//     clock and each chunk's round trip.
// It prints both figures, their ratio (run wall time / engine CPU time) and
// the median round trip. The target is a ratio of at most 1.2. It also prints
// the service's own CPU time and the load average: the ratio only means
// something on an otherwise idle machine, since other work slows the run's
// wall clock but not the engine's CPU time. The CPU of each program the
// service keeps running is read from /proc just before the service stops.

#include "BenchSupport.h"
#include "ServiceExchange.h"
#include "TextPreparation.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

double seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// CPU seconds (user + system) of "apertium -u eng-spa" over the file, and its wall time.
bool rawEngine(const QString& inputPath, double& cpu, double& wall)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray input = inputPath.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 0, input.constData(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("apertium"), const_cast<char*>("-u"), const_cast<char*>("eng-spa"), nullptr};
    QElapsedTimer timer;
    timer.start();
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "apertium", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    int status = 0;
    rusage usage{};
    // the script waits for its pipeline, so its usage includes every stage
    if (wait4(pid, &status, 0, &usage) != pid)
        return false;
    wall = double(timer.nsecsElapsed()) / 1e9;
    cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct ProgramTime {
    std::string name;  // program and its first option
    double cpu = 0;
};

// CPU seconds (user + system) so far of a running process, from /proc.
double processCpu(const QString& pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // the fields after the parenthesised name; utime and stime are the 12th and 13th
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// The service itself and each program it keeps running, with the CPU each has used.
std::vector<ProgramTime> serviceProgramTimes(qint64 servicePid)
{
    const QString self = QString::number(servicePid);
    std::vector<ProgramTime> times{{"linguaro-service", processCpu(self)}};
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(self));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + QStringLiteral("/children")));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& child : children.readAll().split(' ')) {
            if (child.trimmed().isEmpty())
                continue;
            QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(QString::fromLatin1(child)));
            if (!cmdline.open(QIODevice::ReadOnly))
                continue;
            const QList<QByteArray> args = cmdline.readAll().split('\0');
            std::string name = QFileInfo(QString::fromLocal8Bit(args.value(0))).fileName().toStdString();
            // "-z" comes first; the option after it tells the stages of one program apart
            if (args.size() > 2 && args[2].startsWith('-'))
                name += " " + args[2].toStdString();
            times.push_back({name, processCpu(QString::fromLatin1(child))});
        }
    }
    return times;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const qsizetype wanted = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const QString chains = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    const QByteArray prose = BenchSupport::EnglishProse(wanted);
    QTemporaryFile corpus;
    if (!corpus.open() || corpus.write(prose) != prose.size() || !corpus.flush()) {
        std::fprintf(stderr, "cannot write the text to a temporary file\n");
        return 1;
    }
    std::printf("text: %lld bytes of English prose\n", static_cast<long long>(prose.size()));

    double engineCpu = 0, engineWall = 0;
    if (!rawEngine(corpus.fileName(), engineCpu, engineWall)) {
        std::fprintf(stderr, "apertium -u eng-spa failed\n");
        return 1;
    }
    std::printf("raw engine:  %.2f s CPU (user+sys), %.2f s wall\n", engineCpu, engineWall);

    QProcess service;
    QStringList serviceArgs;
    if (!chains.isEmpty())
        serviceArgs << QStringLiteral("--parallel") << chains;
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    const QString endpoint =
        BenchSupport::StartService(service, QStringLiteral(LINGUARO_BINARY_DIR "/linguaro-service"), serviceArgs);
    if (endpoint.isEmpty()) {
        std::fprintf(stderr, "linguaro-service did not start: %s\n", service.readAllStandardError().constData());
        return 1;
    }

    QTextDocument target;
    QTextCursor cursor(&target);
    ServiceClient client(endpoint);
    std::vector<double> roundTrips;
    rusage selfBefore{};
    getrusage(RUSAGE_SELF, &selfBefore);
    QElapsedTimer run;
    run.start();
    const QStringList chunks = TextPreparation::SplitIntoChunks(
        TextPreparation::PrepareText(QString::fromUtf8(prose).split(QLatin1Char('\n'))), TextPreparation::ChunkLimit);
    for (const QString& chunk : chunks) {
        QElapsedTimer trip;
        trip.start();
        const QByteArray reply = client.SendChunk(chunk, QStringLiteral("EN"), QStringLiteral("ES"), ProxySettings{});
        roundTrips.push_back(double(trip.nsecsElapsed()) / 1e6);
        QCoreApplication::processEvents();
        cursor.movePosition(QTextCursor::End);
        if (!target.isEmpty())
            cursor.insertBlock();
        cursor.insertText(ExtractTranslation(reply));
    }
    const double runWall = double(run.nsecsElapsed()) / 1e9;
    rusage selfAfter{};
    getrusage(RUSAGE_SELF, &selfAfter);
    const double clientCpu = seconds(selfAfter.ru_utime) + seconds(selfAfter.ru_stime) - seconds(selfBefore.ru_utime)
                             - seconds(selfBefore.ru_stime);
    const std::vector<ProgramTime> programTimes = serviceProgramTimes(service.processId());
    service.terminate();
    service.waitForFinished(10000);
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    const double serviceCpu = seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime)
                              - seconds(before.ru_stime);
    double load[3] = {};
    getloadavg(load, 3);

    std::sort(roundTrips.begin(), roundTrips.end());
    const double median = roundTrips.empty() ? 0 : roundTrips[roundTrips.size() / 2];
    const double ratio = runWall / engineCpu;
    std::printf("whole run:   %.2f s wall for %lld chunks, %lld characters translated\n", runWall,
                static_cast<long long>(chunks.size()), static_cast<long long>(target.characterCount()));
    std::printf("median chunk round trip: %.1f ms\n", median);
    std::printf("CPU of the service (with its engines): %.2f s, of this client: %.2f s; load average %.2f\n",
                serviceCpu, clientCpu, load[0]);
    std::printf("CPU by program of the service (s):");
    for (const ProgramTime& program : programTimes)
        std::printf("%s %s %.2f", &program == programTimes.data() ? "" : ",", program.name.c_str(), program.cpu);
    std::printf("\n");
    std::printf("ratio (run wall / engine CPU): %.2f  target <= 1.20: %s\n", ratio, ratio <= 1.2 ? "met" : "missed");
    return 0;
}
