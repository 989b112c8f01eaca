#pragma once

#include "PcmSink.h"

#include <QElapsedTimer>

// Plays nothing but consumes the samples at the pace a sound card would, so
// words are announced and utterances end on the same clock with or without
// one. A pace of 2 consumes two seconds of audio a second; 0 takes
// everything at once (for rendering to files only).
class SilentPcmSink : public PcmSink {
public:
    SilentPcmSink(int sampleRate, double pace = 1.0);

    bool begin() override;
    // Starts with `frames` already queued: what a failed sound card was still to play.
    void beginQueued(qint64 frames);
    qint64 write(const char* data, qint64 bytes) override;
    qint64 playedFrames() override;
    void end() override;
    bool failed() const override { return false; }

private:
    void advance();

    int m_sampleRate;
    double m_pace;
    qint64 m_capacityFrames;
    qint64 m_written = 0;
    qint64 m_played = 0;
    double m_playedPart = 0;  // the fraction of a frame the clock has gone past m_played
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
};
