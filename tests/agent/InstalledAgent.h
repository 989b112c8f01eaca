#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// A W folder ($windir) with the Agent core installed; names on disk are in
// another case than the program asks for.
struct InstalledAgent {
    QTemporaryDir dir;

    InstalledAgent()
    {
        qputenv("windir", dir.path().toUtf8());
        QDir(dir.path()).mkpath(QStringLiteral("MSAgent/Chars"));
        QFile core(dir.filePath(QStringLiteral("MSAgent/AgentSvr.exe")));
        core.open(QIODevice::WriteOnly);
    }
    ~InstalledAgent() { qunsetenv("windir"); }

    QString character(const QString& fileName) const
    {
        return dir.filePath(QStringLiteral("MSAgent/Chars/") + fileName);
    }
    void put(const QString& fileName, const QByteArray& bytes) const
    {
        QFile file(character(fileName));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    // One of the characters the build draws, as "<Name>.ACS".
    void install(const QString& name) const
    {
        QFile built(QStringLiteral(LINGUARO_BINARY_DIR "/chars/") + name + QStringLiteral(".acs"));
        QVERIFY2(built.open(QIODevice::ReadOnly), qPrintable(built.fileName()));
        put(name + QStringLiteral(".ACS"), built.readAll());
    }
};
