#pragma once

#include <QDir>
#include <QFile>
#include <QString>

// A Windows folder holding what a window installs at start-up, as the component packages
// put it there: the Agent core, the four characters the build draws and the speech
// runtime. A window opened on it fetches nothing.
inline void equipWindowsFolder(const QString& windows)
{
    QDir().mkpath(windows + QStringLiteral("/msagent/chars"));
    QDir().mkpath(windows + QStringLiteral("/speech"));
    for (const char* file : {"/msagent/agentsvr.exe", "/speech/speech.dll"}) {
        QFile installed(windows + QLatin1String(file));
        installed.open(QIODevice::WriteOnly);
    }
    for (const char* name : {"Merlin", "Genie", "Peedy", "Robby"})
        QFile::copy(QStringLiteral(LINGUARO_BINARY_DIR "/chars/") + QLatin1String(name) + QStringLiteral(".acs"),
                    windows + QStringLiteral("/msagent/chars/") + QLatin1String(name) + QStringLiteral(".acs"));
}
