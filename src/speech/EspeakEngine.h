#pragma once

#include <QHash>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

class SpeechStream;

// The process's one espeak-ng: the library keeps global state and is not
// re-entrant, so a single thread owns it and synthesises every utterance of
// every speaker in turn, a piece (sentence) at a time. An utterance gets its
// next piece only while little of it waits unheard, so a book-length text
// costs neither memory nor a late stop; the playback side reports what it
// has played and wakes the engine.
class EspeakEngine {
public:
    // The running engine, started on first use; it ends with its last user.
    static std::shared_ptr<EspeakEngine> shared();
    ~EspeakEngine();
    EspeakEngine(const EspeakEngine&) = delete;
    EspeakEngine& operator=(const EspeakEngine&) = delete;

    // These wait for the engine to start (a moment, once per process).
    // The output's sample rate; 0 when espeak-ng could not start.
    int sampleRate();
    QString startError();
    // Whether espeak-ng has a voice for the language code ("en-gb", "pt-br").
    bool hasLanguage(const QString& code);

    void submit(const std::shared_ptr<SpeechStream>& stream);
    // Something was played or cancelled: the engine looks again.
    void wake();

    // How far synthesis may run ahead of playback.
    static constexpr int LookaheadMs = 2000;

private:
    EspeakEngine();
    void run();
    void start();
    bool nextReady(std::shared_ptr<SpeechStream>& stream);
    void synthesizeNextPiece(SpeechStream& stream);
    QString selectVoice(const SpeechStream& stream);

    std::thread m_thread;
    std::atomic<bool> m_quit{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<SpeechStream>> m_streams;

    std::mutex m_startMutex;
    std::condition_variable m_startedCondition;
    bool m_started = false;
    int m_sampleRate = 0;
    QString m_startError;
    QHash<QString, QString> m_voiceForLanguage;  // language code -> espeak-ng voice identifier

    QString m_voice;  // the voice espeak-ng has loaded now
};
