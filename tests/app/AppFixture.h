#pragma once

#include "EquippedWindows.h"
#include "Folders.h"
#include "ScriptedPrompts.h"
#include "MainWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include <memory>

// A clean desktop for one window: its own configuration and data folders, an
// English locale, no proxy, scripted dialogs, and a Windows version that uses
// no character (the character and its components have tests of their own).
// The optional components are installed all the same, so that a test which
// pretends another version fetches nothing.
struct AppFixture {
    QTemporaryDir home;
    ScriptedPrompts prompts;

    AppFixture()
    {
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
        for (const char* name : {"http_proxy", "HTTP_PROXY", "LC_ALL", "LC_MESSAGES", "windir"})
            qunsetenv(name);
        qputenv("LINGUARO_WINVER", "nt 6.2 workstation");
        qputenv("LANG", "en_US.UTF-8");
        qputenv("LINGUARO_SERVICE_URL", ("http://127.0.0.1:" + QByteArray::number(closedPort()) + "/translate"));
        UserPrompts::setInstance(&prompts);
        // what start-up would install is there: the window fetches nothing
        equipWindowsFolder(Folders::windowsFolder());
        QCoreApplication::setApplicationName(QStringLiteral("Linguaro Translator"));
    }
    ~AppFixture() { UserPrompts::setInstance(nullptr); }

    QString storePath() const { return home.filePath("config/Brenmark/Linguaro.reg"); }

    void writeStore(const QByteArray& valueLines) const
    {
        QDir().mkpath(home.filePath("config/Brenmark"));
        QFile f(storePath());
        if (f.open(QIODevice::WriteOnly))
            f.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]\n" + valueLines);
    }

    QByteArray storeText() const
    {
        QFile f(storePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // A loopback port that nothing listens on: requests to it are refused at once.
    static quint16 closedPort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        return port;
    }
};
