#include "FtpTestServer.h"
#include "../transfer/TransferTestSupport.h"

#include "TTransfer.h"

#include <QCoreApplication>
#include <QDirIterator>

#include <set>

namespace {

struct Events {
    QStringList log;
    QList<int> errorCodes;
    QStringList errorInfos;
    QStringList notFound;
    QList<int> dateIdx;
    QStringList multiDone;
    QStringList order;  // error texts and finished files of multi-file jobs, as they came
    int progress = 0;
};

// A component wired to record its events, with the dialog kept after the run
// so the last file line can be read.
class FtpTransferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(target.isValid());
        t.ShowOpenFile = true;
        t.OnError = [this](TTransfer*, int code) { ev.errorCodes << code; };
        t.OnErrorInfo = [this](TTransfer*, int, const QString& info) {
            ev.errorInfos << info;
            ev.order << info;
        };
        t.OnURLNotFound = [this](TTransfer*, const QString& url) { ev.notFound << url; };
        t.OnCopyProgress = [this](TTransfer*, int, quint32, quint32) { ++ev.progress; };
        t.OnMultiFTPFileDone = [this](TTransfer*, const QString& name) {
            ev.multiDone << name;
            ev.order << QStringLiteral("done ") + name;
        };
        t.OnRemovedFile = [this](TTransfer*, int idx) { ev.log << QStringLiteral("removed %1").arg(idx); };
        t.OnRemovedFileFailed = [this](TTransfer*, int idx) { ev.log << QStringLiteral("refused %1").arg(idx); };
    }

    TTransferItem* job(const FtpTestServer& server, TTransferProtocol kind, const QString& url,
                       const QString& user = QStringLiteral("user"), const QString& password = QStringLiteral("secret"))
    {
        TTransferItem* item = t.Items.Add();
        item->Protocol = kind;
        item->URL = url;
        item->TargetDir = target.path();
        item->FTPHost = QStringLiteral("127.0.0.1");
        item->FTPPort = server.port();
        item->FTPUserID = user;
        item->FTPPassword = password;
        return item;
    }

    // A local file below the target folder, for uploads.
    QString makeLocal(const QString& name, const QByteArray& content)
    {
        const QString path = target.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }

    QByteArray local(const QString& name) const
    {
        QFile f(target.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir target;
    TTransfer t;
    Events ev;
};

QByteArray pattern(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char('a' + (i * 7 + i / 13) % 26);
    return data;
}

}  // namespace

TEST_F(FtpTransferTest, DownloadsInPassiveAndActiveModeWithAnonymousOrUserLogin)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    const QByteArray content = pattern(20000);
    server.put(QStringLiteral("pub/data.bin"), content);

    for (const bool passive : {true, false}) {
        t.Items.Clear();
        t.FTPPassive = passive;
        job(server, tpFtp, QStringLiteral("pub/data.bin"), QString(), QString())->TargetFilename =
            QStringLiteral("anon.bin");
        // A user name alone is not enough for a named login.
        job(server, tpFtp, QStringLiteral("/pub/data.bin"), QStringLiteral("user"), QString())->TargetFilename =
            QStringLiteral("anon2.bin");
        job(server, tpFtp, QStringLiteral("pub/data.bin"))->TargetFilename = QStringLiteral("user.bin");
        EXPECT_TRUE(runToEnd(t));
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(t.Items[i].Success) << "passive " << passive << " job " << i;
        EXPECT_EQ(local(QStringLiteral("anon.bin")), content);
        EXPECT_EQ(local(QStringLiteral("anon2.bin")), content);
        EXPECT_EQ(local(QStringLiteral("user.bin")), content);
    }
    const QStringList perMode{QStringLiteral("anonymous"), QStringLiteral("anonymous"), QStringLiteral("user")};
    EXPECT_EQ(server.loginNames(), perMode + perMode);
    EXPECT_TRUE(server.log().contains(QStringLiteral("CMD EPSV")));
    EXPECT_TRUE(server.log().filter(QStringLiteral("CMD EPRT |1|127.0.0.1|")).size() > 0);
    EXPECT_GE(ev.progress, 6 * 4);  // 20000 bytes come in five blocks of 4096 or fewer
    EXPECT_TRUE(ev.errorCodes.isEmpty());
}

TEST_F(FtpTransferTest, ThreadExecuteRunsTheFtpJobs)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("f.txt"), "threaded");
    TTransferItem* get = job(server, tpFtp, QStringLiteral("f.txt"));
    TTransferItem* list = job(server, tpFtpList, QStringLiteral("*"));
    EXPECT_TRUE(runToEnd(t));
    EXPECT_TRUE(t.ThreadDone());
    EXPECT_TRUE(get->Success);
    EXPECT_TRUE(list->Success);
    EXPECT_EQ(local(QStringLiteral("f.txt")), QByteArray("threaded"));
}

TEST_F(FtpTransferTest, SameKeyKeepsTheLoginAndRestoresTheDirectory)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("a/x.txt"), "first");
    server.put(QStringLiteral("b/y.txt"), "second");
    server.put(QStringLiteral("a/b/y.txt"), "wrong folder");
    t.FTPPassive = true;
    job(server, tpFtp, QStringLiteral("a/x.txt"));
    // Relative to the starting folder again, not to a/ of the job before.
    job(server, tpFtp, QStringLiteral("b/y.txt"));
    EXPECT_TRUE(runToEnd(t));
    EXPECT_TRUE(t.Items[0].Success);
    EXPECT_TRUE(t.Items[1].Success);
    EXPECT_EQ(local(QStringLiteral("x.txt")), QByteArray("first"));
    EXPECT_EQ(local(QStringLiteral("y.txt")), QByteArray("second"));
    EXPECT_EQ(server.logins(), 1);

    // The next run starts with a fresh login: the kept connection ended with the run.
    t.Items.Clear();
    job(server, tpFtp, QStringLiteral("a/x.txt"));
    job(server, tpFtp, QStringLiteral("b/y.txt"), QStringLiteral("user"), QStringLiteral("secret2"));
    EXPECT_TRUE(runToEnd(t));
    EXPECT_TRUE(t.Items[0].Success);
    EXPECT_TRUE(t.Items[1].Success);
    EXPECT_EQ(server.logins(), 3);
}

TEST_F(FtpTransferTest, ListingAfterDownloadLogsInAgain)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("pub/a.txt"), "aaa");
    server.put(QStringLiteral("pub/b.txt"), "bbbbbb");
    server.put(QStringLiteral("pub/c.dat"), "c");
    QDir().mkpath(server.root() + QStringLiteral("/pub/sub.txt"));
    t.FTPPassive = true;
    job(server, tpFtp, QStringLiteral("pub/a.txt"));
    TTransferItem* list = job(server, tpFtpList, QStringLiteral("pub\\*.txt"));
    TTransferItem* none = job(server, tpFtpList, QStringLiteral("pub/*.none"));
    EXPECT_TRUE(runToEnd(t));
    EXPECT_EQ(server.logins(), 3);
    ASSERT_TRUE(list->Success);
    ASSERT_TRUE(list->FileList && list->FileDetails);
    const QStringList names = *list->FileList;
    EXPECT_EQ(std::set<QString>(names.begin(), names.end()),
              (std::set<QString>{QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("sub.txt")}));
    ASSERT_EQ(list->FileDetails->Count(), 3);
    for (int i = 0; i < 3; ++i) {
        const TFileDetailItem& d = (*list->FileDetails)[i];
        EXPECT_EQ(d.FileName, names[i]);
        EXPECT_NE(d.LastWriteTime.dwHighDateTime, 0u);
        if (d.FileName == QLatin1String("sub.txt")) {
            EXPECT_EQ(d.Attributes, 0x10u);
        }
        if (d.FileName == QLatin1String("b.txt")) {
            EXPECT_EQ(d.SizeLow, 6u);
            EXPECT_EQ(d.Attributes, 0x80u);
        }
    }
    // Nothing matching: empty lists, and still a success.
    EXPECT_TRUE(none->Success);
    ASSERT_TRUE(none->FileList && none->FileDetails);
    EXPECT_TRUE(none->FileList->isEmpty());
    EXPECT_EQ(none->FileDetails->Count(), 0);
}

TEST_F(FtpTransferTest, ClassicListingWhenTheServerHasNoMachineListing)
{
    FtpTestServer server({QStringLiteral("--no-mlsd")});
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("one.txt"), "1");
    server.put(QStringLiteral("two.txt"), "22");
    server.put(QStringLiteral("three.txt"), "333");
    t.FTPPassive = true;
    TTransferItem* list = job(server, tpFtpList, QStringLiteral("*.txt"));
    EXPECT_TRUE(runToEnd(t));
    ASSERT_TRUE(list->Success);
    ASSERT_EQ(list->FileList->size(), 3);
    // The file line shows each entry's own position, the last one being the third.
    ASSERT_TRUE(t.Dialog());
    EXPECT_EQ(t.Dialog()->FileLine, QStringLiteral("3 ") + list->FileList->last());
    EXPECT_TRUE(server.log().contains(QStringLiteral("CMD LIST /")));
    EXPECT_EQ(server.logins(), 1);  // the refused machine listing did not cost the login
}

TEST_F(FtpTransferTest, UploadCreatesMissingFoldersOneByOne)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    QDir().mkpath(server.root() + QStringLiteral("/exists"));
    const QByteArray content = pattern(10000);
    const QString src = makeLocal(QStringLiteral("up.bin"), content);

    TTransferItem* up = job(server, tpFtpUpload, src);
    up->TargetDir = QStringLiteral("exists/new/deeper");
    TTransferItem* renamed = job(server, tpFtpUpload, src);
    renamed->TargetDir = QStringLiteral("/exists\\other");
    renamed->TargetFilename = QStringLiteral("renamed.bin");
    TTransferItem* missing = job(server, tpFtpUpload, target.filePath(QStringLiteral("missing.bin")));
    missing->TargetDir = QStringLiteral("exists");
    EXPECT_TRUE(runToEnd(t));
    EXPECT_TRUE(up->Success);
    EXPECT_TRUE(renamed->Success);
    EXPECT_EQ(server.get(QStringLiteral("exists/new/deeper/up.bin")), content);
    EXPECT_EQ(server.get(QStringLiteral("exists/other/renamed.bin")), content);
    EXPECT_FALSE(missing->Success);
    EXPECT_EQ(ev.notFound, QStringList{missing->URL});
    EXPECT_EQ(ev.errorCodes, QList<int>{1});
    EXPECT_EQ(ev.errorInfos, QStringList{QStringLiteral("Cannot open source file ") + missing->URL});
    // No empty remote file is left for a source that could not be read.
    EXPECT_FALSE(QFileInfo::exists(server.root() + QStringLiteral("/exists/missing.bin")));
    EXPECT_EQ(server.logins(), 1);
    EXPECT_EQ(server.log().filter(QStringLiteral("CMD MKD")).size(), 3);
}

TEST_F(FtpTransferTest, UploadRefusedOrCancelled)
{
    FtpTestServer server({QStringLiteral("--perm"), QStringLiteral("ro=elr")});
    ASSERT_TRUE(server.ok());
    const QString small = makeLocal(QStringLiteral("small.txt"), "small");
    const QString big = makeLocal(QStringLiteral("big.bin"), pattern(3000000));
    TTransferItem* refused = job(server, tpFtpUpload, small);
    refused->TargetDir = QStringLiteral("ro");
    TTransferItem* cancelled = job(server, tpFtpUpload, big);
    cancelled->TargetDir = QStringLiteral("rw");
    TTransferItem* never = job(server, tpFtpUpload, small);
    never->TargetDir = QStringLiteral("rw");
    t.OnCopyProgress = [](TTransfer* sender, int, quint32 done, quint32) {
        if (done >= 16384)
            sender->CancelClick();
    };
    EXPECT_TRUE(runToEnd(t));
    EXPECT_FALSE(refused->Success);
    EXPECT_EQ(ev.notFound, QStringList{small});
    EXPECT_FALSE(QFileInfo::exists(server.root() + QStringLiteral("/ro/small.txt")));
    EXPECT_TRUE(cancelled->Cancelled);
    EXPECT_FALSE(cancelled->Success);
    EXPECT_LT(QFileInfo(server.root() + QStringLiteral("/rw/big.bin")).size(), 3000000);
    EXPECT_FALSE(never->Success);
    EXPECT_FALSE(QFileInfo::exists(server.root() + QStringLiteral("/rw/small.txt")));
    EXPECT_TRUE(ev.errorCodes.isEmpty());
}

TEST_F(FtpTransferTest, MultiFileUploadGivesTheJobIndexToTheDateCheck)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    for (const char* name : {"a.txt", "b.txt", "c.log"})
        makeLocal(QStringLiteral("src/") + QLatin1String(name), QByteArray("local ") + name);
    server.put(QStringLiteral("in/a.txt"), "remote a");
    server.put(QStringLiteral("in/b.txt"), "remote b");
    job(server, tpFtp, QStringLiteral("x"))->Active = false;
    TTransferItem* up = job(server, tpMultiFtpUpload, target.filePath(QStringLiteral("src/*.txt")));
    up->TargetDir = QStringLiteral("in");
    t.OnFileDateCheck = [this](TTransfer*, int idx, double, bool& allow) {
        ev.dateIdx << idx;
        allow = ev.dateIdx.size() == 1;  // the first existing file goes, the second does not
    };
    EXPECT_TRUE(runToEnd(t));
    EXPECT_TRUE(up->Success);
    EXPECT_EQ(ev.dateIdx, (QList<int>{1, 1}));
    EXPECT_EQ(std::set<QString>(ev.multiDone.begin(), ev.multiDone.end()),
              (std::set<QString>{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    const QByteArray a = server.get(QStringLiteral("in/a.txt"));
    const QByteArray b = server.get(QStringLiteral("in/b.txt"));
    EXPECT_EQ(int(a.startsWith("local")) + int(b.startsWith("local")), 1);
    EXPECT_FALSE(QFileInfo::exists(server.root() + QStringLiteral("/in/c.log")));
    EXPECT_FALSE(QFileInfo::exists(server.root() + QStringLiteral("/in/in")));
    EXPECT_EQ(server.logins(), 1);
}

TEST_F(FtpTransferTest, MultiFileDownloadGivesListingPositionsAndKeepsTheConnection)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("d/one.txt"), "1");
    server.put(QStringLiteral("d/two.txt"), "22");
    server.put(QStringLiteral("d/three.txt"), "333");
    server.put(QStringLiteral("d/skip.bin"), "x");
    server.put(QStringLiteral("after.txt"), "after");
    TTransferItem* multi = job(server, tpMultiFtp, QStringLiteral("d/*.txt"));
    multi->TargetDir = target.filePath(QStringLiteral("out"));
    TTransferItem* next = job(server, tpFtp, QStringLiteral("after.txt"));
    t.OnFileDateCheck = [this](TTransfer*, int idx, double, bool& allow) {
        ev.dateIdx << idx;
        allow = true;
    };
    EXPECT_TRUE(runToEnd(t));
    EXPECT_TRUE(multi->Success);
    EXPECT_TRUE(next->Success);
    // Listing positions during the multi-file job, then the next job's own index.
    EXPECT_EQ(ev.dateIdx, (QList<int>{0, 1, 2, 1}));
    EXPECT_EQ(ev.multiDone.size(), 3);
    EXPECT_EQ(local(QStringLiteral("out/two.txt")), QByteArray("22"));
    EXPECT_EQ(local(QStringLiteral("out/three.txt")), QByteArray("333"));
    EXPECT_FALSE(QFileInfo::exists(target.filePath(QStringLiteral("out/skip.bin"))));
    // The job after the multi-file download uses its connection, from the starting folder.
    EXPECT_EQ(local(QStringLiteral("after.txt")), QByteArray("after"));
    EXPECT_EQ(server.logins(), 1);
}

TEST_F(FtpTransferTest, HostileListingNamesNeverLeaveTheTargetFolder)
{
    for (const bool machine : {true, false}) {
        QTemporaryDir work;
        const QString listing = work.filePath(QStringLiteral("listing"));
        QFile f(listing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        if (machine)
            f.write("type=file;size=4; ../evil\r\ntype=file;size=4; /abs\r\ntype=file;size=4; a\\b\r\n"
                    "type=file;size=4; \r\n@@@ garbage\r\ntype=file;size=4; good.txt\r\n"
                    "type=file;size=4; a..b.txt\r\n");
        else
            f.write("-rw-r--r-- 1 a b 4 Jan 02 2020 ../evil\r\n-rw-r--r-- 1 a b 4 Jan 02 2020 /abs\r\n"
                    "-rw-r--r-- 1 a b 4 Jan 02 2020 a\\b\r\nnothing but garbage\r\n"
                    "-rw-r--r-- 1 a b 4 Jan 02 2020 good.txt\r\n-rw-r--r-- 1 a b 4 Jan 02 2020 a..b.txt\r\n");
        f.close();
        FtpTestServer server(machine
                                 ? QStringList{QStringLiteral("--mlsd-file"), listing}
                                 : QStringList{QStringLiteral("--no-mlsd"), QStringLiteral("--list-file"), listing});
        ASSERT_TRUE(server.ok());
        server.put(QStringLiteral("evil"), "evil");
        server.put(QStringLiteral("abs"), "abs!");
        server.put(QStringLiteral("d/good.txt"), "good");
        server.put(QStringLiteral("d/evil"), "evil");
        server.put(QStringLiteral("d/a..b.txt"), "dots");

        t.Items.Clear();
        ev = Events();
        const QString inner = target.filePath(QStringLiteral("inner"));
        TTransferItem* multi = job(server, tpMultiFtp, QStringLiteral("d/*"));
        multi->TargetDir = inner;
        EXPECT_TRUE(runToEnd(t));
        EXPECT_TRUE(multi->Success);
        EXPECT_EQ(local(QStringLiteral("inner/good.txt")), QByteArray("good"));
        const int bad = machine ? 4 : 3;
        EXPECT_EQ(ev.errorCodes, QList<int>(bad, 3));
        EXPECT_TRUE(ev.errorInfos.contains(QStringLiteral("Cannot create target file ../evil")));
        EXPECT_TRUE(ev.errorInfos.contains(QStringLiteral("Cannot create target file /abs")));
        EXPECT_TRUE(ev.errorInfos.contains(QStringLiteral("Cannot create target file a\\b")));
        // Every listed name is finished with its own event, a skipped one right after its error.
        EXPECT_EQ(ev.multiDone.size(), bad + 2);
        for (const QString& info : ev.errorInfos) {
            const QString name = info.mid(QStringLiteral("Cannot create target file ").size());
            EXPECT_EQ(ev.order.value(ev.order.indexOf(info) + 1).toStdString(), "done " + name.toStdString());
        }
        // Only the good files were written anywhere below the test folder.
        QStringList written;
        for (QDirIterator it(target.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            written << it.next();
        written.sort();
        EXPECT_EQ(written, (QStringList{inner + QStringLiteral("/a..b.txt"), inner + QStringLiteral("/good.txt")}));
        EXPECT_EQ(local(QStringLiteral("inner/a..b.txt")), QByteArray("dots"));
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/abs")));
        QDir(inner).removeRecursively();
    }
}

TEST_F(FtpTransferTest, DeleteReportsRemovedAndRefused)
{
    FtpTestServer server({QStringLiteral("--perm"), QStringLiteral("locked=elr")});
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("trash/old.txt"), "x");
    server.put(QStringLiteral("locked/keep.txt"), "x");
    TTransferItem* del = job(server, tpFtpDelete, QStringLiteral("old.txt"));
    del->TargetDir = QStringLiteral("trash");
    TTransferItem* refused = job(server, tpFtpDelete, QStringLiteral("keep.txt"));
    refused->TargetDir = QStringLiteral("locked");
    TTransferItem* noDir = job(server, tpFtpDelete, QStringLiteral("x.txt"));
    noDir->TargetDir = QStringLiteral("nowhere");
    EXPECT_TRUE(runToEnd(t));
    EXPECT_TRUE(del->Success);
    EXPECT_TRUE(refused->Success);
    EXPECT_FALSE(noDir->Success);
    EXPECT_EQ(ev.log, (QStringList{QStringLiteral("removed 0"), QStringLiteral("refused 1")}));
    EXPECT_FALSE(QFileInfo::exists(server.root() + QStringLiteral("/trash/old.txt")));
    EXPECT_TRUE(QFileInfo::exists(server.root() + QStringLiteral("/locked/keep.txt")));
}

TEST_F(FtpTransferTest, KeptConnectionNeverDeletesOrUploadsInTheWrongFolder)
{
    // Two jobs of any kinds (each followed by an inactive download, so a
    // download or upload keeps its connection), then a delete or an upload in
    // /a. Whatever the first jobs did to the session, the last one acts in /a.
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    makeLocal(QStringLiteral("new.txt"), "new");
    makeLocal(QStringLiteral("up.txt"), "up");
    makeLocal(QStringLiteral("many/m.txt"), "many");
    const auto addJob = [&](TTransferProtocol kind) {
        TTransferItem* job = nullptr;
        switch (kind) {
        case tpFtp:
            job = this->job(server, tpFtp, QStringLiteral("b/x.txt"));
            break;
        case tpMultiFtp:
            job = this->job(server, tpMultiFtp, QStringLiteral("b/*.txt"));
            break;
        case tpFtpList:
            job = this->job(server, tpFtpList, QStringLiteral("b/*"));
            break;
        case tpFtpTest:
            job = this->job(server, tpFtpTest, QString());
            break;
        case tpFtpUpload:
            job = this->job(server, tpFtpUpload, target.filePath(QStringLiteral("new.txt")));
            job->TargetDir = QStringLiteral("/a");
            break;
        case tpMultiFtpUpload:
            job = this->job(server, tpMultiFtpUpload, target.filePath(QStringLiteral("many/*.txt")));
            job->TargetDir = QStringLiteral("/a");
            break;
        case tpFtpDelete:
            job = this->job(server, tpFtpDelete, QStringLiteral("old.txt"));
            job->TargetDir = QStringLiteral("/a");
            break;
        default:
            ADD_FAILURE() << "no job for kind " << kind;
            return;
        }
        this->job(server, tpFtp, QStringLiteral("x.txt"))->Active = false;
    };
    const QList<TTransferProtocol> kinds{tpFtp,       tpFtpUpload, tpMultiFtp, tpMultiFtpUpload,
                                         tpFtpDelete, tpFtpList,   tpFtpTest};
    const QStringList folders{QString(), QStringLiteral("a/"), QStringLiteral("b/"), QStringLiteral("a/a/")};
    for (const bool deleting : {true, false}) {
        for (const TTransferProtocol first : kinds) {
            for (const TTransferProtocol second : kinds) {
                const std::string row = "kinds " + std::to_string(first) + ", " + std::to_string(second)
                                        + (deleting ? ", delete" : ", upload");
                for (const QString& folder : folders) {
                    server.put(folder + QStringLiteral("victim.txt"), "victim");
                    QFile::remove(server.root() + QLatin1Char('/') + folder + QStringLiteral("up.txt"));
                }
                server.put(QStringLiteral("b/x.txt"), "x");
                server.put(QStringLiteral("a/old.txt"), "old");
                t.Items.Clear();
                ev = Events();
                addJob(first);
                addJob(second);
                TTransferItem* last = deleting ? job(server, tpFtpDelete, QStringLiteral("victim.txt"))
                                               : job(server, tpFtpUpload, target.filePath(QStringLiteral("up.txt")));
                last->TargetDir = QStringLiteral("/a");
                EXPECT_TRUE(runToEnd(t));

                for (int i = 0; i < t.Items.Count(); ++i)
                    EXPECT_TRUE(t.Items[i].Success || !t.Items[i].Active) << row << " job " << i;
                EXPECT_TRUE(ev.errorCodes.isEmpty() && ev.notFound.isEmpty()) << row;
                for (const QString& folder : folders) {
                    const bool touched = folder == QLatin1String("a/");
                    EXPECT_EQ(
                        QFileInfo::exists(server.root() + QLatin1Char('/') + folder + QStringLiteral("victim.txt")),
                        !(deleting && touched))
                        << row << " victim in /" << folder.toStdString();
                    EXPECT_EQ(QFileInfo::exists(server.root() + QLatin1Char('/') + folder + QStringLiteral("up.txt")),
                              !deleting && touched)
                        << row << " upload in /" << folder.toStdString();
                }
                if (deleting) {
                    EXPECT_EQ(ev.log.last(), QStringLiteral("removed %1").arg(t.Items.Count() - 1)) << row;
                }
            }
        }
    }
}

TEST_F(FtpTransferTest, ConnectionTestAndRefusedLogins)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("f.txt"), "f");
    TTransferItem* good = job(server, tpFtpTest, QString());
    TTransferItem* badTest = job(server, tpFtpTest, QString(), QStringLiteral("user"), QStringLiteral("nope"));
    TTransferItem* badGet = job(server, tpFtp, QStringLiteral("f.txt"), QStringLiteral("user"), QStringLiteral("nope"));
    TTransferItem* badList =
        job(server, tpFtpList, QStringLiteral("*"), QStringLiteral("user"), QStringLiteral("nope"));
    EXPECT_TRUE(runToEnd(t));
    EXPECT_TRUE(good->Success);
    EXPECT_FALSE(badTest->Success);
    EXPECT_FALSE(badGet->Success);
    EXPECT_FALSE(badList->Success);
    EXPECT_FALSE(badList->FileList);
    EXPECT_EQ(ev.errorCodes, (QList<int>{6, 6, 6}));
    EXPECT_EQ(ev.errorInfos.first(), QStringLiteral("Cannot connect to FTP server 127.0.0.1"));
    EXPECT_FALSE(QFileInfo::exists(target.filePath(QStringLiteral("f.txt"))));
}

TEST_F(FtpTransferTest, NamesCannotSmuggleInCommands)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("victim.txt"), "still here");
    TTransferItem* get = job(server, tpFtp, QStringLiteral("f.txt\r\nDELE victim.txt"));
    get->TargetFilename = QStringLiteral("got.txt");
    TTransferItem* del = job(server, tpFtpDelete, QString());
    del->TargetDir.clear();
    del->TargetFilename = QStringLiteral("none\r\nDELE victim.txt");
    TTransferItem* badHost = job(server, tpFtpTest, QString());
    badHost->FTPHost = QStringLiteral("127.0.0.1\r\nDELE victim.txt");
    TTransferItem* slashHost = job(server, tpFtpTest, QString());
    slashHost->FTPHost = QStringLiteral("127.0.0.1/x");
    EXPECT_TRUE(runToEnd(t));
    EXPECT_FALSE(get->Success);
    EXPECT_EQ(ev.notFound, QStringList{get->URL});
    EXPECT_TRUE(del->Success);
    EXPECT_EQ(ev.log, QStringList{QStringLiteral("refused 1")});
    EXPECT_FALSE(badHost->Success);
    EXPECT_FALSE(slashHost->Success);
    EXPECT_EQ(ev.errorCodes, (QList<int>{6, 6}));
    EXPECT_EQ(server.get(QStringLiteral("victim.txt")), QByteArray("still here"));
    EXPECT_TRUE(server.log().filter(QStringLiteral("DELE")).isEmpty());
}

TEST_F(FtpTransferTest, DroppedControlConnectionIsAFailure)
{
    FtpTestServer atLogin({QStringLiteral("--close-on"), QStringLiteral("PASS")});
    ASSERT_TRUE(atLogin.ok());
    TTransferItem* login = job(atLogin, tpFtp, QStringLiteral("f.txt"));
    EXPECT_TRUE(runToEnd(t));
    EXPECT_FALSE(login->Success);
    EXPECT_EQ(ev.errorCodes, QList<int>{6});

    FtpTestServer atRetr({QStringLiteral("--close-on"), QStringLiteral("RETR")});
    ASSERT_TRUE(atRetr.ok());
    atRetr.put(QStringLiteral("f.txt"), "content");
    t.Items.Clear();
    ev = Events();
    TTransferItem* retr = job(atRetr, tpFtp, QStringLiteral("f.txt"));
    EXPECT_TRUE(runToEnd(t));
    EXPECT_FALSE(retr->Success);
    EXPECT_EQ(ev.notFound, QStringList{QStringLiteral("f.txt")});
    EXPECT_FALSE(QFileInfo::exists(target.filePath(QStringLiteral("f.txt"))));
}

TEST_F(FtpTransferTest, PassiveReplyNamingAnotherAddressIsNotFollowed)
{
    // 127.0.0.2 is loopback too, but the server listens on 127.0.0.1 only:
    // following the reply's address would fail the transfer.
    FtpTestServer server({QStringLiteral("--no-epsv"), QStringLiteral("--pasv-address"), QStringLiteral("127.0.0.2")});
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("f.txt"), "passive");
    t.FTPPassive = true;
    TTransferItem* get = job(server, tpFtp, QStringLiteral("f.txt"));
    EXPECT_TRUE(runToEnd(t));
    EXPECT_TRUE(get->Success);
    EXPECT_EQ(local(QStringLiteral("f.txt")), QByteArray("passive"));
    EXPECT_TRUE(server.log().contains(QStringLiteral("CMD PASV")));
}

TEST_F(FtpTransferTest, DeniedFolderIsNotFoundAndNothingElseIsFetched)
{
    FtpTestServer server({QStringLiteral("--perm"), QStringLiteral("denied=")});
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("denied/s.txt"), "secret");
    server.put(QStringLiteral("s.txt"), "wrong file");
    TTransferItem* get = job(server, tpFtp, QStringLiteral("denied/s.txt"));
    TTransferItem* list = job(server, tpFtpList, QStringLiteral("denied/*"));
    TTransferItem* multi = job(server, tpMultiFtp, QStringLiteral("denied/*"));
    EXPECT_TRUE(runToEnd(t));
    EXPECT_FALSE(get->Success);
    EXPECT_FALSE(list->Success);
    EXPECT_FALSE(multi->Success);
    ASSERT_TRUE(list->FileList);
    EXPECT_TRUE(list->FileList->isEmpty());
    EXPECT_EQ(ev.notFound, (QStringList{get->URL, list->URL, multi->URL}));
    EXPECT_FALSE(QFileInfo::exists(target.filePath(QStringLiteral("s.txt"))));
}

TEST_F(FtpTransferTest, TransferBreakingOffIsAFailure)
{
    FtpTestServer server(
        {QStringLiteral("--retr-cut"), QStringLiteral("10000"), QStringLiteral("--stor-cut"), QStringLiteral("10000")});
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("big.bin"), pattern(300000));
    const QString src = makeLocal(QStringLiteral("up.bin"), pattern(300000));
    t.FTPPassive = true;
    TTransferItem* get = job(server, tpFtp, QStringLiteral("big.bin"));
    TTransferItem* put = job(server, tpFtpUpload, src);
    put->TargetDir = QStringLiteral("/");
    EXPECT_TRUE(runToEnd(t));
    EXPECT_FALSE(get->Success);
    EXPECT_FALSE(put->Success);
    ASSERT_EQ(ev.errorCodes, (QList<int>{4, 5}));
    EXPECT_TRUE(ev.errorInfos[0].startsWith(QStringLiteral("Error reading source file big.bin (")))
        << ev.errorInfos[0].toStdString();
    EXPECT_TRUE(ev.errorInfos[1].startsWith(QStringLiteral("Error writing to destination file /up.bin (")));
    EXPECT_FALSE(QFileInfo::exists(target.filePath(QStringLiteral("big.bin"))));
}

TEST_F(FtpTransferTest, PlantedLinksAreReplacedNeverFollowed)
{
    FtpTestServer server({QStringLiteral("--retr-cut"), QStringLiteral("10000")});
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("src.bin"), "remote content");
    server.put(QStringLiteral("big.bin"), pattern(50000));
    PlantedLinks links;
    const auto job = [&](const QString& url) {
        return [&, url](TTransfer&, const QString& name) {
            TTransferItem* item = this->job(server, tpFtp, url);
            item->TargetDir = links.target();
            item->TargetFilename = name;
            return item;
        };
    };
    links.check(t, job(QStringLiteral("src.bin")), job(QStringLiteral("big.bin")), "remote content");
}

TEST_F(FtpTransferTest, SilentServerEndsInATimeOutNotAHang)
{
    t.StallTimeout = 2;
    t.FTPPassive = true;
    FtpTestServer noLogin({QStringLiteral("--hang-on"), QStringLiteral("PASS")});
    FtpTestServer noRetr(
        {QStringLiteral("--hang-on"), QStringLiteral("RETR"), QStringLiteral("--hang-on"), QStringLiteral("MLSD")});
    FtpTestServer stalls({QStringLiteral("--retr-cut"), QStringLiteral("5000"), QStringLiteral("--retr-stall")});
    ASSERT_TRUE(noLogin.ok() && noRetr.ok() && stalls.ok());
    noRetr.put(QStringLiteral("f.txt"), "never sent");
    stalls.put(QStringLiteral("big.bin"), pattern(100000));
    TTransferItem* login = job(noLogin, tpFtp, QStringLiteral("f.txt"));
    TTransferItem* retr = job(noRetr, tpFtp, QStringLiteral("f.txt"));
    TTransferItem* list = job(noRetr, tpFtpList, QStringLiteral("*"));
    TTransferItem* stalled = job(stalls, tpFtp, QStringLiteral("big.bin"));
    EXPECT_TRUE(runToEnd(t));
    EXPECT_FALSE(login->Success);
    EXPECT_FALSE(retr->Success);
    EXPECT_FALSE(list->Success);
    EXPECT_FALSE(stalled->Success);
    EXPECT_EQ(ev.errorCodes, (QList<int>{6, 4}));
    EXPECT_EQ(ev.notFound, (QStringList{retr->URL, list->URL}));
    EXPECT_FALSE(QFileInfo::exists(target.filePath(QStringLiteral("f.txt"))));
    EXPECT_FALSE(QFileInfo::exists(target.filePath(QStringLiteral("big.bin"))));
}

TEST_F(FtpTransferTest, UploadDateCheckAgainstTheRemoteFile)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("in/f.txt"), "remote");
    const QString src = makeLocal(QStringLiteral("f.txt"), "local");
    QStringList overwrite;
    t.OnCopyOverWrite = [&overwrite](TTransfer*, const QString& name, bool& allow) {
        overwrite << name;
        allow = overwrite.size() != 3;
    };
    int noNew = 0;
    t.OnNoNewFileFound = [&noNew](TTransfer*, const QString&, double, double) { ++noNew; };
    // The remote copy is later than 1899: the upload is skipped.
    TTransferItem* older = job(server, tpFtpUpload, src);
    older->TargetDir = QStringLiteral("in");
    older->CopyNewerOnly = true;
    older->FileDate = 1;
    // Not later than 2447: the upload goes ahead.
    TTransferItem* newer = job(server, tpFtpUpload, src);
    newer->TargetDir = QStringLiteral("in");
    newer->CopyNewerOnly = true;
    newer->FileDate = 200000;
    TTransferItem* refused = job(server, tpFtpUpload, src);
    refused->TargetDir = QStringLiteral("in");
    refused->TargetFilename = QStringLiteral("other.txt");
    refused->CopyNewerOnly = true;
    refused->FileDate = 200000;
    EXPECT_TRUE(runToEnd(t));
    EXPECT_FALSE(older->Success);
    EXPECT_TRUE(older->NoNewFile);
    EXPECT_EQ(noNew, 1);
    EXPECT_TRUE(newer->Success);
    EXPECT_LT(newer->NewFileDate, 200000);
    EXPECT_EQ(server.get(QStringLiteral("in/f.txt")), QByteArray("local"));
    EXPECT_EQ(overwrite, (QStringList{QStringLiteral("f.txt"), QStringLiteral("f.txt")}));
    // No remote file of that name: no check, the upload simply goes.
    EXPECT_TRUE(refused->Success);
    EXPECT_EQ(server.get(QStringLiteral("in/other.txt")), QByteArray("local"));
}

TEST_F(FtpTransferTest, FileLinesNameFileAndServer)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("d/one.txt"), "1");
    server.put(QStringLiteral("d/two.txt"), "2");
    server.put(QStringLiteral("solo.txt"), "solo");
    QStringList lines;
    t.OnCopyProgress = [&lines](TTransfer* sender, int, quint32, quint32) {
        if (lines.isEmpty() || lines.last() != sender->Dialog()->FileLine)
            lines << sender->Dialog()->FileLine;
    };
    job(server, tpFtp, QStringLiteral("solo.txt"));
    job(server, tpMultiFtp, QStringLiteral("d/*.txt"));
    TTransferItem* up = job(server, tpFtpUpload, target.filePath(QStringLiteral("solo.txt")));
    up->TargetDir = QStringLiteral("up");
    EXPECT_TRUE(runToEnd(t));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("File : 1 of 3 : solo.txt from 127.0.0.1"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("File : 1 of 2 : "))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("File : 2 of 2 : "))) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(".txt from 127.0.0.1")));
    EXPECT_EQ(lines[3], QStringLiteral("File : 3 of 3 : solo.txt to 127.0.0.1"));
    EXPECT_EQ(t.Dialog()->Clip, TTransferClip::Upload);
}

TEST_F(FtpTransferTest, CancelledDownloadKeepsItsPartialFile)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("big.bin"), pattern(2000000));
    server.put(QStringLiteral("later.bin"), "later");
    t.OnCopyProgress = [](TTransfer* sender, int, quint32 done, quint32) {
        if (done >= 8192)
            sender->CancelClick();
    };
    TTransferItem* get = job(server, tpFtp, QStringLiteral("big.bin"));
    TTransferItem* later = job(server, tpFtp, QStringLiteral("later.bin"));
    EXPECT_TRUE(runToEnd(t));
    EXPECT_TRUE(get->Cancelled);
    EXPECT_FALSE(get->Success);
    EXPECT_FALSE(later->Success);
    const qint64 size = QFileInfo(target.filePath(QStringLiteral("big.bin"))).size();
    EXPECT_GE(size, 8192);
    EXPECT_LT(size, 2000000);
    EXPECT_FALSE(QFileInfo::exists(target.filePath(QStringLiteral("later.bin"))));
}

TEST_F(FtpTransferTest, ExistingTargetIsAskedAboutAndKeptWhenRefused)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("f.txt"), "remote");
    makeLocal(QStringLiteral("f.txt"), "mine");
    makeLocal(QStringLiteral("g.txt"), "mine too");
    t.CreateUniqueFilenames = true;
    t.OnCopyOverWrite = [](TTransfer*, const QString& path, bool& allow) { allow = path.endsWith("f.txt"); };
    TTransferItem* unique = job(server, tpFtp, QStringLiteral("f.txt"));
    TTransferItem* refused = job(server, tpFtp, QStringLiteral("f.txt"));
    refused->TargetFilename = QStringLiteral("g.txt");
    EXPECT_TRUE(runToEnd(t));
    EXPECT_TRUE(unique->Success);
    EXPECT_EQ(local(QStringLiteral("f.txt")), QByteArray("mine"));
    EXPECT_EQ(local(QStringLiteral("f(1).txt")), QByteArray("remote"));
    EXPECT_FALSE(refused->Success);
    EXPECT_EQ(local(QStringLiteral("g.txt")), QByteArray("mine too"));
    // The refused job did not leave the connection in a state the run trips over.
    EXPECT_TRUE(ev.errorCodes.isEmpty());
}

TEST_F(FtpTransferTest, CopyNewerOnlyComparesTheServerDate)
{
    FtpTestServer server;
    ASSERT_TRUE(server.ok());
    server.put(QStringLiteral("f.txt"), "fresh");
    int noNew = 0;
    t.OnNoNewFileFound = [&noNew](TTransfer*, const QString& name, double, double) {
        EXPECT_EQ(name, QStringLiteral("f.txt"));
        ++noNew;
    };
    TTransferItem* old = job(server, tpFtp, QStringLiteral("f.txt"));
    old->CopyNewerOnly = true;
    old->FileDate = 1;  // 1899: the server's file is newer
    old->TargetFilename = QStringLiteral("old.txt");
    TTransferItem* future = job(server, tpFtp, QStringLiteral("f.txt"));
    future->CopyNewerOnly = true;
    future->FileDate = 200000;  // 2447
    EXPECT_TRUE(runToEnd(t));
    EXPECT_TRUE(old->Success);
    EXPECT_EQ(local(QStringLiteral("old.txt")), QByteArray("fresh"));
    EXPECT_GT(old->NewFileDate, 40000);  // the server's date of the file
    EXPECT_FALSE(future->Success);
    EXPECT_TRUE(future->NoNewFile);
    EXPECT_EQ(noNew, 1);
    EXPECT_DOUBLE_EQ(future->NewFileDate, old->NewFileDate);
    EXPECT_FALSE(QFileInfo::exists(target.filePath(QStringLiteral("f.txt"))));
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
