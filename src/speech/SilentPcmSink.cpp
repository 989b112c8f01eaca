#include "SilentPcmSink.h"

#include <algorithm>

SilentPcmSink::SilentPcmSink(int sampleRate, double pace)
    : m_sampleRate(sampleRate), m_pace(pace)
      // as much as a sound card's buffer holds: a fifth of a second
      ,
      m_capacityFrames(std::max(1, sampleRate / 5))
{}

bool SilentPcmSink::begin()
{
    beginQueued(0);
    return true;
}

void SilentPcmSink::beginQueued(qint64 frames)
{
    m_written = frames;
    m_played = 0;
    m_playedPart = 0;
    m_clock.start();
    m_lastNs = 0;
}

void SilentPcmSink::advance()
{
    const qint64 now = m_clock.nsecsElapsed();
    const qint64 elapsed = now - m_lastNs;
    m_lastNs = now;
    if (m_pace <= 0) {
        m_played = m_written;
        return;
    }
    // the clock only runs while there is something to play, as a card's does
    m_playedPart += double(elapsed) * 1e-9 * m_sampleRate * m_pace;
    const qint64 whole = qint64(m_playedPart);
    m_playedPart -= double(whole);
    m_played += whole;
    if (m_played >= m_written) {
        m_played = m_written;
        m_playedPart = 0;
    }
}

qint64 SilentPcmSink::write(const char*, qint64 bytes)
{
    advance();
    qint64 frames = bytes / 2;
    if (m_pace > 0)
        frames = std::min(frames, m_capacityFrames - (m_written - m_played));
    if (frames <= 0)
        return 0;
    m_written += frames;
    return frames * 2;
}

qint64 SilentPcmSink::playedFrames()
{
    advance();
    return m_played;
}

void SilentPcmSink::end() { m_written = m_played; }
