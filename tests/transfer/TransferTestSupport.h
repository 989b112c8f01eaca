#pragma once

#include "TTransfer.h"
#include "../translate/QtPrinting.h"

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// One application object for the whole test program (the run processes messages).
inline void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "transfer-test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

inline void WriteFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data);
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Records every event of a component as one line each, in order.
struct EventLog {
    QStringList lines;
    quint32 lastSize = 0;
    quint32 lastTotal = 0;
    int progressCount = 0;

    // Progress events are many; only the first of each ordinal goes into the lines.
    void Attach(TTransfer& t)
    {
        t.OnBeforeDialogShow = [this](TTransfer*, QObject*) { lines << "BeforeDialogShow"; };
        t.OnFileStart = [this](TTransfer*, int i) { lines << QStringLiteral("FileStart %1").arg(i); };
        t.OnFileDone = [this](TTransfer*, int i) { lines << QStringLiteral("FileDone %1").arg(i); };
        t.OnCopyProgress = [this](TTransfer*, int ordinal, quint32 size, quint32 total) {
            const QString line = QStringLiteral("Progress %1").arg(ordinal);
            if (lines.isEmpty() || lines.last() != line)
                lines << line;
            lastSize = size;
            lastTotal = total;
            ++progressCount;
        };
        t.OnNoNewFileFound = [this](TTransfer*, const QString& name, double, double) {
            lines << QStringLiteral("NoNewFile %1").arg(name);
        };
        t.OnURLNotFound = [this](TTransfer*, const QString& url) { lines << QStringLiteral("URLNotFound %1").arg(url); };
        t.OnError = [this](TTransfer*, int code) { lines << QStringLiteral("Error %1").arg(code); };
        t.OnErrorInfo = [this](TTransfer*, int code, const QString& info) {
            lines << QStringLiteral("ErrorInfo %1 %2").arg(code).arg(info);
        };
        t.OnConnectError = [this](TTransfer*) { lines << "ConnectError"; };
        t.OnCopyCancel = [this](TTransfer*) { lines << "Cancel"; };
        t.OnCopyDone = [this](TTransfer*) { lines << "Done"; };
    }
};
