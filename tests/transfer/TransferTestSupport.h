#pragma once

#include "TTransfer.h"
#include "../translate/QtPrinting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

// One application object for the whole test program (the run processes messages).
inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "transfer-test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

// Starts the component's run and waits for its end; False when it did not end within two minutes.
[[nodiscard]] inline bool runToEnd(TTransfer& transfer)
{
    QSignalSpy ended(&transfer, &TTransfer::finished);
    transfer.Execute();
    return ended.wait(120000);
}

inline void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data);
}

inline QByteArray readFile(const QString& path)
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
    void attach(TTransfer& t)
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
        t.OnURLNotFound = [this](TTransfer*, const QString& url) {
            lines << QStringLiteral("URLNotFound %1").arg(url);
        };
        t.OnError = [this](TTransfer*, int code) { lines << QStringLiteral("Error %1").arg(code); };
        t.OnErrorInfo = [this](TTransfer*, int code, const QString& info) {
            lines << QStringLiteral("ErrorInfo %1 %2").arg(code).arg(info);
        };
        t.OnConnectError = [this](TTransfer*) { lines << "ConnectError"; };
        t.OnCopyCancel = [this](TTransfer*) { lines << "Cancel"; };
        t.OnCopyDone = [this](TTransfer*) { lines << "Done"; };
    }
};

// Symbolic links planted in a target folder, pointing out of it: a download
// or copy replaces such a link (never writes through it), counts it as an
// existing file for the overwrite question and the unique-name rule, and a
// transfer that breaks off leaves what it points to alone.
class PlantedLinks {
public:
    // Adds a job that fetches the same content under the given target name.
    using AddJob = std::function<TTransferItem*(TTransfer&, const QString& targetName)>;

    PlantedLinks()
    {
        QDir(m_dir.path()).mkdir("tgt");
        QDir(m_dir.path()).mkdir("outside");
        writeFile(outside("kept"), "precious");
        for (const auto& [name, to] : {std::pair{"dangling.bin", "new"},
                                       {"existing.bin", "kept"},
                                       {"refused.bin", "kept"},
                                       {"unique.bin", "kept"},
                                       {"unique(1).bin", "new"},
                                       {"broken.bin", "kept"}})
            QFile::link(outside(to), target() + "/" + name);
    }
    QString target() const { return m_dir.filePath("tgt"); }
    QString outside(const QString& name) const { return m_dir.filePath("outside/" + name); }

    // addBroken fetches something that breaks off half-way.
    void check(TTransfer& transfer, const AddJob& add, const AddJob& addBroken, const QByteArray& content)
    {
        QStringList asked;
        transfer.OnCopyOverWrite = [&](TTransfer*, const QString& path, bool& allow) {
            asked << QFileInfo(path).fileName();
            allow = !path.endsWith("refused.bin");
        };
        transfer.Items.Clear();
        for (const char* name : {"dangling.bin", "existing.bin", "refused.bin"})
            add(transfer, name);
        EXPECT_TRUE(runToEnd(transfer));
        EXPECT_TRUE(transfer.Items[0].Success && transfer.Items[1].Success && !transfer.Items[2].Success);
        EXPECT_EQ(asked, QStringList({"dangling.bin", "existing.bin", "refused.bin"}));
        for (const char* name : {"dangling.bin", "existing.bin"}) {
            EXPECT_FALSE(QFileInfo(target() + "/" + name).isSymLink()) << name;
            EXPECT_EQ(readFile(target() + "/" + name), content) << name;
        }
        EXPECT_TRUE(QFileInfo(target() + "/refused.bin").isSymLink());

        transfer.Items.Clear();
        transfer.CreateUniqueFilenames = true;
        add(transfer, "unique.bin");
        EXPECT_TRUE(runToEnd(transfer));
        transfer.CreateUniqueFilenames = false;
        EXPECT_EQ(readFile(target() + "/unique(2).bin"), content);

        transfer.Items.Clear();
        addBroken(transfer, "broken.bin");
        EXPECT_TRUE(runToEnd(transfer));
        EXPECT_FALSE(transfer.Items[0].Success);

        // Nothing outside changed, and no piece of a transfer was left behind.
        EXPECT_EQ(QDir(m_dir.filePath("outside")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                  QStringList{"kept"});
        EXPECT_EQ(readFile(outside("kept")), QByteArray("precious"));
        EXPECT_EQ(
            QDir(target()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden, QDir::Name),
            QStringList({"broken.bin", "dangling.bin", "existing.bin", "refused.bin", "unique(1).bin", "unique(2).bin",
                         "unique.bin"}));
        transfer.OnCopyOverWrite = nullptr;
    }

private:
    QTemporaryDir m_dir;
};
