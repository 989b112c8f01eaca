#pragma once

#include <QtGlobal>

// Where the samples of one utterance go, 16-bit mono at the engine's rate.
// Used from the playback thread only.
class PcmSink {
public:
    virtual ~PcmSink() = default;

    // Starts an utterance. False when the output cannot be used.
    virtual bool begin() = 0;
    // Takes as many of the bytes as fit now (whole frames) and returns that count.
    virtual qint64 write(const char* data, qint64 bytes) = 0;
    // Frames heard since begin().
    virtual qint64 playedFrames() = 0;
    // Silences at once and drops what was not heard yet.
    virtual void end() = 0;
    // The output broke down during the utterance.
    virtual bool failed() const = 0;
};
