#pragma once

#include <QString>

#include <cstdint>

// A 16-bit mono PCM WAV file being written: a RIFF header whose sizes are
// filled in when the file is closed, then the samples as they come.
class WavFile {
public:
    WavFile() = default;
    ~WavFile();
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    // Creates a new file in `folder` (made when missing) under a fresh name
    // that tells the time, the process and `tag`. Never opens an existing
    // file or a symbolic link. False when it cannot; the reason is in error().
    bool create(const QString& folder, const QString& tag, int sampleRate);
    void append(const int16_t* samples, int count);
    // Writes the sizes into the header and closes; also done on destruction.
    void close();

    bool isOpen() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    QString error() const { return m_error; }

private:
    void fail(const QString& reason);

    int m_fd = -1;
    QString m_path;
    QString m_error;
    uint32_t m_dataBytes = 0;
};
