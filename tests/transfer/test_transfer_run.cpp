// The run loop: event order, ordinals, cancel, inactive jobs, the finished
// dialog state and the thread path. Local copies serve as jobs here.
#include "TTransfer.h"
#include "TransferTestSupport.h"

#include <QDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {
class TransferRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApplication();
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkdir("src");
        QDir(m_dir.path()).mkdir("out");
    }
    QString source(const QString& name, int size)
    {
        const QString path = m_dir.filePath("src/" + name);
        writeFile(path, QByteArray(size, 'a'));
        return path;
    }
    TTransferItem* addCopy(const QString& source)
    {
        TTransferItem* item = transfer.Items.Add();
        item->Protocol = tpFile;
        item->URL = source;
        item->TargetDir = m_dir.filePath("out");
        return item;
    }

    QTemporaryDir m_dir;
    TTransfer transfer;
    EventLog log;
};
}  // namespace

TEST_F(TransferRun, SuccessfulJobFiresItsEventsInOrder)
{
    addCopy(source("a.txt", 40000));
    log.attach(transfer);
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(log.lines, QStringList({"BeforeDialogShow", "FileStart 0", "Progress 1", "FileDone 0", "Done"}));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_FALSE(transfer.Items[0].Cancelled);
    EXPECT_EQ(log.lastSize, 40000u);
    EXPECT_EQ(log.lastTotal, 40000u);
    // 40000 bytes in 16384-byte blocks, then the final empty read.
    EXPECT_EQ(log.progressCount, 4);
    EXPECT_EQ(transfer.Dialog(), nullptr);
    EXPECT_TRUE(transfer.Finished());
}

TEST_F(TransferRun, FailingJobReportsThenGoesOnWithTheNext)
{
    addCopy(m_dir.filePath("src/missing.txt"));
    addCopy(source("b.txt", 10));
    log.attach(transfer);
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(log.lines, QStringList({"BeforeDialogShow", "FileStart 0", "Error 1",
                                      "ErrorInfo 1 Cannot open source file " + m_dir.filePath("src/missing.txt"),
                                      "FileDone 0", "FileStart 1", "Progress 2", "FileDone 1", "Done"}));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_TRUE(transfer.Items[1].Success);
}

TEST_F(TransferRun, CancelDuringTheSecondOfThreeJobs)
{
    addCopy(source("a.txt", 100));
    addCopy(source("b.txt", 200000));
    addCopy(source("c.txt", 100));
    log.attach(transfer);
    const auto progress = transfer.OnCopyProgress;
    transfer.OnCopyProgress = [&](TTransfer* sender, int ordinal, quint32 size, quint32 total) {
        progress(sender, ordinal, size, total);
        if (ordinal == 2)
            sender->CancelClick();
    };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(log.lines, QStringList({"BeforeDialogShow", "FileStart 0", "Progress 1", "FileDone 0", "FileStart 1",
                                      "Progress 2", "Cancel", "Done"}));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_TRUE(transfer.Items[1].Cancelled);
    EXPECT_FALSE(transfer.Items[1].Success);
    EXPECT_FALSE(transfer.Items[2].Success);
    EXPECT_FALSE(transfer.Items[2].Cancelled);
    EXPECT_FALSE(QFile::exists(m_dir.filePath("out/c.txt")));
    // The cancelled copy keeps what it had written.
    EXPECT_EQ(QFileInfo(m_dir.filePath("out/b.txt")).size(), 16384);
}

TEST_F(TransferRun, InactiveJobsAreSkippedAndNotCounted)
{
    addCopy(source("a.txt", 10));
    addCopy(source("b.txt", 10))->Active = false;
    addCopy(source("c.txt", 10));
    log.attach(transfer);
    QStringList fileLines;
    transfer.OnFileDone = [&](TTransfer* sender, int idx) {
        log.lines << QStringLiteral("FileDone %1").arg(idx);
        fileLines << sender->Dialog()->FileLine;
    };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(log.lines, QStringList({"BeforeDialogShow", "FileStart 0", "Progress 1", "FileDone 0", "FileStart 2",
                                      "Progress 2", "FileDone 2", "Done"}));
    const QString srcDir = m_dir.filePath("src/");
    EXPECT_EQ(fileLines, QStringList({"File : 1 of 2 : a.txt from " + srcDir, "File : 2 of 2 : c.txt from " + srcDir}));
    EXPECT_FALSE(QFile::exists(m_dir.filePath("out/b.txt")));
}

TEST_F(TransferRun, SingleJobHasNoPrefixButTwoItemsWithOneInactiveDo)
{
    addCopy(source("a.txt", 10));
    QString line;
    transfer.OnFileDone = [&](TTransfer* sender, int) { line = sender->Dialog()->FileLine; };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(line, "File : a.txt from " + m_dir.filePath("src/"));

    addCopy(source("b.txt", 10))->Active = false;
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(line, "File : 1 of 1 : a.txt from " + m_dir.filePath("src/"));
}

TEST_F(TransferRun, EmptyListStillBuildsTheDialogAndFinishes)
{
    log.attach(transfer);
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(log.lines, QStringList({"BeforeDialogShow", "Done"}));
    addCopy(source("a.txt", 10))->Active = false;
    log.lines.clear();
    transfer.ShowDialog = false;
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(log.lines, QStringList({"Done"}));
}

TEST_F(TransferRun, OpenButtonsKeepTheDialogInTheFinishedState)
{
    addCopy(source("a.txt", 10));
    transfer.ShowOpenFile = true;
    transfer.ShowOpenFolder = true;
    log.attach(transfer);
    EXPECT_TRUE(runToEnd(transfer));
    TTransferProgressView* dialog = transfer.Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->Finished);
    EXPECT_FALSE(dialog->Animating);
    EXPECT_EQ(dialog->CancelCaption, "Close");
    EXPECT_TRUE(dialog->OpenFileEnabled);
    EXPECT_TRUE(dialog->OpenFolderEnabled);
    EXPECT_EQ(transfer.LastTargetPath(), m_dir.filePath("out/a.txt"));
    EXPECT_EQ(transfer.LastTargetDir(), m_dir.filePath("out"));
    EXPECT_EQ(log.lines.last(), "Done");

    // Close is allowed now; a new run builds a new dialog.
    transfer.CancelClick();
    EXPECT_FALSE(dialog->Visible);
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_NE(transfer.Dialog(), nullptr);
}

TEST_F(TransferRun, CancelledRunEnablesNoOpenButton)
{
    addCopy(source("a.txt", 100000));
    transfer.ShowOpenFile = true;
    transfer.OnCopyProgress = [](TTransfer* sender, int, quint32, quint32) { sender->CancelClick(); };
    EXPECT_TRUE(runToEnd(transfer));
    ASSERT_NE(transfer.Dialog(), nullptr);
    EXPECT_FALSE(transfer.Dialog()->OpenFileEnabled);
    EXPECT_EQ(transfer.Dialog()->CancelCaption, "Close");
}

TEST_F(TransferRun, DialogMayCloseOnlyWhenAllowed)
{
    addCopy(source("a.txt", 10));
    bool mayCloseWhileRunning = true;
    transfer.OnFileStart = [&](TTransfer* sender, int) { mayCloseWhileRunning = sender->DialogMayClose(); };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_FALSE(mayCloseWhileRunning);
    transfer.DlgShowCloseBtn = true;
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(mayCloseWhileRunning);
}

TEST_F(TransferRun, CompletionCaptionAndDateResults)
{
    addCopy(source("a.txt", 10))->FileDate = 123.5;
    transfer.ShowCompletion = true;
    QString caption;
    transfer.OnFileDone = [&](TTransfer* sender, int) { caption = sender->Dialog()->Caption; };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(caption, "Copying : 100% completed");
    // No date check ran: the job's own date comes back.
    EXPECT_EQ(transfer.Items[0].NewFileDate, 123.5);
    EXPECT_FALSE(transfer.Items[0].NoNewFile);
}

TEST_F(TransferRun, ASecondRunInsideARunIsRefused)
{
    addCopy(source("a.txt", 10));
    int starts = 0;
    transfer.OnFileStart = [&](TTransfer* sender, int) {
        ++starts;
        sender->Execute();
    };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(starts, 1);
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_FALSE(transfer.Running());
}

TEST_F(TransferRun, ExecuteReturnsAtOnceAndTheEventsComeOnTheOwnersThread)
{
    addCopy(source("a.txt", 50000));
    Qt::HANDLE eventThread = nullptr;
    transfer.OnFileStart = [&](TTransfer*, int) { eventThread = QThread::currentThreadId(); };
    QSignalSpy ended(&transfer, &TTransfer::finished);
    transfer.Execute();
    // the run waits for its first handler, which only the owner's event loop can call
    EXPECT_TRUE(transfer.Running());
    EXPECT_EQ(eventThread, nullptr);
    ASSERT_TRUE(ended.wait(120000)) << "the run did not end";
    EXPECT_TRUE(transfer.ThreadDone());
    EXPECT_EQ(eventThread, QThread::currentThreadId());
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(m_dir.filePath("out/a.txt")).size(), 50000);
}

// The component may go while its run waits for a handler: the run winds down
// at once, without the handler and without finishing the copy.
TEST_F(TransferRun, DestroyedWhileRunning)
{
    constexpr int Size = 4 * 1024 * 1024;
    auto owned = std::make_unique<TTransfer>();
    TTransferItem* item = owned->Items.Add();
    item->Protocol = tpFile;
    item->URL = source("big.txt", Size);
    item->TargetDir = m_dir.filePath("out");
    bool started = false;
    owned->OnFileStart = [&](TTransfer*, int) { started = true; };
    owned->Execute();
    owned.reset();
    EXPECT_FALSE(started);
    EXPECT_LT(QFileInfo(m_dir.filePath("out/big.txt")).size(), Size);
}

TEST_F(TransferRun, UnbuiltKindsReportFailureWithoutEvents)
{
    TTransferItem* item = transfer.Items.Add();
    item->Protocol = tpFtpTest;
    item->FTPHost = "127.0.0.1";
    log.attach(transfer);
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_EQ(log.lines.first(), "BeforeDialogShow");
    EXPECT_EQ(log.lines.last(), "Done");
}
