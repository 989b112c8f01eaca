#include "DevicePcmSink.h"

#include <QAudioFormat>
#include <QAudioSink>

#include <algorithm>

namespace {

bool broken(QAudio::Error error)
{
    return error == QAudio::OpenError || error == QAudio::IOError || error == QAudio::FatalError;
}

}  // namespace

DevicePcmSink::DevicePcmSink(const QAudioDevice& device, int sampleRate) : m_device(device), m_sampleRate(sampleRate)
{
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    m_sink = std::make_unique<QAudioSink>(m_device, format);
    // a fifth of a second: stop is heard at once, and playback starts as soon
    // as that much is queued even for the shortest word
    m_sink->setBufferSize(qsizetype(sampleRate) * 2 / 5);
}

DevicePcmSink::~DevicePcmSink() { end(); }

bool DevicePcmSink::begin()
{
    m_failed = false;
    m_io = m_sink->start();
    if (!m_io || broken(m_sink->error())) {
        m_failed = true;
        m_io = nullptr;
        return false;
    }
    return true;
}

qint64 DevicePcmSink::write(const char* data, qint64 bytes)
{
    if (!m_io || failed())
        return 0;
    const qint64 room = std::min<qint64>(bytes, m_sink->bytesFree()) & ~qint64(1);
    if (room <= 0)
        return 0;
    const qint64 written = m_io->write(data, room);
    if (written < 0 || broken(m_sink->error())) {
        m_failed = true;
        return 0;
    }
    return written & ~qint64(1);
}

qint64 DevicePcmSink::playedFrames()
{
    if (!m_io)
        return 0;
    return m_sink->processedUSecs() * m_sampleRate / 1000000;
}

void DevicePcmSink::end()
{
    if (m_io)
        m_sink->stop();
    m_io = nullptr;
}

bool DevicePcmSink::failed() const { return m_failed || broken(m_sink->error()); }
