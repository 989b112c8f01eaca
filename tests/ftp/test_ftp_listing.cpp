#include "FtpListing.h"
#include "TTransferItem.h"

#include <gtest/gtest.h>

namespace {

const QDate kToday(2026, 6, 15);

FtpListEntry listLine(const char* line)
{
    FtpListEntry entry;
    EXPECT_TRUE(parseListLine(QString::fromUtf8(line), kToday, entry)) << line;
    return entry;
}

QDateTime utc(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

}  // namespace

TEST(FtpListing, MachineListingFactsAndNames)
{
    const QByteArray data = "type=cdir;modify=20240101000000; .\r\n"
                            "type=pdir;modify=20240101000000; ..\r\n"
                            "Type=File;Size=1234;Modify=20240229235958.123; report 2024.txt\r\n"
                            "type=dir;sizd=4096;modify=20231105101500; sub dir\r\n"
                            "modify=20240101000000;perm=r;size=7;type=file;unique=x; semi;colon name\n"
                            "type=file;size=5; \r\n"
                            "this line is garbage\r\n"
                            "\r\n"
                            "type=OS.unix=slink:/x;size=3; link\r\n";
    const auto entries = parseMlsdListing(data);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].name, QStringLiteral("report 2024.txt"));
    EXPECT_FALSE(entries[0].isDir);
    EXPECT_EQ(entries[0].size, 1234u);
    EXPECT_EQ(entries[0].modified, QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58, 123), Qt::UTC));
    EXPECT_EQ(entries[1].name, QStringLiteral("sub dir"));
    EXPECT_TRUE(entries[1].isDir);
    EXPECT_EQ(entries[2].name, QStringLiteral("semi;colon name"));
    EXPECT_EQ(entries[2].size, 7u);
    // An empty name is reported as such, for the caller to refuse.
    EXPECT_TRUE(entries[3].name.isEmpty());
    EXPECT_EQ(entries[4].name, QStringLiteral("link"));
    EXPECT_FALSE(entries[4].modified.isValid());
}

TEST(FtpListing, MachineListingRejectsImpossibleDates)
{
    const auto entries = parseMlsdListing("type=file;size=1;modify=20241341256199; odd\r\n");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_FALSE(entries[0].modified.isValid());
}

TEST(FtpListing, UnixLinesWithAndWithoutGroupAndYear)
{
    FtpListEntry e = listLine("-rw-r--r--   1 owner    group        1234 Mar 01  2023 notes.txt");
    EXPECT_EQ(e.name, QStringLiteral("notes.txt"));
    EXPECT_EQ(e.size, 1234u);
    EXPECT_EQ(e.modified, utc(2023, 3, 1, 0, 0));

    e = listLine("-rw-r--r-- 1 ftp 99 Jun 14 09:05 no group.bin");
    EXPECT_EQ(e.name, QStringLiteral("no group.bin"));
    EXPECT_EQ(e.size, 99u);
    EXPECT_EQ(e.modified, utc(2026, 6, 14, 9, 5));

    // Without a year, a date after today belongs to last year.
    e = listLine("-rw-r--r-- 1 a b 5 Dec 24 18:00 later.txt");
    EXPECT_EQ(e.modified, utc(2025, 12, 24, 18, 0));

    e = listLine("drwxr-xr-x 2 a b 4096 Jan  2 03:04 folder");
    EXPECT_TRUE(e.isDir);
    EXPECT_EQ(e.name, QStringLiteral("folder"));

    e = listLine("lrwxrwxrwx 1 a b 11 Jan 02 2020 current -> release-1.2");
    EXPECT_EQ(e.name, QStringLiteral("current"));

    // A size above 4 GiB keeps all its digits.
    e = listLine("-rw-r--r-- 1 a b 5000000000 Jan 02 2020 big.iso");
    EXPECT_EQ(e.size, 5000000000ULL);
    EXPECT_EQ(ftpEntryToDetailItem(e).SizeHigh, 1u);
    EXPECT_EQ(ftpEntryToDetailItem(e).SizeLow, quint32(5000000000ULL & 0xffffffffULL));
}

TEST(FtpListing, DosLines)
{
    FtpListEntry e = listLine("02-29-24  01:30PM                 2048 setup.exe");
    EXPECT_EQ(e.name, QStringLiteral("setup.exe"));
    EXPECT_EQ(e.size, 2048u);
    EXPECT_EQ(e.modified, utc(2024, 2, 29, 13, 30));

    e = listLine("11-05-1999  12:10AM       <DIR>          Old Stuff");
    EXPECT_TRUE(e.isDir);
    EXPECT_EQ(e.name, QStringLiteral("Old Stuff"));
    EXPECT_EQ(e.modified, utc(1999, 11, 5, 0, 10));
}

TEST(FtpListing, ClassicListingSkipsGarbageAndDotEntries)
{
    const QByteArray data = "total 12\r\n"
                            "drwxr-xr-x 2 a b 4096 Jan 02 2020 .\r\n"
                            "drwxr-xr-x 2 a b 4096 Jan 02 2020 ..\r\n"
                            "-rw-r--r-- 1 a b 3 Jan 02 2020 ok.txt\r\n"
                            "-rw-r--r-- 1 a b x Jan 02 2020 bad size\r\n"
                            "-rw-r--r-- 1 a b 3 Foo 02 2020 bad month\r\n"
                            "-rw-r--r-- 1 a b 3 Jan 99 2020 bad day\r\n"
                            "13-45-24  01:30PM  5 bad dos date\r\n"
                            "\xff\xfe binary junk \x01\r\n"
                            "-rw-r--r--\r\n";
    const auto entries = parseListListing(data, kToday);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, QStringLiteral("ok.txt"));
}

TEST(FtpListing, PatternMatching)
{
    EXPECT_TRUE(ftpPatternMatches(QString(), QStringLiteral("any")));
    EXPECT_TRUE(ftpPatternMatches(QStringLiteral("*.*"), QStringLiteral("nodot")));
    EXPECT_TRUE(ftpPatternMatches(QStringLiteral("*.txt"), QStringLiteral("a.b.txt")));
    EXPECT_FALSE(ftpPatternMatches(QStringLiteral("*.txt"), QStringLiteral("a.txt.bak")));
    EXPECT_TRUE(ftpPatternMatches(QStringLiteral("r?port*"), QStringLiteral("report-1")));
    EXPECT_FALSE(ftpPatternMatches(QStringLiteral("r?port*"), QStringLiteral("rport")));
    EXPECT_TRUE(ftpPatternMatches(QStringLiteral("a*b*c"), QStringLiteral("aXXbYYbZc")));
    EXPECT_FALSE(ftpPatternMatches(QStringLiteral("exact"), QStringLiteral("Exact")));
    // Many stars against a long name must not take exponential time.
    EXPECT_FALSE(ftpPatternMatches(QStringLiteral("*a*a*a*a*a*a*a*a*b"), QString(200, QLatin1Char('a'))));
}

TEST(FtpListing, NamesThatMayBecomeLocalFiles)
{
    EXPECT_TRUE(isSafeListingName(QStringLiteral("report.txt")));
    for (const char* good : {".hidden", "a..b.txt", "..a", "a..", "...", "naïve.txt"})
        EXPECT_TRUE(isSafeListingName(QString::fromUtf8(good))) << good;
    for (const char* bad : {"", ".", "..", "../evil", "/abs", "a\\b", "a/b", "line\nbreak", "tab\tname", "del\x7f"})
        EXPECT_FALSE(isSafeListingName(QString::fromUtf8(bad))) << bad;
}

TEST(FtpListing, FileTimesCountFrom1601)
{
    EXPECT_EQ(ftpTimeToFileTime(utc(1970, 1, 1, 0, 0)), 116444736000000000ULL);
    EXPECT_EQ(ftpTimeToFileTime(utc(1601, 1, 1, 0, 0, 1)), 10000000ULL);
    EXPECT_EQ(ftpTimeToFileTime(QDateTime()), 0u);

    FtpListEntry dir;
    dir.isDir = true;
    dir.name = QStringLiteral("d");
    EXPECT_EQ(ftpEntryToDetailItem(dir).Attributes, 0x10u);
    dir.isDir = false;
    EXPECT_EQ(ftpEntryToDetailItem(dir).Attributes, 0x80u);
}
