#pragma once

#include <QFile>
#include <QString>

// A file written whole or not at all, the one way the application replaces a
// file. The data goes to a new file beside the target, reaches the disk, and
// only then takes the target's name: a crash leaves the old file or the whole
// new one. Whatever was planted at that name (a symbolic link above all) is
// replaced, never written through, and a write that is given up leaves the
// target as it was.
class AtomicFile {
public:
    // Replace: a link at the name is replaced by the new file. Follow: the
    // link stays and the file it leads to is replaced, for a file of the user's
    // own that a managed folder of dotfiles links into place.
    enum class Link { Replace, Follow };

    AtomicFile() = default;
    ~AtomicFile();  // an unfinished file is removed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // False when the file cannot be created (the folder is missing or not
    // writable, or a folder has the target's name).
    bool open(const QString& path, QIODevice::OpenMode extraMode = {}, Link link = Link::Replace);
    qint64 write(const char* data, qint64 size);
    // The new file's permissions; by default a replaced file's are kept.
    bool setPermissions(QFileDevice::Permissions permissions);
    // Puts the written file in the target's place; false when writing it out failed.
    bool commit();
    // Removes what was written; the target stays as it was.
    void discard();
    // Why the last open, write or commit failed, in the system's words ("No space left on device").
    QString errorString() const { return m_error; }
    // The name the new file takes: the path opened, or where its link leads.
    QString target() const { return m_path; }

    // Where a chain of links from `path` ends; a chain that loops or goes on too long is not followed.
    static QString linkEnd(const QString& path);
    // Writes `bytes` as the whole file; empty on success, else the system's reason.
    static QString writeWhole(const QString& path, const QByteArray& bytes, Link link = Link::Replace);

private:
    void failed(int error);
    void keepReason();

    QFile m_file;
    QString m_path;
    QString m_temporary;
    QString m_error;
};
