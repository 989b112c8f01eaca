// bench_agent: what a character on screen costs in CPU.
//
//   xvfb-run -a build/bench/agent/bench_agent [seconds]    (default 20 per phase)
//
// Measures the process's CPU time (user + system) over three phases of the
// same length, in this order:
//  1. reference: the event loop with no character at all;
//  2. idle: Merlin on screen, nothing asked of him (he blinks or looks round
//     now and then, as an idle character does);
//  3. animating: Merlin waving and speaking (silently, the balloon word by
//     word) without a pause.
// It prints each phase's CPU as a share of one core and the two character
// phases against the reference. The target for an idle character is below 1%
// of one core. Run it under X (xvfb-run) so the window is really shaped and
// shown through an X server; the server's own CPU is not counted.

#include "CharacterCore.h"
#include "CharacterStage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The share of one core the process used while the event loop ran for `seconds`.
double measure(double seconds)
{
    QElapsedTimer wall;
    wall.start();
    const double cpu = cpuSeconds();
    QTimer::singleShot(int(seconds * 1000), qApp, &QCoreApplication::quit);
    QApplication::exec();
    return 100.0 * (cpuSeconds() - cpu) / (double(wall.nsecsElapsed()) / 1e9);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 20.0;

    QTemporaryDir windows;
    QDir(windows.path()).mkpath(QStringLiteral("msagent/chars"));
    QFile(windows.filePath(QStringLiteral("msagent/agentsvr.exe"))).open(QIODevice::WriteOnly);
    if (!QFile::copy(QStringLiteral(LINGUARO_BINARY_DIR "/chars/Merlin.acs"),
                     windows.filePath(QStringLiteral("msagent/chars/Merlin.acs")))) {
        std::fprintf(stderr, "bench_agent: build the characters first (build/chars/Merlin.acs)\n");
        return 1;
    }
    qputenv("windir", windows.path().toUtf8());
    std::printf("platform %s, %.0f s a phase\n", qPrintable(QGuiApplication::platformName()), seconds);

    const double reference = measure(seconds);
    std::printf("reference (event loop only)   %6.3f%% of one core\n", reference);

    CharacterStage agent;
    agent.setConnected(true);
    agent.load(QStringLiteral("Merlin"), QStringLiteral("Merlin.acs"));
    AgentCharacter* merlin = agent.character(QStringLiteral("Merlin"));
    merlin->moveTo(200, 200, 0);
    merlin->show(false);
    merlin->speak(QStringLiteral("Hello everybody, I am Merlin!"));
    // let him arrive and finish speaking before the idle phase
    measure(6);
    const double idle = measure(seconds);
    std::printf("idle character                %6.3f%% of one core (%+.3f over the reference; target below 1%%)\n",
                idle, idle - reference);

    CharacterCore* core = agent.core(QStringLiteral("Merlin"));
    QTimer busy;
    QObject::connect(&busy, &QTimer::timeout, [&] {
        if (core->activity() == CharacterCore::Activity::Idle && core->queueLength() == 0) {
            merlin->play(QStringLiteral("Wave"));
            merlin->speak(QStringLiteral("Welcome to Linguaro Translator! I read every word aloud for you."));
            merlin->play(QStringLiteral("Think"));
        }
    });
    busy.start(100);
    const double animating = measure(seconds);
    std::printf("animating and speaking        %6.3f%% of one core (%.1fx the reference)\n", animating,
                reference > 0 ? animating / reference : 0.0);
    return 0;
}
