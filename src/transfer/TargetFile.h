#pragma once

#include <QFile>
#include <QString>

// The file a download or copy writes. The data goes to a new file beside the
// target, which takes the target's name only once it is complete: whatever
// was planted at that name (a symbolic link above all) is replaced, never
// written through, and a transfer that is given up leaves it as it was.
class TargetFile {
public:
    TargetFile() = default;
    ~TargetFile();  // an unfinished file is removed
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    // False when the file cannot be created (the folder is missing or not
    // writable, or a folder has the target's name).
    bool open(const QString& path, QIODevice::OpenMode extraMode = {});
    qint64 write(const char* data, qint64 size);
    // Puts the written file in the target's place; False when writing it out failed.
    bool commit();
    // Removes what was written; the target stays as it was.
    void discard();
    // Why the last Open or Commit failed, in the system's words ("No space left on device").
    QString errorString() const { return m_error; }

private:
    void failed(int error);
    void keepReason();

    QFile m_file;
    QString m_path;
    QString m_temporary;
    QString m_error;
};
