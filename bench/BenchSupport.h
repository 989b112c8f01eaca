#pragma once

// What the benchmarks share: real English prose to translate, and the real
// translation service on a free loopback port.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace BenchSupport {

// The window's surroundings for a benchmark: the offscreen platform unless
// another is named, settings and data in `home`, no character and no session bus.
inline void plainDesktop(const QTemporaryDir& home)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    qputenv("LINGUARO_WINVER", "nt 6.2 workstation");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// A settings file that keeps the history but takes nothing from the translation
// memory, for benchmarks that translate the same text more than once against one
// service and mean to time the translation each time.
// False, having said so, when the file cannot be written.
inline bool noReuse(const QTemporaryDir& home)
{
    QDir().mkpath(home.filePath("config/Brenmark"));
    QFile store(home.filePath("config/Brenmark/Linguaro.reg"));
    if (store.open(QIODevice::WriteOnly)
        && store.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]\n"
                       "\"ReuseTranslations\"=dword:00000000\n")
               > 0)
        return true;
    std::fprintf(stderr, "cannot write the settings to %s\n", qPrintable(home.path()));
    return false;
}

// About `wanted` bytes of English prose: the licence texts in
// /usr/share/common-licenses, then /usr/share/doc/*/copyright; whole lines of UTF-8.
inline QByteArray englishProse(qsizetype wanted)
{
    QStringList files;
    const QDir licences(QStringLiteral("/usr/share/common-licenses"));
    for (const QString& name : licences.entryList(QDir::Files, QDir::Name))
        files << licences.filePath(name);
    const QDir docs(QStringLiteral("/usr/share/doc"));
    for (const QString& package : docs.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        files << docs.filePath(package + QStringLiteral("/copyright"));
    QByteArray text;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        text += file.readAll();
        text += '\n';
        if (text.size() >= wanted)
            break;
    }
    // end on a whole line, and keep only what decodes as UTF-8
    text.truncate(wanted);
    text.truncate(text.lastIndexOf('\n') + 1);
    return QString::fromUtf8(text).toUtf8();
}

// Starts linguaro-service with --port 0 and `arguments`; returns the address of
// its form once it listens, empty when it did not start.
inline QString startService(QProcess& service, const QString& program, const QStringList& arguments = {})
{
    service.setProgram(program);
    service.setArguments(QStringList{QStringLiteral("--port"), QStringLiteral("0")} + arguments);
    service.start();
    QByteArray banner;
    static const QRegularExpression listening(QStringLiteral("listening on (\\S+)"));
    for (QDeadlineTimer deadline(20000); !deadline.hasExpired() && service.state() != QProcess::NotRunning;) {
        service.waitForReadyRead(100);
        banner += service.readAllStandardOutput();
        const auto match = listening.match(QString::fromUtf8(banner));
        if (match.hasMatch())
            return match.captured(1);
    }
    return {};
}

}  // namespace BenchSupport
