// Local and network-share copies, and what a full disk does to copies and downloads.
#include "TTransfer.h"
#include "TestHttpServer.h"
#include "TransferNames.h"
#include "TransferTestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {
class FileTransfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApplication();
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkdir("src");
        log.attach(transfer);
    }
    QString src(const QString& name) const { return dir.filePath("src/" + name); }
    QString out(const QString& name) const { return dir.filePath("out/" + name); }
    TTransferItem* addCopy(const QString& url, const QString& targetDir = QString())
    {
        TTransferItem* item = transfer.Items.Add();
        item->Protocol = tpFile;
        item->URL = url;
        item->TargetDir = targetDir.isEmpty() ? dir.filePath("out") : targetDir;
        return item;
    }
    QStringList errorLines() const { return log.lines.filter(QRegularExpression("^(Error|NoNewFile|ConnectError)")); }

    QTemporaryDir dir;
    TTransfer transfer;
    EventLog log;
};

// The size limit the child tests run under (bytes).
constexpr rlim_t ChildFileLimit = 5000;
}  // namespace

TEST_F(FileTransfer, CopiesContentAndShowsTheSourceFolder)
{
    const QByteArray content = QByteArray(50000, 'z') + "end";
    writeFile(src("a.txt"), content);
    addCopy(src("a.txt"));
    QString fileLine, progressLine;
    transfer.OnFileDone = [&](TTransfer* sender, int) {
        fileLine = sender->Dialog()->FileLine;
        progressLine = sender->Dialog()->ProgressLine;
    };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(out("a.txt")), content);
    EXPECT_EQ(fileLine, "File : a.txt from " + dir.filePath("src/"));
    EXPECT_EQ(progressLine, "Progress : 50.00 Kb of 50.00 Kb");
}

TEST_F(FileTransfer, EmptySourceGivesAnEmptyTargetAndAFullBar)
{
    writeFile(src("empty.txt"), "");
    addCopy(src("empty.txt"));
    int position = -1;
    QString progressLine;
    transfer.OnCopyProgress = [&](TTransfer* sender, int, quint32, quint32) {
        position = sender->Dialog()->Position;
        progressLine = sender->Dialog()->ProgressLine;
    };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_TRUE(QFileInfo::exists(out("empty.txt")));
    EXPECT_EQ(position, 100);
    EXPECT_EQ(progressLine, "Progress : 0 bytes of 0 bytes");
}

TEST_F(FileTransfer, FilePrefixInAnyCaseIsRemoved)
{
    writeFile(src("a.txt"), "one");
    addCopy("FILE://" + src("a.txt"), dir.filePath("upper"));
    addCopy("file://" + src("a.txt"), dir.filePath("lower"));
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_TRUE(transfer.Items[1].Success);
    EXPECT_EQ(readFile(dir.filePath("upper/a.txt")), "one");
    EXPECT_EQ(readFile(dir.filePath("lower/a.txt")), "one");
}

TEST_F(FileTransfer, IdenticalFilesAreRefusedAndKeptIntact)
{
    writeFile(src("a.txt"), "keep me");
    addCopy(src("a.txt"), dir.filePath("src"));
    // Another spelling of the same file is the same file.
    addCopy(dir.filePath("src/./a.txt"), dir.filePath("src//"));
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(errorLines(),
              QStringList({"Error 0", "ErrorInfo 0 Cannot copy identical files " + src("a.txt"), "Error 0",
                           "ErrorInfo 0 Cannot copy identical files " + dir.filePath("src/./a.txt")}));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_FALSE(transfer.Items[1].Success);
    EXPECT_EQ(readFile(src("a.txt")), "keep me");
}

TEST_F(FileTransfer, NamesDifferingInCaseAreDifferentFiles)
{
    writeFile(src("A.txt"), "upper");
    TTransferItem* item = addCopy(src("A.txt"), dir.filePath("src"));
    item->TargetFilename = "a.txt";
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(src("a.txt")), "upper");
}

TEST_F(FileTransfer, SourceProblems)
{
    addCopy(src("missing.txt"));
    addCopy(dir.filePath("src"));
    ASSERT_EQ(mkfifo(QFile::encodeName(src("pipe")).constData(), 0600), 0);
    addCopy(src("pipe"));
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(errorLines(), QStringList({"Error 1", "ErrorInfo 1 Cannot open source file " + src("missing.txt"),
                                         "Error 1", "ErrorInfo 1 Cannot open source file " + dir.filePath("src"),
                                         "Error 2", "ErrorInfo 2 Zero length source file " + src("pipe")}));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(transfer.Items[i].Success);
}

TEST_F(FileTransfer, TargetThatCannotBeCreated)
{
    writeFile(src("a.txt"), "x");
    writeFile(dir.filePath("plain"), "x");
    addCopy(src("a.txt"), dir.filePath("plain/sub"));
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(errorLines(),
              QStringList({"Error 3", "ErrorInfo 3 Cannot create target file " + dir.filePath("plain/sub/a.txt")}));
}

TEST_F(FileTransfer, CopyNewerOnlyComparesWithTheSourceDate)
{
    writeFile(src("a.txt"), "x");
    const double sourceDate = TransferNames::dateTimeFromLocal(QFileInfo(src("a.txt")).lastModified());
    TTransferItem* skipped = addCopy(src("a.txt"));
    skipped->CopyNewerOnly = true;
    skipped->FileDate = sourceDate + 1;
    TTransferItem* copied = addCopy(src("a.txt"), dir.filePath("second"));
    copied->CopyNewerOnly = true;
    copied->FileDate = sourceDate - 1;
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(errorLines(), QStringList({"NoNewFile " + src("a.txt")}));
    EXPECT_TRUE(transfer.Items[0].NoNewFile);
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_NEAR(transfer.Items[0].NewFileDate, sourceDate, 1e-9);
    EXPECT_FALSE(QFileInfo::exists(out("a.txt")));
    EXPECT_TRUE(transfer.Items[1].Success);
    EXPECT_NEAR(transfer.Items[1].NewFileDate, sourceDate, 1e-9);
}

TEST_F(FileTransfer, OverwriteRefusedOrUnique)
{
    writeFile(src("a.txt"), "new");
    QDir(dir.path()).mkdir("out");
    writeFile(out("a.txt"), "old");
    addCopy(src("a.txt"));
    transfer.OnCopyOverWrite = [](TTransfer*, const QString&, bool& allow) { allow = false; };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(out("a.txt")), "old");
    transfer.OnCopyOverWrite = nullptr;
    transfer.CreateUniqueFilenames = true;
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(readFile(out("a(1).txt")), "new");
    EXPECT_EQ(readFile(out("a.txt")), "old");
}

TEST_F(FileTransfer, PlantedLinksAreReplacedNeverFollowed)
{
    PlantedLinks links;
    writeFile(src("src.bin"), "copied content");
    const auto job = [&](const QString& source) {
        return [&, source](TTransfer&, const QString& name) {
            TTransferItem* item = addCopy(source, links.target());
            item->TargetFilename = name;
            return item;
        };
    };
    // A copy that cannot go on: its source is a folder.
    links.check(transfer, job(src("src.bin")), job(dir.filePath("src")), "copied content");
}

TEST_F(FileTransfer, ShareThatCannotBeConnected)
{
    addCopy("a.txt")->FTPHost = "\\\\127.0.0.1\\nosuchshare";
    QString fileLine;
    transfer.OnFileDone = [&](TTransfer* sender, int) { fileLine = sender->Dialog()->FileLine; };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_FALSE(transfer.Items[0].Success);
    // Connecting failed, and so did the forced disconnection after it.
    EXPECT_EQ(errorLines(), QStringList({"ConnectError", "ConnectError"}));
    EXPECT_EQ(fileLine, "File : a.txt from \\\\127.0.0.1\\nosuchshare");
}

TEST_F(FileTransfer, ShareGivenAsAMountedFolder)
{
    QDir(dir.path()).mkpath("share/docs");
    writeFile(dir.filePath("share/docs/a.txt"), "shared");
    addCopy("docs/a.txt")->FTPHost = dir.filePath("share");
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(out("a.txt")), "shared");
}

// Runs one of the FullDisk tests in a child process whose files may not grow
// past ChildFileLimit bytes.
static void runInChild(const QString& test, const QString& folder)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TRANSFER_FULL_DISK_DIR", folder);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=FullDisk." + test});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
}

static QString childFolder()
{
    const QString folder = qEnvironmentVariable("TRANSFER_FULL_DISK_DIR");
    if (!folder.isEmpty()) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{ChildFileLimit, ChildFileLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    return folder;
}

TEST(FullDisk, LocalCopyReportsTheShortWrite)
{
    const QString folder = childFolder();
    if (folder.isEmpty())
        GTEST_SKIP() << "runs only as the child of FileTransfer.FullDiskCopyAndDownload";
    ensureApplication();
    TTransfer transfer;
    EventLog log;
    log.attach(transfer);
    TTransferItem* item = transfer.Items.Add();
    item->Protocol = tpFile;
    item->URL = folder + "/big.bin";
    item->TargetDir = folder + "/out";
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_TRUE(log.lines.contains("Error 5"));
    EXPECT_TRUE(log.lines.contains("ErrorInfo 5 Error writing to destination file " + folder + "/out/big.bin"));
}

TEST(FullDisk, DownloadWriteFailureLeavesTheRun)
{
    const QString folder = childFolder();
    if (folder.isEmpty())
        GTEST_SKIP() << "runs only as the child of FileTransfer.FullDiskCopyAndDownload";
    ensureApplication();
    TestHttpServer server;
    TTransfer transfer;
    bool done = false;
    transfer.OnCopyDone = [&](TTransfer*) { done = true; };
    TTransferItem* item = transfer.Items.Add();
    item->URL = QString::fromStdString(server.url("/files/big.bin"));
    item->TargetDir = folder + "/out";
    EXPECT_TRUE(runToEnd(transfer));
    // the run breaks off with the reason and without OnCopyDone, and a new run can start
    EXPECT_EQ(transfer.Failure(), "Error writing to destination file " + folder + "/out/big.bin");
    EXPECT_FALSE(done);
    EXPECT_FALSE(QFileInfo::exists(folder + "/out/big.bin"));
    EXPECT_EQ(transfer.Dialog(), nullptr);
    EXPECT_FALSE(transfer.Running());
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.ThreadDone());
}

TEST_F(FileTransfer, FullDiskCopyAndDownload)
{
    writeFile(dir.filePath("big.bin"), QByteArray(20000, 'b'));
    runInChild("LocalCopyReportsTheShortWrite", dir.path());
    runInChild("DownloadWriteFailureLeavesTheRun", dir.path());
}
