// bench_translate: a whole translation next to the raw engine, and the
// window's liveliness while it translates.
//
//   build/bench/translate/bench_translate [bytes [rounds]]
//   (bytes: default 1000000; rounds of steps 1 and 2, in turns: default 3)
//
// Takes about a megabyte of real English prose (the licence texts in
// /usr/share/common-licenses, then /usr/share/doc/*/copyright), and
//  1. pipes it once through "apertium -u eng-spa" (one engine process chain,
//     the same unmarked output the service gives): wall time, and CPU time
//     (user + system) of it and all its children;
//  2. translates it with "linguaro --from en --to es" from a file, against a
//     linguaro-service this program starts on a free loopback port and warms
//     with one sentence: wall time of the whole program, and CPU time of the
//     program, the service and the engine programs the service runs.
//     Prints the median wall ratio (target: at most 1.05) and CPU ratio;
//  3. translates it in the window (a MainWindow on the offscreen platform) against
//     a freshly started service, so the pair starts cold, then a shorter text
//     into a pivot pair (a route through another language), cold too, and
//     prints the longest time the window's event loop went without turning
//     during each run (target: under 50 ms).
// The ratios only mean something on an otherwise idle machine; the load
// average is printed beside them.

#include "BenchSupport.h"
#include "WindowDriver.h"
#include "ConsolePrompts.h"
#include "LanguageTable.h"
#include "ServiceExchange.h"
#include "ServicePairs.h"
#include "ServiceUsers.h"
#include "MainWindow.h"
#include "TranslationController.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <time.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

double seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

// Runs a program over the file (output thrown away): its wall time and the CPU
// seconds (user + system) of it and every child it waited for.
bool timedRun(const std::vector<std::string>& arguments, const QString& inputPath, double& cpu, double& wall)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray input = inputPath.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 0, input.constData(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    int status = 0;
    rusage usage{};
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

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double totalCpu(const std::vector<ProgramTime>& times)
{
    double total = 0;
    for (const ProgramTime& time : times)
        total += time.cpu;
    return total;
}

// CPU time this thread has used (ms).
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The longest the event loop went without turning while the window translated
// `text` into the list position `target` (ms), and the run's wall time. On a
// busy machine a gap may be time the thread waited for a processor; `longestCpu`
// is the most processor time the window's thread spent between two turns.
double windowStall(const QString& text, int target, double& wall, QString& status, double& longestCpu)
{
    MainWindow form;
    form.show();
    ui(form).sourceList()->setCurrentIndex(0);
    ui(form).targetList()->setCurrentIndex(target);
    ui(form).sourcePane()->setPlainText(text);
    // the pasted text is laid out and painted before the run begins
    QEventLoop settle;
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);
    settle.exec();
    QElapsedTimer sinceTurn;
    qint64 longest = 0;
    longestCpu = 0;
    double cpuAtTurn = threadCpuMs();
    QTimer turns;
    turns.setInterval(1);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const double cpu = threadCpuMs();
        longestCpu = std::max(longestCpu, cpu - cpuAtTurn);
        cpuAtTurn = cpu;
        const qint64 gap = sinceTurn.restart();
        if (gap > longest && qEnvironmentVariableIsSet("BENCH_TRANSLATE_GAPS"))
            std::fprintf(stderr, "gap %lld ms, status %s\n", static_cast<long long>(gap),
                         qPrintable(form.statusText()));
        longest = std::max(longest, gap);
    });
    QEventLoop run;
    QObject::connect(&form.translation(), &TranslationController::ended, &run, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    sinceTurn.start();
    turns.start();
    // pressed from the loop, as a click is, so that the press itself is measured
    QTimer::singleShot(0, &form, [&form] { form.translateOrStop(); });
    run.exec();
    turns.stop();
    longest = std::max(longest, sinceTurn.elapsed());
    wall = double(timer.nsecsElapsed()) / 1e9;
    status = form.statusText();
    return double(longest);
}

// A pair from English that the service reaches through another language, as a list position; -1 when none.
int pivotTarget(const QString& endpoint, QString& description)
{
    ServiceClient client(endpoint);
    QList<ServicePair> pairs;
    try {
        if (!ServicePairs::parse(client.fetch(ServicePairs::address(endpoint), ProxySettings{}), pairs))
            return -1;
    } catch (const ServiceError&) {
        return -1;
    }
    for (const ServicePair& pair : pairs) {
        const int position = LanguageTable::positionOf(pair.to);
        if (pair.from == QLatin1String("en") && pair.via.size() == 1 && position >= 0) {
            description = QStringLiteral("en to %1 through %2").arg(pair.to, pair.via.join(QStringLiteral(", ")));
            return position;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    BenchSupport::plainDesktop(home);
    if (!BenchSupport::noReuse(home))
        return 1;
    QApplication app(argc, argv);
    ConsolePrompts prompts;
    const qsizetype wanted = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const int rounds = std::max(1, argc > 2 ? QByteArray(argv[2]).toInt() : 3);
    const QString serviceProgram = QStringLiteral(LINGUARO_BINARY_DIR "/linguaro-service");
    const std::string linguaro = LINGUARO_BINARY_DIR "/linguaro";

    const QByteArray prose = BenchSupport::englishProse(wanted);
    const QString corpus = home.filePath("prose.txt");
    const QString sentence = home.filePath("sentence.txt");
    {
        QFile file(corpus);
        QFile one(sentence);
        if (!file.open(QIODevice::WriteOnly) || file.write(prose) != prose.size() || !one.open(QIODevice::WriteOnly)
            || one.write("The house is big and the garden is green.\n") < 0) {
            std::fprintf(stderr, "cannot write the texts to %s\n", qPrintable(home.path()));
            return 1;
        }
    }
    std::printf("text: %lld bytes of English prose\n", static_cast<long long>(prose.size()));

    QProcess service;
    const QString endpoint = BenchSupport::startService(service, serviceProgram);
    if (endpoint.isEmpty()) {
        std::fprintf(stderr, "linguaro-service did not start: %s\n", service.readAllStandardError().constData());
        return 1;
    }
    qputenv("LINGUARO_SERVICE_URL", endpoint.toUtf8());
    const std::vector<std::string> command{linguaro, "--from", "en", "--to", "es"};
    double cpu = 0, wall = 0;
    // the pair's engine programs start with the first sentence, as the raw engine's start with its run
    if (!timedRun(command, sentence, cpu, wall)) {
        std::fprintf(stderr, "linguaro --from en --to es failed\n");
        return 1;
    }
    // the two in turns, so that a machine whose speed drifts weighs on both alike; medians quoted
    std::vector<double> wallRatios, cpuRatios;
    std::vector<ProgramTime> programTimes;
    for (int round = 0; round < rounds; ++round) {
        double engineCpu = 0, engineWall = 0;
        if (!timedRun({"apertium", "-u", "eng-spa"}, corpus, engineCpu, engineWall)) {
            std::fprintf(stderr, "apertium -u eng-spa failed\n");
            return 1;
        }
        const double serviceBefore = totalCpu(serviceProgramTimes(service.processId()));
        double programCpu = 0, programWall = 0;
        if (!timedRun(command, corpus, programCpu, programWall)) {
            std::fprintf(stderr, "linguaro --from en --to es failed on the text\n");
            return 1;
        }
        programTimes = serviceProgramTimes(service.processId());
        const double serviceCpu = totalCpu(programTimes) - serviceBefore;
        std::printf("round %d: raw engine %.2f s wall, %.2f s CPU; linguaro --from en --to es %.2f s wall, %.2f s CPU "
                    "(program %.2f, service and engines %.2f)\n",
                    round + 1, engineWall, engineCpu, programWall, programCpu + serviceCpu, programCpu, serviceCpu);
        wallRatios.push_back(programWall / engineWall);
        cpuRatios.push_back((programCpu + serviceCpu) / engineCpu);
    }
    service.terminate();
    service.waitForFinished(10000);
    double load[3] = {};
    getloadavg(load, 3);
    std::printf("CPU by program of the service (s, whole life):");
    for (const ProgramTime& program : programTimes)
        std::printf("%s %s %.2f", &program == programTimes.data() ? "" : ",", program.name.c_str(), program.cpu);
    std::printf("\n");
    const double wallRatio = median(wallRatios);
    std::printf("wall ratio (linguaro / raw engine), median of %d: %.2f (%.2f to %.2f)  target <= 1.05: %s\n", rounds,
                wallRatio, *std::min_element(wallRatios.begin(), wallRatios.end()),
                *std::max_element(wallRatios.begin(), wallRatios.end()), wallRatio <= 1.05 ? "met" : "missed");
    std::printf("CPU ratio (linguaro with service / raw engine), median: %.2f\n", median(cpuRatios));
    std::printf("load average %.2f\n", load[0]);

    // the window, each run on a service of its own so that its pair starts cold
    const QString text = QString::fromUtf8(prose).chopped(prose.endsWith('\n') ? 1 : 0);
    double worst = 0, worstCpu = 0;
    QTemporaryDir usersFolder;
    for (int round = 0; round < 2; ++round) {
        // started as the window starts its built-in service: with a users file this program holds
        ServiceUsers users;
        const std::string usersFile = usersFolder.filePath(QStringLiteral("users-%1").arg(round)).toStdString();
        std::string joinError;
        if (!users.join(usersFile, joinError)) {
            std::fprintf(stderr, "cannot hold the service's users file: %s\n", joinError.c_str());
            return 1;
        }
        QProcess fresh;
        const QString address = BenchSupport::startService(
            fresh, serviceProgram, {QStringLiteral("--users-file"), QString::fromStdString(usersFile)});
        if (address.isEmpty()) {
            std::fprintf(stderr, "linguaro-service did not start\n");
            return 1;
        }
        qputenv("LINGUARO_SERVICE_URL", address.toUtf8());
        QString what = QStringLiteral("en to es");
        int target = 3;  // Spanish
        QString piece = text;
        if (round == 1) {
            target = pivotTarget(address, what);
            // a pivot pair runs two engines one after the other: a few chunks show its cold start as well
            piece = text.left(20000);
        }
        if (target < 0) {
            std::printf("window: the service reaches no language from English through another; no pivot run\n");
            continue;
        }
        QString status;
        double stallCpu = 0;
        const double stall = windowStall(piece, target, wall, status, stallCpu);
        worst = std::max(worst, stall);
        worstCpu = std::max(worstCpu, stallCpu);
        std::printf("window, %s, cold, %lld characters: %.2f s, status \"%s\"; longest without the event loop "
                    "turning: %.0f ms (%.1f ms of it on a processor)\n",
                    qPrintable(what), static_cast<long long>(piece.size()), wall, qPrintable(status), stall, stallCpu);
        fresh.terminate();
        fresh.waitForFinished(10000);
    }
    std::printf("longest the window's event loop went without turning: %.0f ms  target < 50 ms: %s\n", worst,
                worst < 50 ? "met" : "missed");
    std::printf("most processor time the window's thread spent between two turns: %.1f ms  target < 50 ms: %s\n",
                worstCpu, worstCpu < 50 ? "met" : "missed");
    return 0;
}
