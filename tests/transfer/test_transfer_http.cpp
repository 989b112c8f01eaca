// HTTP download and upload against a real server on 127.0.0.1.
#include "TTransfer.h"
#include "DownloadJob.h"
#include "TestHttpServer.h"
#include "TransferNames.h"
#include "TransferTestSupport.h"

#include <QDir>
#include <QRegularExpression>

#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {
QByteArray body(const std::string& name, size_t size = 10000)
{
    const std::string body = TestHttpServer::body(name, size);
    return QByteArray(body.data(), qsizetype(body.size()));
}

// A port on 127.0.0.1 that nobody listens on.
int closedPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

// Scripted answers to the login prompt.
struct LoginScript {
    QStringList captions;
    QList<QPair<QString, QString>> answers;  // an empty list answers Cancel
    LoginScript()
    {
        setLoginAsker([this](const QString& caption, QString& user, QString& password) {
            captions << caption;
            if (answers.isEmpty())
                return false;
            const auto answer = answers.takeFirst();
            user = answer.first;
            password = answer.second;
            return true;
        });
    }
    ~LoginScript() { setLoginAsker(nullptr); }
};

class HttpTransfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApplication();
        qunsetenv("http_proxy");
        qunsetenv("HTTP_PROXY");
        ASSERT_TRUE(dir.isValid());
        log.attach(transfer);
    }
    QString url(const std::string& path) const { return QString::fromStdString(server.url(path)); }
    QString out(const QString& name) const { return dir.filePath("out/" + name); }
    TTransferItem* addDownload(const QString& url)
    {
        TTransferItem* item = transfer.Items.Add();
        item->URL = url;
        item->TargetDir = dir.filePath("out");
        return item;
    }
    TTransferItem* addUpload(const std::string& path, const QByteArray& content, TTransferHTTPCommand verb)
    {
        QDir(dir.path()).mkdir("up");
        writeFile(dir.filePath("up/data.bin"), content);
        TTransferItem* item = transfer.Items.Add();
        item->Protocol = tpHttpUpload;
        item->HTTPCommand = verb;
        item->URL = url(path);
        item->TargetDir = dir.filePath("up");
        item->TargetFilename = "data.bin";
        return item;
    }
    QStringList errorLines() const { return log.lines.filter(QRegularExpression("^(Error|URLNotFound|NoNewFile)")); }

    TestHttpServer server;
    QTemporaryDir dir;
    TTransfer transfer;
    EventLog log;
};
}  // namespace

TEST_F(HttpTransfer, DownloadWithLengthAndDate)
{
    addDownload(url("/files/a.bin"));
    QString fileLine;
    transfer.OnFileDone = [&](TTransfer* sender, int) { fileLine = sender->Dialog()->FileLine; };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(out("a.bin")), body("a.bin"));
    EXPECT_EQ(log.lastSize, 10000u);
    EXPECT_EQ(log.lastTotal, 10000u);
    EXPECT_EQ(fileLine, QStringLiteral("File : a.bin from 127.0.0.1:%1").arg(server.port()));
    EXPECT_EQ(log.lines, QStringList({"BeforeDialogShow", "FileStart 0", "Progress 1", "Done"}));
}

TEST_F(HttpTransfer, DisplayNameAndTargetNameReplaceTheAddressName)
{
    TTransferItem* item = addDownload(url("/files/a.bin"));
    item->DisplayURL = "Setup program";
    item->TargetFilename = "renamed.bin";
    item->TargetDir = dir.filePath("deep/er/out");  // created on the way
    transfer.ShowServer = false;
    QString fileLine;
    transfer.OnCopyProgress = [&](TTransfer* sender, int, quint32, quint32) { fileLine = sender->Dialog()->FileLine; };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(fileLine, "File : Setup program");
    EXPECT_EQ(readFile(dir.filePath("deep/er/out/renamed.bin")), body("a.bin"));
}

TEST_F(HttpTransfer, WithoutLengthTheTotalIsUnknownOrExpected)
{
    addDownload(url("/nolength/n.bin"));
    QString progressLine, timeLine;
    int position = -1;
    transfer.OnCopyProgress = [&](TTransfer* sender, int, quint32 size, quint32 total) {
        log.lastSize = size;
        log.lastTotal = total;
        progressLine = sender->Dialog()->ProgressLine;
        timeLine = sender->Dialog()->TimeLine;
        position = sender->Dialog()->Position;
    };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(out("n.bin")), body("n.bin"));
    EXPECT_EQ(log.lastTotal, 0u);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(progressLine, "Progress : 10.00 Kb");
    EXPECT_EQ(timeLine, "Estimated time left : unknown");

    transfer.Items[0].ExpectedSize = 20000;
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(log.lastTotal, 20000u);
    EXPECT_EQ(position, 50);
    EXPECT_EQ(progressLine, "Progress : 10.00 Kb of 20.00 Kb");
}

TEST_F(HttpTransfer, EmptyBodyLeavesAnEmptyFileAndFails)
{
    addDownload(url("/empty.bin"));
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_TRUE(QFileInfo::exists(out("empty.bin")));
    EXPECT_EQ(QFileInfo(out("empty.bin")).size(), 0);
    EXPECT_TRUE(errorLines().isEmpty());
}

TEST_F(HttpTransfer, ErrorStatusesAreReported)
{
    addDownload(url("/missing.bin"));
    addDownload(url("/broken.bin"));
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(errorLines(), QStringList({"Error 404", "ErrorInfo 404 Returned http error code 404", "Error 500",
                                         "ErrorInfo 500 Returned http error code 500"}));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_FALSE(transfer.Items[1].Success);
    EXPECT_FALSE(QFileInfo::exists(out("missing.bin")));
    // A failing job still ends with OnFileDone.
    EXPECT_TRUE(log.lines.contains("FileDone 1"));
}

TEST_F(HttpTransfer, RefusedConnectionIsAnAddressNotFound)
{
    const QString url = QStringLiteral("http://127.0.0.1:%1/files/x.bin").arg(closedPort());
    addDownload(url);
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_EQ(errorLines(), QStringList({"URLNotFound " + url}));
    EXPECT_FALSE(QFileInfo::exists(out("x.bin")));
}

TEST_F(HttpTransfer, ProxyCredentialsAreNeitherShownNorHandedToHandlers)
{
    // Everything the user or a handler gets to see: prompt captions, file
    // lines, event texts. None of it may carry the proxy's password.
    LoginScript login;
    transfer.ProxyUserID = "puser";
    transfer.ProxyPassword = "ppass";
    QStringList fileLines;
    transfer.OnFileDone = [&](TTransfer* sender, int) { fileLines << sender->Dialog()->FileLine; };
    const QString refused = QStringLiteral("http://127.0.0.1:%1/files/x.bin").arg(closedPort());
    addDownload(url("/secret/s.bin"))->Authenticate = taAuto;
    addDownload(refused);
    addDownload(url("/short.bin"));
    addDownload(url("/missing.bin"));
    TTransferItem* upload = addUpload("/refuse/u.bin", "data", hcPost);
    upload->URL = QStringLiteral("http://127.0.0.1:%1/refuse/u.bin").arg(closedPort());
    EXPECT_TRUE(runToEnd(transfer));

    EXPECT_EQ(login.captions, QStringList{QStringLiteral("Connect to 127.0.0.1:%1").arg(server.port())});
    EXPECT_TRUE(log.lines.contains("URLNotFound " + refused));
    EXPECT_EQ(errorLines().filter(QRegularExpression("^(Error|URLNotFound)")).size(), 7);
    const QStringList seen = login.captions + fileLines + log.lines;
    EXPECT_TRUE(seen.filter("ppass").isEmpty()) << seen.filter("ppass").join('\n').toStdString();
    EXPECT_TRUE(seen.filter("puser").isEmpty()) << seen.filter("puser").join('\n').toStdString();
}

TEST_F(HttpTransfer, NamedProxyGetsTheProxyCredentials)
{
    transfer.Proxy = QStringLiteral("127.0.0.1:%1").arg(server.port());
    transfer.ProxyUserID = "pu";
    transfer.ProxyPassword = "pp";
    addDownload("http://proxied.invalid/p.bin");
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(out("p.bin")), body("p.bin"));
    // The credentials go to the proxy, not on to the server.
    ASSERT_EQ(server.proxied().size(), 1u);
    EXPECT_EQ(server.proxied()[0].first, "");
    EXPECT_EQ(server.proxied()[0].second, "Basic cHU6cHA=");
}

TEST_F(HttpTransfer, SystemProxyFromTheEnvironment)
{
    qputenv("HTTP_PROXY", QStringLiteral("http://127.0.0.1:%1").arg(server.port()).toUtf8());
    addDownload("http://proxied.invalid/e.bin");
    EXPECT_TRUE(runToEnd(transfer));
    qunsetenv("HTTP_PROXY");
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(out("e.bin")), body("e.bin"));
}

TEST_F(HttpTransfer, RedirectIsFollowed)
{
    addDownload(url("/moved/r.bin"));
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(out("r.bin")), body("r.bin"));
}

TEST_F(HttpTransfer, BodyCutShortIsAFailureAndLeavesNoFile)
{
    addDownload(url("/short.bin"));
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_FALSE(transfer.Items[0].Success);
    const QStringList errors = errorLines();
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(errors[0], "Error 4");
    EXPECT_TRUE(errors[1].startsWith("ErrorInfo 4 Error reading source file " + url("/short.bin") + " ("));
    EXPECT_FALSE(QFileInfo::exists(out("short.bin")));
}

TEST_F(HttpTransfer, StalledServerIsBrokenOff)
{
    transfer.StallTimeout = 1;
    addDownload(url("/stall.bin"));
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_EQ(errorLines().value(0), "Error 4");
    EXPECT_FALSE(QFileInfo::exists(out("stall.bin")));
}

TEST_F(HttpTransfer, CancelledDownloadIsRemoved)
{
    addDownload(url("/nolength/c.bin"));
    addDownload(url("/files/later.bin"));
    transfer.OnCopyProgress = [](TTransfer* sender, int, quint32, quint32) { sender->CancelClick(); };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Cancelled);
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_FALSE(QFileInfo::exists(out("c.bin")));
    EXPECT_FALSE(QFileInfo::exists(out("later.bin")));
    EXPECT_FALSE(log.lines.contains("FileDone 0"));
}

TEST_F(HttpTransfer, NameFromTheAddressNeverLeavesTheTargetFolder)
{
    QDir(dir.path()).mkdir("out");
    addDownload(url("/files/a.bin?x=/.."));
    addDownload(url("/files/a.bin?x=/"));
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_FALSE(transfer.Items[1].Success);
    EXPECT_EQ(errorLines().filter("Error 3").size(), 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
    EXPECT_EQ(QDir(dir.filePath("out")).entryList(QDir::Files), QStringList());
}

TEST_F(HttpTransfer, PlantedLinksAreReplacedNeverFollowed)
{
    PlantedLinks links;
    const auto job = [&](const std::string& path) {
        return [&, path](TTransfer&, const QString& name) {
            TTransferItem* item = addDownload(url(path));
            item->TargetDir = links.target();
            item->TargetFilename = name;
            return item;
        };
    };
    links.check(transfer, job("/files/src.bin"), job("/short.bin"), body("src.bin"));
}

TEST_F(HttpTransfer, TargetThatCannotBeCreated)
{
    writeFile(dir.filePath("plain"), "x");
    TTransferItem* item = addDownload(url("/files/a.bin"));
    item->TargetDir = dir.filePath("plain/sub");
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_EQ(errorLines(),
              QStringList({"Error 3", "ErrorInfo 3 Cannot create file " + dir.filePath("plain/sub/a.bin")}));
}

TEST_F(HttpTransfer, AuthenticationNeverReportsTheStatus)
{
    addDownload(url("/secret/s.bin"));
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(errorLines().value(0), "Error 401");
    EXPECT_FALSE(transfer.Items[0].Success);
}

TEST_F(HttpTransfer, AuthenticationAutoPromptsUntilCancel)
{
    LoginScript login;
    login.answers = {{"alice", "wrong"}, {"bob", "s3cret"}};
    addDownload(url("/secret/s.bin"))->Authenticate = taAuto;
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_EQ(login.captions.size(), 3);
    EXPECT_EQ(login.captions[0], QStringLiteral("Connect to 127.0.0.1:%1").arg(server.port()));
    // Cancel ends the job quietly.
    EXPECT_TRUE(errorLines().isEmpty());
    EXPECT_EQ(server.authorizations().size(), 3u);
    EXPECT_EQ(server.authorizations()[0], "");
}

TEST_F(HttpTransfer, AuthenticationAutoRetriesWithTheEnteredCredentials)
{
    LoginScript login;
    login.answers = {{"alice", "s3cret"}};
    addDownload(url("/secret/s.bin"))->Authenticate = taAuto;
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(out("s.bin")), body("s.bin"));
    EXPECT_EQ(server.authorizations(), std::vector<std::string>({"", TestHttpServer::expectedAuthorization()}));
    // What was entered is not written back to the job.
    EXPECT_EQ(transfer.Items[0].HTTPUserID, "");
}

TEST_F(HttpTransfer, AuthenticationAlwaysWithBothSetSendsAtOnce)
{
    LoginScript login;
    TTransferItem* item = addDownload(url("/secret/s.bin"));
    item->Authenticate = taAlways;
    item->HTTPUserID = "alice";
    item->HTTPPassword = "s3cret";
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_TRUE(login.captions.isEmpty());
    EXPECT_EQ(server.authorizations(), std::vector<std::string>({TestHttpServer::expectedAuthorization()}));
}

TEST_F(HttpTransfer, AuthenticationAlwaysPromptsFirstWhenOneIsMissing)
{
    LoginScript login;
    login.answers = {{"alice", "s3cret"}};
    TTransferItem* item = addDownload(url("/secret/s.bin"));
    item->Authenticate = taAlways;
    item->HTTPUserID = "alice";
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(login.captions.size(), 1);
    EXPECT_EQ(server.authorizations().size(), 1u);
}

TEST_F(HttpTransfer, HeaderRules)
{
    // An empty user with a password still sends ":" + password; empty entries send nothing.
    LoginScript login;
    login.answers = {{"", ""}};
    TTransferItem* item = addDownload(url("/secret/s.bin"));
    item->HTTPPassword = "pw";
    addDownload(url("/secret/t.bin"))->Authenticate = taAlways;
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(server.authorizations(), std::vector<std::string>({"Basic OnB3", ""}));
}

TEST_F(HttpTransfer, CopyNewerOnlyComparesWithTheServerDate)
{
    const double serverDate = TransferNames::serverDateTime(784887151);
    TTransferItem* older = addDownload(url("/files/old.bin"));
    older->CopyNewerOnly = true;
    older->FileDate = serverDate - 1;
    TTransferItem* newer = addDownload(url("/files/new.bin"));
    newer->CopyNewerOnly = true;
    newer->FileDate = serverDate + 1;
    double reportedCurrent = 0;
    transfer.OnNoNewFileFound = [&](TTransfer*, const QString& name, double current, double) {
        log.lines << "NoNewFile " + name;
        reportedCurrent = current;
    };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_NEAR(transfer.Items[0].NewFileDate, serverDate, 1e-9);
    EXPECT_FALSE(transfer.Items[1].Success);
    EXPECT_TRUE(transfer.Items[1].NoNewFile);
    EXPECT_NEAR(transfer.Items[1].NewFileDate, serverDate, 1e-9);
    EXPECT_EQ(reportedCurrent, serverDate + 1);
    EXPECT_EQ(errorLines(), QStringList({"NoNewFile new.bin"}));
    EXPECT_FALSE(QFileInfo::exists(out("new.bin")));
}

TEST_F(HttpTransfer, CopyNewerOnlyWithoutServerDateUsesNow)
{
    TTransferItem* item = addDownload(url("/nolength/d.bin"));
    item->CopyNewerOnly = true;
    item->FileDate = TransferNames::nowDateTime() - 1;
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_GT(transfer.Items[0].NewFileDate, item->FileDate);
}

TEST_F(HttpTransfer, DateCheckEventDecides)
{
    addDownload(url("/files/a.bin"));
    addDownload(url("/files/b.bin"));
    QList<int> asked;
    transfer.OnFileDateCheck = [&](TTransfer*, int idx, double newdate, bool& allow) {
        asked << idx;
        EXPECT_NEAR(newdate, TransferNames::serverDateTime(784887151), 1e-9);
        allow = idx == 1;
    };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(asked, QList<int>({0, 1}));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_FALSE(transfer.Items[0].NoNewFile);
    EXPECT_FALSE(QFileInfo::exists(out("a.bin")));
    EXPECT_TRUE(transfer.Items[1].Success);
}

TEST_F(HttpTransfer, OverwriteCheckAndUniqueNames)
{
    QDir(dir.path()).mkdir("out");
    writeFile(out("a.bin"), "old");
    addDownload(url("/files/a.bin"));
    QStringList asked;
    transfer.OnCopyOverWrite = [&](TTransfer*, const QString& path, bool& allow) {
        asked << path;
        allow = false;
    };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(asked, QStringList({out("a.bin")}));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(out("a.bin")), "old");

    transfer.OnCopyOverWrite = nullptr;
    transfer.CreateUniqueFilenames = true;
    writeFile(out("a(1).bin"), "older");
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(out("a.bin")), "old");
    EXPECT_EQ(readFile(out("a(1).bin")), "older");
    EXPECT_EQ(readFile(out("a(2).bin")), body("a.bin"));
    EXPECT_EQ(transfer.LastTargetPath(), out("a(2).bin"));

    transfer.CreateUniqueFilenames = false;
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_EQ(readFile(out("a.bin")), body("a.bin"));
}

TEST_F(HttpTransfer, LocalFileAddressesDownloadToo)
{
    writeFile(dir.filePath("site.ini"), "12\nhttp://x/setup.exe\n");
    addDownload("file://" + dir.filePath("site.ini"));
    addDownload("file://" + dir.filePath("nothing.ini"));
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(out("site.ini")), "12\nhttp://x/setup.exe\n");
    EXPECT_FALSE(transfer.Items[1].Success);
    EXPECT_EQ(errorLines(), QStringList({"URLNotFound file://" + dir.filePath("nothing.ini")}));
}

TEST_F(HttpTransfer, ThreadExecuteDownloads)
{
    addDownload(url("/files/t.bin"));
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.ThreadDone());
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_EQ(readFile(out("t.bin")), body("t.bin"));
}

TEST_F(HttpTransfer, UploadByPostAndPut)
{
    const QByteArray content = body("upload", 9000);
    addUpload("/upload/post.bin", content, hcPost);
    addUpload("/upload/put.bin", content, hcPut);
    QString caption;
    transfer.OnFileDone = [&](TTransfer* sender, int) { caption = sender->Dialog()->Caption; };
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_TRUE(transfer.Items[0].Success);
    EXPECT_TRUE(transfer.Items[1].Success);
    EXPECT_EQ(caption, "Uploading ...");
    const auto uploads = server.uploads();
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_EQ(uploads[0].method, "POST");
    EXPECT_EQ(uploads[0].path, "/upload/post.bin");
    EXPECT_EQ(uploads[1].method, "PUT");
    EXPECT_EQ(uploads[1].contentLength, "9000");
    for (const auto& upload : uploads)
        EXPECT_EQ(QByteArray::fromStdString(upload.body), content);
    EXPECT_EQ(log.lastSize, 9000u);
    EXPECT_EQ(log.lastTotal, 9000u);
}

TEST_F(HttpTransfer, AddressesAreEncodedAsTheyGoOut)
{
    // As typed, what the server must receive, and the local name of a download.
    struct Case {
        QString typed;
        std::string sent;
        QString local;
    };
    const QList<Case> downloads{
        {"/files/a b.bin", "/files/a%20b.bin", "a b.bin"},
        {"/files/ünï ço.bin", "/files/%C3%BCn%C3%AF%20%C3%A7o.bin", "ünï ço.bin"},
        {"/files/a%20b%2Fc.bin", "/files/a%20b%2Fc.bin", "a%20b%2Fc.bin"},
        {"/files/100%.bin", "/files/100%25.bin", "100%.bin"},
        {"/files/q.bin?name=x y", "/files/q.bin?name=x%20y", "q.bin?name=x y"},
    };
    for (const Case& c : downloads)
        addDownload(url(c.typed.toStdString()));
    TTransferItem* upload = addUpload("/upload/my file.bin", "typed", hcPut);
    upload->URL = url("/upload/my file.bin");
    EXPECT_TRUE(runToEnd(transfer));

    std::vector<std::string> expected;
    for (const Case& c : downloads)
        expected.push_back(c.sent);
    expected.push_back("/upload/my%20file.bin");
    EXPECT_EQ(server.targets(), expected);
    for (int i = 0; i < downloads.size(); ++i) {
        EXPECT_TRUE(transfer.Items[i].Success) << downloads[i].typed.toStdString();
        EXPECT_TRUE(QFileInfo::exists(out(downloads[i].local))) << downloads[i].typed.toStdString();
    }
    EXPECT_EQ(readFile(out("ünï ço.bin")), body("ünï ço.bin"));
    EXPECT_EQ(readFile(out("a%20b%2Fc.bin")), body("a b/c.bin"));
    EXPECT_TRUE(transfer.Items[downloads.size()].Success);
    EXPECT_TRUE(errorLines().isEmpty()) << errorLines().join('\n').toStdString();
}

TEST_F(HttpTransfer, UploadFailures)
{
    addUpload("/refuse/r.bin", "abc", hcPut);
    TTransferItem* missing = addUpload("/upload/m.bin", "abc", hcPost);
    missing->TargetFilename = "absent.bin";
    TTransferItem* closed = addUpload("/upload/c.bin", "abc", hcPost);
    const int port = closedPort();
    closed->URL = QStringLiteral("http://127.0.0.1:%1/upload/c.bin").arg(port);
    EXPECT_TRUE(runToEnd(transfer));
    EXPECT_FALSE(transfer.Items[0].Success);
    EXPECT_FALSE(transfer.Items[1].Success);
    EXPECT_FALSE(transfer.Items[2].Success);
    EXPECT_EQ(errorLines(),
              QStringList({"Error 403", "ErrorInfo 403 Returned http error code 403", "Error 6",
                           QStringLiteral("ErrorInfo 6 Cannot connect to server 127.0.0.1:%1").arg(port)}));
    EXPECT_TRUE(server.uploads().empty());
}

// A download job of its own, set up like the window's component, hands over one
// result: the whole file, or why there is none; the component it copies is not used.
TEST_F(HttpTransfer, DownloadJobHandsOverTheFileOrTheReason)
{
    struct Case {
        std::string path;
        bool cancel;
        bool ok;
        QString reason;
    };
    const Case cases[] = {
        {"/files/job.bin", false, true, ""},
        {"/missing.bin", false, false, "Returned http error code 404"},
        {"/short.bin", false, false, "Error reading source file " + url("/short.bin")},
        {"/stall.bin", true, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::unique_ptr<DownloadJob> job(DownloadJob::start(url(c.path), dir.filePath("job"), &transfer));
        if (c.cancel)
            QObject::connect(job.get(), &DownloadJob::progress, job.get(), [&job] { job->cancel(); });
        QSignalSpy finished(job.get(), &DownloadJob::finished);
        ASSERT_TRUE(finished.wait(60000)) << "the job did not end";
        EXPECT_EQ(finished.size(), 1);
        const DownloadResult& result = job->result();
        EXPECT_EQ(result.ok, c.ok);
        EXPECT_EQ(result.cancelled, c.cancel);
        EXPECT_TRUE(c.reason.isEmpty() || result.reason.startsWith(c.reason)) << result.reason.toStdString();
        EXPECT_EQ(result.reason.isEmpty(), c.ok || c.cancel);
        if (c.ok) {
            EXPECT_EQ(readFile(result.path), body("job.bin"));
        }
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("job/short.bin")));
    // the handlers of the component it was set up like heard of the jobs; its own job list stayed empty
    EXPECT_TRUE(log.lines.contains("ErrorInfo 404 Returned http error code 404"));
    EXPECT_EQ(transfer.Items.Count(), 0);
}
