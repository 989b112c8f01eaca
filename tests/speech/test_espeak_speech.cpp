#include "EspeakSpeech.h"
#include "VoiceTable.h"
#include "WavReader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace wav_reader;

namespace {

// The median pitch of the loud stretches, by autocorrelation.
double medianPitch(const Wav& wav)
{
    const qsizetype window = wav.sampleRate / 25;
    QList<double> pitches;
    for (qsizetype at = 0; at + window <= wav.samples.size(); at += window / 2) {
        const qint16* x = wav.samples.constData() + at;
        if (rms(x, window) < 1000)
            continue;
        double best = 0;
        int bestLag = 0;
        for (int lag = wav.sampleRate / 400; lag < wav.sampleRate / 60; ++lag) {
            double c = 0;
            for (qsizetype i = 0; i + lag < window; i += 2)
                c += double(x[i]) * x[i + lag];
            if (c > best) {
                best = c;
                bestLag = lag;
            }
        }
        if (bestLag)
            pitches << double(wav.sampleRate) / bestLag;
    }
    if (pitches.isEmpty())
        return 0;
    std::sort(pitches.begin(), pitches.end());
    return pitches.at(pitches.size() / 2);
}

// Everything a speech output reports, in order, with the time it arrived.
struct Event {
    char kind;  // 'a' audio started, 'w' word, 'f' finished
    quint64 utterance;
    int position;
    int length;
    QString error;
    qint64 ms;
};

class Recorder {
public:
    explicit Recorder(SpeechOutput& speech)
    {
        m_clock.start();
        QObject::connect(&speech, &SpeechOutput::audioStarted, &m_context, [this](quint64 u) {
            events.append({'a', u, 0, 0, {}, m_clock.elapsed()});
        });
        QObject::connect(&speech, &SpeechOutput::wordStarted, &m_context, [this](quint64 u, int position, int length) {
            events.append({'w', u, position, length, {}, m_clock.elapsed()});
        });
        QObject::connect(&speech, &SpeechOutput::finished, &m_context, [this](quint64 u, const QString& error) {
            events.append({'f', u, 0, 0, error, m_clock.elapsed()});
        });
    }
    const Event* find(char kind, quint64 utterance) const
    {
        for (const Event& e : events)
            if (e.kind == kind && e.utterance == utterance)
                return &e;
        return nullptr;
    }
    qsizetype indexOf(char kind, quint64 utterance) const
    {
        const Event* e = find(kind, utterance);
        return e ? e - events.constData() : -1;
    }
    QStringList words(quint64 utterance, const QString& text) const
    {
        QStringList out;
        for (const Event& e : events)
            if (e.kind == 'w' && e.utterance == utterance)
                out << text.mid(e.position, e.length);
        return out;
    }
    QList<Event> events;

private:
    QObject m_context;
    QElapsedTimer m_clock;
};

std::unique_ptr<EspeakSpeech> silentSpeech(const QString& wavFolder, double pace)
{
    EspeakSpeech::Options options;
    options.output = EspeakSpeech::Options::Output::Silent;
    options.silentPace = pace;
    options.wavFolder = wavFolder;
    return std::make_unique<EspeakSpeech>(options);
}

QString book(int pages)
{
    const QString page =
        QStringLiteral("The quick brown fox jumps over the lazy dog, and the dog does not mind at all. ");
    QString text;
    while (text.size() < pages * 3000)
        text += page;
    return text;
}

}  // namespace

class TestEspeakSpeech : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        qunsetenv("LINGUARO_SPEECH_OUTPUT");
        qunsetenv("LINGUARO_SPEECH_DIR");
    }

    void eachVoiceSpeaksItsGreetingToAFile_data()
    {
        QTest::addColumn<int>("languageId");
        QTest::addColumn<QString>("greeting");
        for (const Voice& voice : VoiceTable::voices())
            QTest::newRow(qPrintable(voice.voiceName)) << voice.languageId << voice.greeting;
    }

    void eachVoiceSpeaksItsGreetingToAFile()
    {
        QFETCH(int, languageId);
        QFETCH(QString, greeting);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("made/on/demand"));
        auto speech = silentSpeech(folder, 0);
        Recorder recorder(*speech);
        speech->speak(1, greeting, languageId, {});
        QTRY_VERIFY_WITH_TIMEOUT(recorder.find('f', 1), 30000);
        QCOMPARE(recorder.find('f', 1)->error, QString());

        const QStringList files = wavsIn(folder);
        QCOMPARE(files.size(), 1);
        const Wav wav = readWav(files.first());
        QCOMPARE(wav.error, QString());
        QCOMPARE(wav.sampleRate, speech->sampleRate());
        // a plausible time for the text: not cut short, not run on
        const auto letters =
            std::count_if(greeting.begin(), greeting.end(), [](QChar c) { return c.isLetterOrNumber(); });
        QVERIFY2(wav.seconds() >= std::max(0.3, 0.04 * double(letters)) && wav.seconds() <= 1.0 + 0.4 * double(letters),
                 qPrintable(QString::number(wav.seconds())));
        QVERIFY2(soundingShare(wav) > 0.3, "the file is (nearly) silent");
        const QStringList words = recorder.words(1, greeting);
        QVERIFY(!words.isEmpty());
        for (const QString& word : words)
            QVERIFY2(!word.isEmpty() && !word.contains(u' '), qPrintable(word));
    }

    void speechModesChangeTheVoice()
    {
        const QString text = QStringLiteral("Hello there, this is a test of the voice, one two three.");
        QTemporaryDir dir;
        auto pitchIn = [&](int languageId, const QString& mode) {
            const QString folder = dir.filePath(QString::number(qHash(mode) ^ uint(languageId)));
            auto speech = silentSpeech(folder, 0);
            Recorder recorder(*speech);
            speech->speak(1, text, languageId, mode);
            if (!QTest::qWaitFor([&] { return recorder.find('f', 1); }, 30000))
                return -1.0;
            const QStringList files = wavsIn(folder);
            return files.size() == 1 ? medianPitch(readWav(files.first())) : -1.0;
        };
        const SpeechMode* merlin = &VoiceTable::speechModes()[0];
        const SpeechMode* peedy = &VoiceTable::speechModes()[2];
        QCOMPARE(merlin->owner, QStringLiteral("Merlin"));
        QCOMPARE(peedy->owner, QStringLiteral("Peedy"));

        const double plain = pitchIn(1033, {});
        QVERIFY2(plain > 80 && plain < 130, qPrintable(QString::number(plain)));
        const double wizard = pitchIn(1033, merlin->modeId);
        QVERIFY2(wizard > 0 && wizard < plain * 0.93, qPrintable(QString::number(wizard)));
        const double parrot = pitchIn(1033, peedy->modeId.toLower());
        QVERIFY2(parrot > 150, qPrintable(QString::number(parrot)));
        const double british = pitchIn(2057, VoiceTable::BritishModeId);
        QVERIFY2(british > 150, qPrintable(QString::number(british)));
        // a mode nobody knows, or a language without a voice: the plain voice
        const double unknown = pitchIn(1032, QStringLiteral("{00000000-0000-0000-0000-000000000000}"));
        QVERIFY2(unknown > 80 && unknown < 130, qPrintable(QString::number(unknown)));
    }

    void wordsAreAnnouncedWhereTheyStandAsTheyAreHeard_data()
    {
        QTest::addColumn<int>("languageId");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<double>("lastWordAfter");  // share of the audio before the last word at the least
        QTest::newRow("Russian, two sentences")
            << 1049 << QStringLiteral("Здравствуйте, мир! Я говорю по-русски.")
            << QStringList{"Здравствуйте", "мир", "Я", "говорю", "по-русски"} << 0.5;
        QTest::newRow("French, accents and a character beyond 16 bits")
            << 1036 << QStringLiteral("Où est le café? Déjà \U0001D11E vu, naïve élève.")
            << QStringList{"Où", "est", "le", "café", "Déjà", "vu", "naïve", "élève"} << 0.5;
        // "of the" is read as one: "the" still gets its turn
        QTest::newRow("English, words read together")
            << 1033 << QStringLiteral("This is a test of the voice.")
            << QStringList{"This", "is", "a", "test", "of", "the", "voice"} << 0.5;
        // the kanji run counts as one word, read sign by sign
        QTest::newRow("Japanese, kana then kanji") << 1041 << QStringLiteral("こんにちは、 私は日本語を話す。")
                                                   << QStringList{"こんにちは", "私は日本語を話す"} << 0.1;
    }

    void wordsAreAnnouncedWhereTheyStandAsTheyAreHeard()
    {
        QFETCH(int, languageId);
        QFETCH(QString, text);
        QFETCH(QStringList, words);
        QFETCH(double, lastWordAfter);
        QTemporaryDir dir;
        // the silent clock through the environment, as on a machine without a sound card
        qputenv("LINGUARO_SPEECH_OUTPUT", "silent");
        qputenv("LINGUARO_SPEECH_DIR", dir.path().toUtf8());
        EspeakSpeech speech;
        QVERIFY(!speech.usesSoundDevice());
        Recorder recorder(speech);
        speech.speak(5, text, languageId, {});
        QTRY_VERIFY_WITH_TIMEOUT(recorder.find('f', 5), 30000);
        QCOMPARE(recorder.find('f', 5)->error, QString());
        QCOMPARE(recorder.words(5, text), words);

        const Event* started = recorder.find('a', 5);
        QVERIFY(started);
        QVERIFY(recorder.indexOf('a', 5) < recorder.indexOf('w', 5));
        // on the clock of the sound: the end no sooner than the audio lasts,
        // the last word well after the first sound
        const Wav wav = readWav(wavsIn(dir.path()).value(0));
        QCOMPARE(wav.error, QString());
        const qint64 lastWord = recorder.events.at(recorder.indexOf('f', 5) - 1).ms;
        QVERIFY2(recorder.find('f', 5)->ms - started->ms >= qint64(wav.seconds() * 1000) - 100,
                 qPrintable(QString::number(recorder.find('f', 5)->ms - started->ms)));
        QVERIFY(lastWord - started->ms >= qint64(wav.seconds() * 1000 * lastWordAfter));
    }

    void stopAndTeardownCutALongTextShort_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("stop, then speak again") << "stop";
        QTest::newRow("a new utterance cuts the old") << "speak over";
        QTest::newRow("destroyed while speaking") << "destroy";
        QTest::newRow("destroyed before the first sound") << "destroy at once";
    }

    void stopAndTeardownCutALongTextShort()
    {
        QFETCH(QString, action);
        QTemporaryDir dir;
        auto speech = silentSpeech(dir.path(), 1.0);
        Recorder recorder(*speech);
        const QString pages = book(200);
        speech->speak(7, pages, 1033, {});
        if (action == "destroy at once") {
            speech.reset();
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(recorder.words(7, pages).size() >= 2, 20000);
        }
        const QString after = QStringLiteral("Still here.");
        if (action == "stop") {
            speech->stop();
            QTRY_VERIFY_WITH_TIMEOUT(recorder.find('f', 7), 5000);
            QCOMPARE(recorder.find('f', 7)->error, QString());
            speech->speak(8, after, 1033, {});
        } else if (action == "speak over") {
            speech->speak(8, after, 1033, {});
        } else if (action == "destroy") {
            speech.reset();
        }
        if (speech) {
            QTRY_VERIFY_WITH_TIMEOUT(recorder.find('f', 8), 20000);
            QCOMPARE(recorder.find('f', 8)->error, QString());
            QCOMPARE(recorder.words(8, after), QStringList({"Still", "here"}));
            // the cut utterance ends before the next says anything, and says nothing more
            const qsizetype cutEnd = recorder.indexOf('f', 7);
            QVERIFY(cutEnd >= 0);
            for (qsizetype i = cutEnd + 1; i < recorder.events.size(); ++i)
                QCOMPARE(recorder.events.at(i).utterance, quint64(8));
            speech.reset();
        }
        // the engine stopped a few seconds into 200 pages that would take hours
        for (const QString& file : wavsIn(dir.path())) {
            const Wav wav = readWav(file);
            QCOMPARE(wav.error, QString());
            QVERIFY2(wav.seconds() < 120, qPrintable(QString::number(wav.seconds())));
        }
    }

    void canSpeakNeedsRuntimeEngineAndVoice_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("languageId");
        QTest::addColumn<bool>("expected");
        const QString runtime = QStringLiteral("speech/speech.dll");
        QTest::newRow("nothing installed") << QStringList{} << 1036 << false;
        QTest::newRow("runtime only") << QStringList{runtime} << 1036 << false;
        QTest::newRow("engine only") << QStringList{"speech/engines/lhttsfrf"} << 1036 << false;
        QTest::newRow("both, in other letter case")
            << QStringList{"Speech/SPEECH.DLL", "Speech/Engines/LhttsFrf/"} << 1036 << true;
        QTest::newRow("another language's engine") << QStringList{runtime, "speech/engines/lhttsfrf"} << 1031 << false;
        QTest::newRow("British English") << QStringList{runtime, "speech/engines/lhttseng"} << 2057 << true;
        QTest::newRow("American English has an engine of its own")
            << QStringList{runtime, "speech/engines/lhttseng"} << 1033 << false;
        QTest::newRow("no voice of its own")
            << QStringList{runtime, "speech/engines/LinguaroTranslator", "speech/engines/tv_enua"} << 1032 << false;
    }

    void canSpeakNeedsRuntimeEngineAndVoice()
    {
        QFETCH(QStringList, files);
        QFETCH(int, languageId);
        QFETCH(bool, expected);
        QTemporaryDir windows;
        for (const QString& file : files) {
            const QString path = windows.filePath(file);
            if (file.endsWith(u'/')) {  // an engine may be a folder
                QVERIFY(QDir().mkpath(path));
                continue;
            }
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        qputenv("windir", windows.path().toUtf8());
        auto speech = silentSpeech({}, 1.0);
        QCOMPARE(speech->canSpeak(languageId), expected);
        qunsetenv("windir");
    }
};

QTEST_GUILESS_MAIN(TestEspeakSpeech)
#include "test_espeak_speech.moc"
