#pragma once

// xdg-open as on a machine without a desktop session, its browser a script that
// writes down what it was given. Nothing of the desktop the tests run in takes
// part: the variables xdg-open tells a desktop by are cleared, the session bus is
// out of reach, and where Debian's mailcap is installed its run-mailcap reads the
// stand-in's own list instead of the machine's and the user's.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QUrl>

class StandInBrowser {
public:
    // folder: where the script and what it was given go; no blank in it, as $BROWSER is split at blanks
    explicit StandInBrowser(const QString& folder) : m_browsed(QDir(folder).filePath(QStringLiteral("browsed")))
    {
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
              "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "LXQT_SESSION_CONFIG", "DESKTOP"})
            qunsetenv(name);
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/no-session-bus");
        const QString browser = QDir(folder).filePath(QStringLiteral("browser"));
        write(browser, "#!/bin/sh\necho \"$1\" >> '" + m_browsed.toUtf8() + "'\n");
        QFile::setPermissions(browser, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("BROWSER", browser.toUtf8());
        const QString mailcap = QDir(folder).filePath(QStringLiteral("mailcap"));
        write(mailcap, "text/html; " + browser.toUtf8() + " %s\n");
        qputenv("MAILCAPS", mailcap.toUtf8());
    }

    // What the browser was given, in order. A local page is given by its address,
    // or by its path where run-mailcap takes local files: both show as the path.
    QStringList pages() const
    {
        QFile file(m_browsed);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList pages;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QUrl address(line);
            pages << (address.isLocalFile() ? address.toLocalFile() : line);
        }
        return pages;
    }

private:
    static void write(const QString& path, const QByteArray& content)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
    }

    QString m_browsed;
};
