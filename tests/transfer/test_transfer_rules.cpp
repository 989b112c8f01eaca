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

void Touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}
}  // namespace

TEST(TransferNames, FileNameIsTheLastComponent)
{
    EXPECT_EQ(UrlFileName("http://host/dir/setup.exe"), "setup.exe");
    EXPECT_EQ(UrlFileName("http://host/dir/"), "");
    EXPECT_EQ(UrlFileName("C:\\dir\\a.txt"), "a.txt");
    EXPECT_EQ(UrlFileName("a/b\\c/d\\e"), "e");
    EXPECT_EQ(UrlFileName("http://host"), "host");
    EXPECT_EQ(UrlFileName("http://host/f?x=/.."), "..");
}

TEST(TransferNames, HostDropsSchemeUserAndPath)
{
    EXPECT_EQ(UrlHost("http://user:pw@host:8080/x/y"), "host:8080");
    EXPECT_EQ(UrlHost("ftp://h"), "h");
    // An "@" after the path's start is not user information.
    EXPECT_EQ(UrlHost("http://host/path@x"), "host");
    EXPECT_EQ(UrlHost("host.example/a"), "host.example");
}

TEST(TransferNames, PathStartsAtTheFirstSlash)
{
    EXPECT_EQ(UrlPath("http://host/a/b?c=d"), "/a/b?c=d");
    EXPECT_EQ(UrlPath("http://u:p@host:81/a"), "/a");
    EXPECT_EQ(UrlPath("http://host"), "host");
    EXPECT_EQ(UrlPath("host/x@y/z"), "/z");
}

TEST(TransferNames, PromptHostKeepsUserInformation)
{
    EXPECT_EQ(PromptHost("http://u:p@host:81/x"), "u:p@host:81");
    EXPECT_EQ(PromptHost("host"), "host");
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
        EXPECT_EQ(NetworkAddress(typed), sent) << typed.toStdString();
}

TEST(TransferNames, PathJoin)
{
    EXPECT_EQ(PathJoin("", "a"), "a");
    EXPECT_EQ(PathJoin("/d/", "a"), "/d/a");
    EXPECT_EQ(PathJoin("/d", "a"), "/d/a");
}

TEST(TransferNames, UniqueFileNameTakesTheFirstFreeNumber)
{
    QTemporaryDir dir;
    const QString setup = dir.filePath("setup.exe");
    Touch(setup);
    EXPECT_EQ(UniqueFileName(setup), dir.filePath("setup(1).exe"));
    Touch(dir.filePath("setup(1).exe"));
    EXPECT_EQ(UniqueFileName(setup), dir.filePath("setup(2).exe"));
    // A dot in a folder name is no extension.
    ASSERT_TRUE(QDir(dir.path()).mkdir("x.d"));
    EXPECT_EQ(UniqueFileName(dir.filePath("x.d/readme")), dir.filePath("x.d/readme(1)"));
}

TEST(TransferNames, ForceDirectoriesCreatesParents)
{
    QTemporaryDir dir;
    ForceDirectories(dir.filePath("a/b/c/"));
    EXPECT_TRUE(QFileInfo(dir.filePath("a/b/c")).isDir());
}

TEST(TransferNames, SafeNamesStayInsideTheFolder)
{
    EXPECT_TRUE(IsSafeFileName("setup.exe"));
    EXPECT_TRUE(IsSafeFileName("..a"));
    EXPECT_FALSE(IsSafeFileName(""));
    EXPECT_FALSE(IsSafeFileName("."));
    EXPECT_FALSE(IsSafeFileName(".."));
    EXPECT_FALSE(IsSafeFileName("a/b"));
}

TEST(TransferNames, DateTimesCountDaysFrom1899)
{
    EXPECT_DOUBLE_EQ(DateTimeFromFields(QDate(1899, 12, 30), QTime(0, 0)), 0.0);
    EXPECT_DOUBLE_EQ(DateTimeFromFields(QDate(1900, 1, 1), QTime(12, 0)), 2.5);
    // A server date keeps its fields as sent (no time-zone conversion).
    EXPECT_NEAR(ServerDateTime(784887151), 34653 + 29551.0 / 86400, 1e-9);
    const double before = NowDateTime();
    const double none = ServerDateTime(-1);
    EXPECT_GE(none, before);
    EXPECT_LT(none - before, 1.0);
}

TEST(Base64, PadsTheLastGroup)
{
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("a"), "YQ==");
    EXPECT_EQ(Base64Encode("ab"), "YWI=");
    EXPECT_EQ(Base64Encode("abc"), "YWJj");
    EXPECT_EQ(Base64Encode("alice:s3cret"), "YWxpY2U6czNjcmV0");
    EXPECT_EQ(Base64Encode(":pw"), "OnB3");
    EXPECT_EQ(Base64Encode(QByteArray("\xff\xfe\x00\x80", 4)), "//4AgA==");
    EXPECT_EQ(Base64Encode(QByteArray(57, 'x')).size(), 76);
}

TEST(TransferFormat, SizeUnitsAreDecimal)
{
    CLocale c;
    EXPECT_EQ(FormatSize(0), "0 bytes");
    EXPECT_EQ(FormatSize(999), "999 bytes");
    EXPECT_EQ(FormatSize(1000), "1.00 Kb");
    EXPECT_EQ(FormatSize(999999), "1000.00 Kb");
    EXPECT_EQ(FormatSize(1000000), "1.00 Mb");
    EXPECT_EQ(FormatSize(4294967295u), "4294.97 Mb");
}

TEST(TransferFormat, SizeUsesTheLocaleSeparatorWithoutGrouping)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatSize(1500), "1,50 Kb");
    EXPECT_EQ(FormatSize(999999), "1000,00 Kb");
    QLocale::setDefault(QLocale::c());
}

TEST(TransferFormat, RateIsSigned)
{
    CLocale c;
    EXPECT_EQ(FormatRate(-5), "-5 bytes/sec");
    EXPECT_EQ(FormatRate(999), "999 bytes/sec");
    EXPECT_EQ(FormatRate(1500), "1.50 Kb/sec");
    EXPECT_EQ(FormatRate(2500000), "2.50 Mb/sec");
}

TEST(TransferFormat, TimeRoundsHalfToEven)
{
    EXPECT_EQ(FormatTime(0, 0, 0), "0 sec.");
    EXPECT_EQ(FormatTime(2500, 0, 0), "2 sec.");
    EXPECT_EQ(FormatTime(3500, 0, 0), "4 sec.");
    EXPECT_EQ(FormatTime(30000, 0, 0), "30 sec.");
    EXPECT_EQ(FormatTime(31000, 0, 0), "1 minutes");
    EXPECT_EQ(FormatTime(30 * 60000, 0, 0), "30 minutes");
    EXPECT_EQ(FormatTime(31 * 60000, 0, 0), "0h 31");
    EXPECT_EQ(FormatTime(90 * 60000, 0, 0), "1h 30");
}

TEST(TransferFormat, TimeLeftProjectsTheAverageRate)
{
    // 100 of 400 bytes in 1 s: 3 s to go.
    EXPECT_EQ(FormatTime(1000, 100, 400), "3 sec.");
    EXPECT_EQ(FormatTime(1000, 400, 400), "0 sec.");
    EXPECT_EQ(FormatTime(60000, 1, 121), "2h 0");
    // No total to project from: no wrapped number.
    EXPECT_EQ(FormatTime(1000, 100, 0), "unknown");
    EXPECT_EQ(FormatTime(1000, 500, 400), "unknown");
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
