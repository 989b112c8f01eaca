#pragma once

#include "SpeechStream.h"

#include <QAudioDevice>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

class DevicePcmSink;
class EspeakEngine;
class PcmSink;
class SilentPcmSink;

// Plays one utterance at a time on its own thread: hands the engine's samples
// to the sound card (or the silent clock) and announces each word when the
// card has played up to it. Slots run in the player's thread.
class SpeechPlayer : public QObject {
    Q_OBJECT
public:
    // A null device: no sound card, always the silent clock.
    SpeechPlayer(std::shared_ptr<EspeakEngine> engine, const QAudioDevice& device, double silentPace);
    ~SpeechPlayer() override;

    // Cuts the utterance under way, if any, and starts this one.
    void play(const std::shared_ptr<SpeechStream>& stream);
    // Cuts the utterance with this serial if it is the one under way.
    void cut(quint64 serial);

signals:
    void audioStarted(quint64 serial);
    void wordStarted(quint64 serial, int position, int length);
    void finished(quint64 serial, const QString& error);

private:
    void tick();
    void feed();
    qint64 played();
    void useSilence();
    void finish(const QString& error);

    std::shared_ptr<EspeakEngine> m_engine;
    QAudioDevice m_device;
    double m_silentPace;
    std::unique_ptr<DevicePcmSink> m_deviceSink;
    std::unique_ptr<SilentPcmSink> m_silentSink;
    PcmSink* m_sink = nullptr;
    QTimer m_timer;

    std::shared_ptr<SpeechStream> m_stream;
    QByteArray m_pending;
    qsizetype m_pendingOffset = 0;
    QList<WordMark> m_words;
    qsizetype m_nextWord = 0;
    bool m_complete = false;
    QString m_error;
    qint64 m_written = 0;  // frames of the utterance handed to a sink
    qint64 m_base = 0;     // frames played by a sink given up on during the utterance
    qint64 m_padding = 0;  // bytes of silence still to follow the last samples
    qint64 m_lastPlayed = 0;
    QElapsedTimer m_sinceProgress;
};
