#include "Base64.h"
#include "TTransfer.h"
#include "TransferFormat.h"
#include "TransferNames.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace TransferNames;
using namespace TransferFormat;

namespace {
struct CLocale {
    CLocale() { QLocale::setDefault(QLocale::c()); }
};

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}
}  // namespace

TEST(TransferNames, FileNameIsTheLastComponent)
{
    EXPECT_EQ(urlFileName("http://host/dir/setup.exe"), "setup.exe");
    EXPECT_EQ(urlFileName("http://host/dir/"), "");
    EXPECT_EQ(urlFileName("C:\\dir\\a.txt"), "a.txt");
    EXPECT_EQ(urlFileName("a/b\\c/d\\e"), "e");
    EXPECT_EQ(urlFileName("http://host"), "host");
    EXPECT_EQ(urlFileName("http://host/f?x=/.."), "..");
}

TEST(TransferNames, HostDropsSchemeUserAndPath)
{
    EXPECT_EQ(urlHost("http://user:pw@host:8080/x/y"), "host:8080");
    EXPECT_EQ(urlHost("ftp://h"), "h");
    // An "@" after the path's start is not user information.
    EXPECT_EQ(urlHost("http://host/path@x"), "host");
    EXPECT_EQ(urlHost("host.example/a"), "host.example");
}

TEST(TransferNames, PathStartsAtTheFirstSlash)
{
    EXPECT_EQ(urlPath("http://host/a/b?c=d"), "/a/b?c=d");
    EXPECT_EQ(urlPath("http://u:p@host:81/a"), "/a");
    EXPECT_EQ(urlPath("http://host"), "host");
    EXPECT_EQ(urlPath("host/x@y/z"), "/z");
}

TEST(TransferNames, PromptHostKeepsUserInformation)
{
    EXPECT_EQ(promptHost("http://u:p@host:81/x"), "u:p@host:81");
    EXPECT_EQ(promptHost("host"), "host");
}

TEST(TransferNames, NetworkAddressEncodesAllButTheHost)
{
    const QList<QPair<QString, QByteArray>> cases{
        {"http://ü ser:p w@bücher.example:81/ä b?q=ö#f",
         "http://%C3%BC%20ser:p%20w@bücher.example:81/%C3%A4%20b?q=%C3%B6#f"},
        {"bücher.example/a b", "bücher.example/a%20b"},
        {"http://[::1]:8080/%41%zz%", "http://[::1]:8080/%41%25zz%25"},
        {"ftp://host/tab\there\x7f", "ftp://host/tab%09here%7F"},
        {"http://host", "http://host"},
    };
    for (const auto& [typed, sent] : cases)
        EXPECT_EQ(networkAddress(typed), sent) << typed.toStdString();
}

TEST(TransferNames, PathJoin)
{
    EXPECT_EQ(pathJoin("", "a"), "a");
    EXPECT_EQ(pathJoin("/d/", "a"), "/d/a");
    EXPECT_EQ(pathJoin("/d", "a"), "/d/a");
}

TEST(TransferNames, UniqueFileNameTakesTheFirstFreeNumber)
{
    QTemporaryDir dir;
    const QString setup = dir.filePath("setup.exe");
    touch(setup);
    EXPECT_EQ(uniqueFileName(setup), dir.filePath("setup(1).exe"));
    touch(dir.filePath("setup(1).exe"));
    EXPECT_EQ(uniqueFileName(setup), dir.filePath("setup(2).exe"));
    // A dot in a folder name is no extension.
    ASSERT_TRUE(QDir(dir.path()).mkdir("x.d"));
    EXPECT_EQ(uniqueFileName(dir.filePath("x.d/readme")), dir.filePath("x.d/readme(1)"));
}

TEST(TransferNames, ForceDirectoriesCreatesParents)
{
    QTemporaryDir dir;
    forceDirectories(dir.filePath("a/b/c/"));
    EXPECT_TRUE(QFileInfo(dir.filePath("a/b/c")).isDir());
}

TEST(TransferNames, SafeNamesStayInsideTheFolder)
{
    EXPECT_TRUE(isSafeFileName("setup.exe"));
    EXPECT_TRUE(isSafeFileName("..a"));
    EXPECT_FALSE(isSafeFileName(""));
    EXPECT_FALSE(isSafeFileName("."));
    EXPECT_FALSE(isSafeFileName(".."));
    EXPECT_FALSE(isSafeFileName("a/b"));
}

TEST(TransferNames, DateTimesCountDaysFrom1899)
{
    EXPECT_DOUBLE_EQ(dateTimeFromFields(QDate(1899, 12, 30), QTime(0, 0)), 0.0);
    EXPECT_DOUBLE_EQ(dateTimeFromFields(QDate(1900, 1, 1), QTime(12, 0)), 2.5);
    // A server date keeps its fields as sent (no time-zone conversion).
    EXPECT_NEAR(serverDateTime(784887151), 34653 + 29551.0 / 86400, 1e-9);
    const double before = nowDateTime();
    const double none = serverDateTime(-1);
    EXPECT_GE(none, before);
    EXPECT_LT(none - before, 1.0);
}

TEST(Base64, PadsTheLastGroup)
{
    EXPECT_EQ(base64Encode(""), "");
    EXPECT_EQ(base64Encode("a"), "YQ==");
    EXPECT_EQ(base64Encode("ab"), "YWI=");
    EXPECT_EQ(base64Encode("abc"), "YWJj");
    EXPECT_EQ(base64Encode("alice:s3cret"), "YWxpY2U6czNjcmV0");
    EXPECT_EQ(base64Encode(":pw"), "OnB3");
    EXPECT_EQ(base64Encode(QByteArray("\xff\xfe\x00\x80", 4)), "//4AgA==");
    EXPECT_EQ(base64Encode(QByteArray(57, 'x')).size(), 76);
}

TEST(TransferFormat, SizeUnitsAreDecimal)
{
    CLocale c;
    EXPECT_EQ(formatSize(0), "0 bytes");
    EXPECT_EQ(formatSize(999), "999 bytes");
    EXPECT_EQ(formatSize(1000), "1.00 Kb");
    EXPECT_EQ(formatSize(999999), "1000.00 Kb");
    EXPECT_EQ(formatSize(1000000), "1.00 Mb");
    EXPECT_EQ(formatSize(4294967295u), "4294.97 Mb");
}

TEST(TransferFormat, SizeUsesTheLocaleSeparatorWithoutGrouping)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(formatSize(1500), "1,50 Kb");
    EXPECT_EQ(formatSize(999999), "1000,00 Kb");
    QLocale::setDefault(QLocale::c());
}

TEST(TransferFormat, RateIsSigned)
{
    CLocale c;
    EXPECT_EQ(formatRate(-5), "-5 bytes/sec");
    EXPECT_EQ(formatRate(999), "999 bytes/sec");
    EXPECT_EQ(formatRate(1500), "1.50 Kb/sec");
    EXPECT_EQ(formatRate(2500000), "2.50 Mb/sec");
}

TEST(TransferFormat, TimeRoundsHalfToEven)
{
    EXPECT_EQ(formatTime(0, 0, 0), "0 sec.");
    EXPECT_EQ(formatTime(2500, 0, 0), "2 sec.");
    EXPECT_EQ(formatTime(3500, 0, 0), "4 sec.");
    EXPECT_EQ(formatTime(30000, 0, 0), "30 sec.");
    EXPECT_EQ(formatTime(31000, 0, 0), "1 minutes");
    EXPECT_EQ(formatTime(30 * 60000, 0, 0), "30 minutes");
    EXPECT_EQ(formatTime(31 * 60000, 0, 0), "0h 31");
    EXPECT_EQ(formatTime(90 * 60000, 0, 0), "1h 30");
}

TEST(TransferFormat, TimeLeftProjectsTheAverageRate)
{
    // 100 of 400 bytes in 1 s: 3 s to go.
    EXPECT_EQ(formatTime(1000, 100, 400), "3 sec.");
    EXPECT_EQ(formatTime(1000, 400, 400), "0 sec.");
    EXPECT_EQ(formatTime(60000, 1, 121), "2h 0");
    // No total to project from: no wrapped number.
    EXPECT_EQ(formatTime(1000, 100, 0), "unknown");
    EXPECT_EQ(formatTime(1000, 500, 400), "unknown");
}

TEST(TransferItems, DefaultsAndAssign)
{
    TTransfer transfer;
    EXPECT_EQ(transfer.Version(), "2.3.0.0");
    transfer.SetVersion("9.9");
    EXPECT_EQ(transfer.Version(), "2.3.0.0");
    EXPECT_EQ(transfer.Agent, "Linguaro Transfer");
    EXPECT_EQ(transfer.DlgFileLabel, "File :");

    TTransferItem* a = transfer.Items.Add();
    EXPECT_TRUE(a->Active);
    EXPECT_EQ(a->Authenticate, taNever);
    EXPECT_EQ(a->FTPPort, 21);
    EXPECT_EQ(a->Protocol, tpHttp);
    EXPECT_EQ(a->HTTPCommand, hcPost);
    EXPECT_FALSE(a->FileList);
    EXPECT_FALSE(a->FileDetails);
    a->URL = "http://h/x";
    a->FTPPort = 2121;
    a->Protocol = tpFile;
    a->HTTPPassword = "pw";
    a->Success = true;
    a->NewFileDate = 5;

    TTransferItem* b = transfer.Items.Add();
    b->Active = false;
    b->Assign(a);
    EXPECT_EQ(b->URL, "http://h/x");
    EXPECT_EQ(b->FTPPort, 2121);
    EXPECT_EQ(b->Protocol, tpFile);
    EXPECT_EQ(b->HTTPPassword, "pw");
    EXPECT_TRUE(b->Active);
    EXPECT_FALSE(b->Success);
    EXPECT_EQ(b->NewFileDate, 0);
    b->Assign(nullptr);
    EXPECT_EQ(b->URL, "http://h/x");

    transfer.Items[0].Active = false;
    EXPECT_EQ(transfer.Items.Count(), 2);
    EXPECT_EQ(transfer.Items.ActiveCount(), 1);
    transfer.Items.Clear();
    EXPECT_EQ(transfer.Items.Count(), 0);
}
