#include "SpeechPlayer.h"

#include "DevicePcmSink.h"
#include "EspeakEngine.h"
#include "SilentPcmSink.h"

#include <QtDebug>

#include <algorithm>

namespace {

// Words are announced within this much of being heard.
constexpr int kTickMs = 10;
// A sound output that neither plays nor takes samples for this long is given
// up for the utterance. Sound servers may pause a new stream for a second or two.
constexpr int kStallMs = 5000;

}  // namespace

SpeechPlayer::SpeechPlayer(std::shared_ptr<EspeakEngine> engine, const QAudioDevice& device, double silentPace)
    : m_engine(std::move(engine)), m_device(device), m_silentPace(silentPace), m_timer(this)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &SpeechPlayer::tick);
}

SpeechPlayer::~SpeechPlayer()
{
    if (m_stream) {
        m_stream->cancel();
        m_engine->wake();
    }
    if (m_sink)
        m_sink->end();
}

void SpeechPlayer::play(const std::shared_ptr<SpeechStream>& stream)
{
    if (m_stream)
        cut(m_stream->utterance);
    m_stream = stream;
    m_pending.clear();
    m_pendingOffset = 0;
    m_words.clear();
    m_nextWord = 0;
    m_complete = false;
    m_error.clear();
    m_written = m_base = m_padding = m_lastPlayed = 0;

    const int rate = m_engine->sampleRate();
    m_sink = nullptr;
    if (rate > 0 && !m_device.isNull()) {
        if (!m_deviceSink)
            m_deviceSink = std::make_unique<DevicePcmSink>(m_device, rate);
        if (m_deviceSink->begin())
            m_sink = m_deviceSink.get();
        else
            qWarning("The sound output \"%s\" cannot be opened; speech goes on without sound.",
                     qPrintable(m_device.description()));
    }
    if (!m_sink) {
        if (!m_silentSink)
            m_silentSink = std::make_unique<SilentPcmSink>(std::max(rate, 1), m_silentPace);
        m_silentSink->begin();
        m_sink = m_silentSink.get();
    }
    m_sinceProgress.start();
    m_timer.start();
    tick();
}

void SpeechPlayer::cut(quint64 serial)
{
    if (!m_stream || m_stream->utterance != serial)
        return;
    m_stream->cancel();
    m_engine->wake();
    finish({});
}

void SpeechPlayer::tick()
{
    if (!m_stream) {
        m_timer.stop();
        return;
    }
    feed();
    if (m_sink->failed()) {
        qWarning("The sound output failed; speech goes on without sound.");
        useSilence();
    }
    const qint64 now = played();
    const bool waiting = now < m_written || !m_pending.isEmpty() || m_padding > 0;
    if (now > m_lastPlayed || !waiting) {
        m_lastPlayed = now;
        m_sinceProgress.restart();
    } else if (m_sink != m_silentSink.get() && m_sinceProgress.elapsed() > kStallMs) {
        qWarning("The sound output stopped playing; speech goes on without sound.");
        useSilence();
    }
    m_stream->setPlayedFrames(now);
    m_engine->wake();

    const quint64 serial = m_stream->utterance;
    const bool allPlayed = m_complete && m_pending.isEmpty() && m_padding == 0 && now >= m_written;
    const bool spokenOut = allPlayed && m_error.isEmpty();
    if (m_written > 0 || spokenOut) {
        for (; m_nextWord < m_words.size() && (spokenOut || m_words.at(m_nextWord).frame <= now); ++m_nextWord)
            emit wordStarted(serial, m_words.at(m_nextWord).position, m_words.at(m_nextWord).length);
        if (m_nextWord > 1024) {  // a book is announced without keeping every word
            m_words.remove(0, m_nextWord);
            m_nextWord = 0;
        }
    }
    if (allPlayed)
        finish(m_error);
}

void SpeechPlayer::feed()
{
    SpeechStream::Delivery delivery = m_stream->take();
    if (!delivery.pcm.isEmpty()) {
        if (m_pendingOffset > 0) {
            m_pending.remove(0, m_pendingOffset);
            m_pendingOffset = 0;
        }
        m_pending.append(delivery.pcm);
    }
    m_words.append(std::move(delivery.words));
    if (delivery.complete && !m_complete) {
        m_complete = true;
        m_error = delivery.error;
        // a sound card starts playing only once its buffer is full: a fifth
        // of a second of silence after the last word gets even "123" heard
        if (m_sink == m_deviceSink.get() && (m_written > 0 || !m_pending.isEmpty()))
            m_padding = qint64(m_engine->sampleRate()) * 2 / 5;
    }
    while (m_pendingOffset < m_pending.size()) {
        const qint64 taken = m_sink->write(m_pending.constData() + m_pendingOffset, m_pending.size() - m_pendingOffset);
        if (taken <= 0)
            return;
        if (m_written == 0)
            emit audioStarted(m_stream->utterance);
        m_pendingOffset += taken;
        m_written += taken / 2;
    }
    m_pending.clear();
    m_pendingOffset = 0;
    static const QByteArray silence(4096, '\0');
    while (m_padding > 0) {
        const qint64 taken = m_sink->write(silence.constData(), std::min<qint64>(m_padding, silence.size()));
        if (taken <= 0)
            return;
        m_padding -= taken;
    }
}

qint64 SpeechPlayer::played() { return std::min(m_written, m_base + m_sink->playedFrames()); }

// Goes on with the silent clock from where the sound card got to, so the
// words keep their time and the utterance still ends.
void SpeechPlayer::useSilence()
{
    const qint64 now = played();
    m_sink->end();
    if (!m_silentSink)
        m_silentSink = std::make_unique<SilentPcmSink>(std::max(m_engine->sampleRate(), 1), m_silentPace);
    m_silentSink->beginQueued(m_written - now);
    m_sink = m_silentSink.get();
    m_base = now;
    m_padding = 0;
    m_sinceProgress.restart();
}

void SpeechPlayer::finish(const QString& error)
{
    const quint64 serial = m_stream->utterance;
    m_sink->end();
    m_timer.stop();
    m_stream.reset();
    m_pending.clear();
    m_pendingOffset = 0;
    m_words.clear();
    m_nextWord = 0;
    emit finished(serial, error);
}
