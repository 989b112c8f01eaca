// bench_speech: how fast speech is made and how soon it sounds.
//
//   build/bench/speech/bench_speech [section...] [--words N]
//   sections: synthesis, first-audio (default: all)
//
// synthesis: a 2,000-word English text (the licence texts in
// /usr/share/common-licenses) spoken in three voices (American English,
// British English in its speech mode, French) into WAV files as fast as it is
// made, timed from speak() to finished(); prints the audio's length, the wall
// time, the real-time factor (audio seconds per second of synthesis; target:
// more than 20) and, as the reference of the same run, the time of the
// espeak-ng program on the same text and voice.
// first-audio: the delay from speak() to the first samples handed to the
// sound output (or the silent clock when the machine has none), for the first
// utterance in a voice (its dictionary loads then) and the median of the
// next ones; the target is 150 ms. Each utterance is stopped after its first
// sound.
// More sections are added to the table at the end of this file.

#include "EspeakSpeech.h"
#include "VoiceTable.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace {

struct Settings {
    int words = 2000;
};

struct BenchVoice {
    const char* label;
    int languageId;
    QString modeId;
    const char* programVoice;  // the same voice for the espeak-ng program
};

const BenchVoice kVoices[] = {
    {"American English", 1033, {}, "gmw/en-US"},
    {"British English", 2057, VoiceTable::BritishModeId, "gmw/en+f1"},
    {"French", 1036, {}, "roa/fr"},
};

QString prose(int words)
{
    QStringList taken;
    const QDir licences(QStringLiteral("/usr/share/common-licenses"));
    for (const QString& name : licences.entryList(QDir::Files, QDir::Name)) {
        QFile file(licences.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QStringList found = QString::fromUtf8(file.readAll()).simplified().split(u' ', Qt::SkipEmptyParts);
        for (const QString& word : found) {
            if (taken.size() == words)
                return taken.join(u' ');
            taken << word;
        }
    }
    return taken.join(u' ');
}

// Sleeps in the event loop until done() (set by a signal) or the time is up.
bool waitFor(const std::function<bool()>& done, int ms)
{
    const QDeadlineTimer deadline(ms);
    QTimer wakeUp;
    wakeUp.start(50);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// CPU seconds (user + system) of this process, or of its ended children.
double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double wavSeconds(const QString& path, int sampleRate)
{
    const qint64 bytes = QFileInfo(path).size() - 44;
    return sampleRate > 0 && bytes > 0 ? double(bytes) / 2 / sampleRate : 0;
}

void benchSynthesis(const Settings& settings)
{
    const QString text = prose(settings.words);
    std::printf("synthesis: %lld words, %lld characters\n", qlonglong(text.split(u' ').size()), qlonglong(text.size()));
    const QString program = QStandardPaths::findExecutable(QStringLiteral("espeak-ng"));
    QTemporaryDir work;
    QFile input(work.filePath(QStringLiteral("text.txt")));
    if (!input.open(QIODevice::WriteOnly) || input.write(text.toUtf8()) < 0)
        return;
    input.close();

    std::printf("  %-18s %8s %8s %8s %8s %12s %12s %8s\n", "voice", "audio s", "wall s", "cpu s", "RTF", "espeak-ng s",
                "its cpu s", "ratio");
    for (const BenchVoice& voice : kVoices) {
        const QString folder = work.filePath(QString::fromLatin1(voice.label).remove(u' '));
        EspeakSpeech::Options options;
        options.output = EspeakSpeech::Options::Output::Silent;
        options.silentPace = 0;
        options.wavFolder = folder;
        EspeakSpeech speech(options);
        QString error = QStringLiteral("(no end)");
        bool done = false;
        QObject::connect(&speech, &SpeechOutput::finished, [&](quint64, const QString& e) {
            error = e;
            done = true;
        });
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = cpuSeconds(RUSAGE_SELF);
        speech.speak(1, text, voice.languageId, voice.modeId);
        waitFor([&] { return done; }, 600000);
        const double wall = double(timer.nsecsElapsed()) / 1e9;
        const double cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
        const QStringList files = QDir(folder).entryList({QStringLiteral("*.wav")}, QDir::Files);
        const double audio =
            files.isEmpty() ? 0 : wavSeconds(QDir(folder).filePath(files.first()), speech.sampleRate());
        if (!error.isEmpty())
            std::printf("  %-18s failed: %s\n", voice.label, qPrintable(error));

        double reference = 0, referenceCpu = 0;
        if (!program.isEmpty()) {
            QProcess process;
            const double childrenBefore = cpuSeconds(RUSAGE_CHILDREN);
            timer.restart();
            process.start(program,
                          {QStringLiteral("-v"), QString::fromLatin1(voice.programVoice), QStringLiteral("-w"),
                           work.filePath(QStringLiteral("reference.wav")), QStringLiteral("-f"), input.fileName()});
            process.waitForFinished(600000);
            reference = double(timer.nsecsElapsed()) / 1e9;
            referenceCpu = cpuSeconds(RUSAGE_CHILDREN) - childrenBefore;
        }
        std::printf("  %-18s %8.1f %8.2f %8.2f %7.1fx %12.2f %12.2f %7.2fx\n", voice.label, audio, wall, cpu,
                    wall > 0 ? audio / wall : 0, reference, referenceCpu, referenceCpu > 0 ? cpu / referenceCpu : 0);
    }
    std::printf("  (RTF: seconds of speech made per wall-clock second, target above 20; ratio: our CPU time /\n"
                "   espeak-ng's, which means more than wall times on a busy machine)\n");
}

void benchFirstAudio(const Settings&)
{
    const QString sentence =
        QStringLiteral("The first words of a long text sound at once, while the rest is still being made.");
    EspeakSpeech speech;  // the machine's sound output, as the application has it
    std::printf("first audio (%s):\n", speech.usesSoundDevice() ? "sound output" : "no sound output: silent clock");
    std::printf("  %-18s %12s %12s %10s\n", "voice", "first ms", "median ms", "max ms");
    for (const BenchVoice& voice : kVoices) {
        QList<double> delays;
        for (int round = 0; round < 7; ++round) {
            bool started = false, finished = false;
            QElapsedTimer timer;
            const auto onStart = QObject::connect(&speech, &SpeechOutput::audioStarted, [&](quint64) {
                if (!started)
                    delays << double(timer.nsecsElapsed()) / 1e6;
                started = true;
                speech.stop();
            });
            const auto onEnd =
                QObject::connect(&speech, &SpeechOutput::finished, [&](quint64, const QString&) { finished = true; });
            timer.start();
            speech.speak(quint64(round), sentence, voice.languageId, voice.modeId);
            waitFor([&] { return finished; }, 30000);
            QObject::disconnect(onStart);
            QObject::disconnect(onEnd);
        }
        if (delays.isEmpty()) {
            std::printf("  %-18s no sound began\n", voice.label);
            continue;
        }
        const double first = delays.takeFirst();
        std::sort(delays.begin(), delays.end());
        std::printf("  %-18s %12.1f %12.1f %10.1f\n", voice.label, first,
                    delays.isEmpty() ? first : delays.at(delays.size() / 2), delays.isEmpty() ? first : delays.last());
    }
    std::printf("  (target: within 150 ms)\n");
}

struct Section {
    const char* name;
    void (*run)(const Settings&);
};

const Section kSections[] = {
    {"synthesis", benchSynthesis},
    {"first-audio", benchFirstAudio},
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Settings settings;
    QStringList chosen;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--words") && i + 1 < args.size())
            settings.words = std::max(1, args.at(++i).toInt());
        else
            chosen << args.at(i);
    }
    for (const Section& section : kSections)
        if (chosen.isEmpty() || chosen.contains(QLatin1String(section.name)))
            section.run(settings);
    return 0;
}
