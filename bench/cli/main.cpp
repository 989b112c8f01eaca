// bench_cli: the command line next to the window on the same text.
//
//   build/bench/cli/bench_cli [bytes [runs]]
//   (bytes: default 1000000; runs: one-sentence runs, default 20)
//
// Starts a linguaro-service on a free loopback port and warms its English to
// Spanish engine, then
//  1. translates about a megabyte of English prose in the window (a MainWindow on
//     the offscreen platform: the text pasted into the source pane, then
//     Translate), and the same text with "linguaro --from en --to es" from a
//     file to a file, wall clock of the whole program; each twice, taking the
//     faster run, and checks that both give the same text. Target: the command
//     line within 1.1 times the window.
//  2. runs "linguaro --from en --to es" on one sentence, the service already
//     running, from the start of the program to its end. Target: under 100 ms.

#include "BenchSupport.h"
#include "WindowDriver.h"
#include "ConsolePrompts.h"
#include "MainWindow.h"
#include "TranslationController.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QUrl>

#include <algorithm>
#include <cstdio>

namespace {

const QString Program = QStringLiteral(LINGUARO_BINARY_DIR "/linguaro");

// Seconds the command line takes from start to end; its output in `output`.
double commandLine(const QString& inputPath, const QString& outputPath, QByteArray& output)
{
    QProcess program;
    program.setStandardInputFile(inputPath);
    program.setStandardOutputFile(outputPath);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    program.start(Program,
                  {QStringLiteral("--from"), QStringLiteral("en"), QStringLiteral("--to"), QStringLiteral("es")});
    program.waitForFinished(-1);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    QFile file(outputPath);
    output = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (program.exitCode() != 0)
        std::fprintf(stderr, "linguaro ended with %d\n", program.exitCode());
    return seconds;
}

// Seconds the window takes to take the text into its source pane and translate it.
double window(const QString& text, QString& result)
{
    MainWindow form;
    form.show();
    ui(form).sourceList()->setCurrentIndex(0);
    ui(form).targetList()->setCurrentIndex(3);  // Spanish
    QElapsedTimer timer;
    timer.start();
    ui(form).sourcePane()->setPlainText(text);
    QEventLoop run;
    QObject::connect(&form.translation(), &TranslationController::ended, &run, &QEventLoop::quit);
    form.translateOrStop();
    run.exec();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    result = ui(form).targetPane()->toPlainText();
    if (form.statusText() != MainWindow::IdleStatus && form.statusText() != QStringLiteral("Done."))
        std::fprintf(stderr, "the window ended with: %s\n", qPrintable(form.statusText()));
    return seconds;
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
    const int runs = argc > 2 ? QByteArray(argv[2]).toInt() : 20;

    QProcess service;
    const QString endpoint =
        BenchSupport::startService(service, QStringLiteral(LINGUARO_BINARY_DIR "/linguaro-service"));
    if (endpoint.isEmpty()) {
        std::fprintf(stderr, "linguaro-service did not start: %s\n", service.readAllStandardError().constData());
        return 1;
    }
    qputenv("LINGUARO_SERVICE_URL", endpoint.toUtf8());

    const QByteArray prose = BenchSupport::englishProse(wanted);
    const QString input = home.filePath("prose.txt");
    const QString output = home.filePath("translation.txt");
    QFile corpus(input);
    if (!corpus.open(QIODevice::WriteOnly) || corpus.write(prose) != prose.size())
        return 1;
    corpus.close();
    // the text as pasted: the file's last line break only ends its last line
    const QString text = QString::fromUtf8(prose).chopped(prose.endsWith('\n') ? 1 : 0);
    std::printf("text: %lld bytes of English prose\n", static_cast<long long>(prose.size()));

    const QString sentence = home.filePath("sentence.txt");
    QFile one(sentence);
    if (!one.open(QIODevice::WriteOnly))
        return 1;
    one.write("The house is big and the garden is green.\n");
    one.close();
    QByteArray translated;
    commandLine(sentence, output, translated);  // the engine's first use is not measured

    double windowBest = 1e9, commandBest = 1e9;
    QString pane;
    QByteArray written;
    // in turns, each going first once, so whatever one run leaves behind weighs on both alike
    for (int round = 0; round < 4; ++round) {
        const bool windowFirst = round == 0 || round == 3;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == windowFirst) {
                const double t = window(text, pane);
                std::printf("  window %.2f s\n", t);
                windowBest = std::min(windowBest, t);
            } else {
                const double t = commandLine(input, output, written);
                std::printf("  command line %.2f s\n", t);
                commandBest = std::min(commandBest, t);
            }
        }
    }
    const bool same = QString::fromUtf8(written) == pane + QLatin1Char('\n');
    std::printf("window:       %.2f s (paste and translate)\n", windowBest);
    std::printf("command line: %.2f s (whole program)%s\n", commandBest,
                same ? "" : "  OUTPUT DIFFERS FROM THE WINDOW'S");
    const double ratio = commandBest / windowBest;
    std::printf("ratio (command line / window): %.2f  target <= 1.10: %s\n", ratio, ratio <= 1.1 ? "met" : "missed");

    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(commandLine(sentence, output, translated) * 1000);
    std::sort(times.begin(), times.end());
    const double median = times.empty() ? 0 : times[times.size() / 2];
    std::printf("one sentence, service running: median %.1f ms, fastest %.1f ms, slowest %.1f ms over %d runs "
                "(\"%s\")  target < 100 ms: %s\n",
                median, times.empty() ? 0 : times.front(), times.empty() ? 0 : times.back(), runs,
                translated.trimmed().constData(), median < 100 ? "met" : "missed");

    service.terminate();
    service.waitForFinished(10000);
    return same ? 0 : 1;
}
