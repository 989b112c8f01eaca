#pragma once

#include <QString>

// A network share named the Windows way ("\\server\share"), or as
// "//server/share" or "smb://server/share", connected with the desktop's own
// means (gio) and reached through its local mount folder.
class NetworkShare {
public:
    explicit NetworkShare(const QString& name);

    // The share's address for the desktop ("smb://server/share"); empty for a local folder.
    QString uri() const { return m_uri; }
    // Where the share's files are reached locally once connected.
    QString localPath() const;
    bool connect(const QString& user, const QString& password);
    bool disconnect();

private:
    QString m_name;
    QString m_uri;
};
