#pragma once

#include "SpeechOutput.h"

#include <QHash>

#include <memory>

class EspeakEngine;
class QThread;
class SpeechPlayer;
class SpeechStream;

// Speech through espeak-ng: the voice follows the language ID, its variant
// the speech mode; the samples go to the sound card, or to a silent clock
// that keeps the same time when there is none; each word is announced when it
// is heard. With a folder for files every utterance is also written there as
// a WAV file. The object lives in a thread with an event loop (the window's);
// synthesis and playback run on threads of their own.
class EspeakSpeech : public SpeechOutput {
    Q_OBJECT
public:
    struct Options {
        enum class Output { Automatic, Silent };
        // Automatic: the default sound output, the silent clock when the
        // machine has none or it fails.
        Output output = Output::Automatic;
        // Seconds of speech the silent clock plays a second; 0: as fast as
        // it is synthesised (files only).
        double silentPace = 1.0;
        QString wavFolder;  // empty: no files

        // LINGUARO_SPEECH_OUTPUT=silent and LINGUARO_SPEECH_DIR.
        static Options fromEnvironment();
    };

    explicit EspeakSpeech(QObject* parent = nullptr);
    explicit EspeakSpeech(const Options& options, QObject* parent = nullptr);
    ~EspeakSpeech() override;

    bool canSpeak(int languageId) const override;
    void speak(quint64 utterance, const QString& text, int languageId, const QString& ttsModeId) override;
    void stop() override;

    // The espeak-ng sample rate; 0 when espeak-ng cannot start.
    int sampleRate() const;
    // Whether the sound card is used (otherwise the silent clock).
    bool usesSoundDevice() const { return m_usesDevice; }

private:
    void playerStarted(quint64 serial);
    void playerWord(quint64 serial, int position, int length);
    void playerFinished(quint64 serial, const QString& error);

    Options m_options;
    std::shared_ptr<EspeakEngine> m_engine;
    QThread* m_thread = nullptr;
    SpeechPlayer* m_player = nullptr;
    bool m_usesDevice = false;

    // Utterances are numbered here, so a caller's number used twice is no trouble.
    quint64 m_serial = 0;
    QHash<quint64, quint64> m_open;  // serial -> the caller's utterance, until finished
    std::shared_ptr<SpeechStream> m_current;
    bool m_stopping = false;
};
