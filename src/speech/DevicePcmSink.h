#pragma once

#include "PcmSink.h"

#include <QAudioDevice>

#include <memory>

class QAudioSink;
class QIODevice;

// The sound card through Qt Multimedia: a QAudioSink fed in push mode. Lives
// in the thread that plays (the sink needs that thread's event loop).
class DevicePcmSink : public PcmSink {
public:
    DevicePcmSink(const QAudioDevice& device, int sampleRate);
    ~DevicePcmSink() override;

    bool begin() override;
    qint64 write(const char* data, qint64 bytes) override;
    qint64 playedFrames() override;
    void end() override;
    bool failed() const override;

private:
    QAudioDevice m_device;
    int m_sampleRate;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_io = nullptr;
    bool m_failed = false;
};
