#include "WindowsVersion.h"

#include <gtest/gtest.h>

namespace {

using namespace WindowsVersion;

int detect(const char* pretended)
{
    const auto q = parse(QString::fromLatin1(pretended));
    EXPECT_TRUE(q.has_value()) << pretended;
    return q ? detect(*q) : -1;
}

TEST(WindowsVersionTable, EveryRowFromItsPretendedVersion)
{
    const std::pair<const char*, int> rows[] = {{"other", 0},
                                                {"9x 4.0", 1},
                                                {"9x 4.0 B", 1},
                                                {"9x 4.0 C", 2},
                                                {"9x 4.3  C", 2},
                                                {"9x 4.9 xxC", 1},
                                                {"9x 4.10", 3},
                                                {"9x 4.10 A", 4},
                                                {"9x 4.89 xA", 4},
                                                {"9x 4.10 B A", 3},
                                                {"9x 4.90", 5},
                                                {"9x 4.99 A", 5},
                                                {"9x 4.100", 0},
                                                {"9x 5.0", 0},
                                                {"nt 3.51 workstation", 6},
                                                {"nt 4.0 workstation", 6},
                                                {"nt 4.0 server", 7},
                                                {"nt 5.0 workstation", 8},
                                                {"nt 5.0 server", 9},
                                                {"nt 5.1 workstation", 10},
                                                {"nt 5.1 server", 11},
                                                {"nt 5.2 server", 12},
                                                {"nt 5.2 workstation", 10},
                                                {"nt 6.0 workstation", 13},
                                                {"nt 6.0 server", 14},
                                                {"nt 6.1 workstation", 15},
                                                {"nt 6.1 server", 16},
                                                {"nt 6.2 workstation", 17},
                                                {"nt 6.2 server", 18},
                                                {"nt 6.3 workstation", 19},
                                                {"nt 6.3 server", 20},
                                                {"nt 6.4 workstation", 21},
                                                {"nt 6.4 server", 22},
                                                {"nt 6.5 workstation", 10},
                                                {"nt 10.0 workstation", 10},
                                                {"nt 5.3 server", 10}};
    for (const auto& [text, index] : rows)
        EXPECT_EQ(detect(text), index) << text;
}

TEST(WindowsVersionTable, NamesAndAgentRange)
{
    EXPECT_EQ(name(0), "Microsoft Windows 3.11");
    EXPECT_EQ(name(4), "Microsoft Windows 98 Second Edition");
    EXPECT_EQ(name(13), "Microsoft Windows Vista");
    EXPECT_EQ(name(22), "Microsoft Windows Server 2016");
    EXPECT_EQ(name(23), "");
    EXPECT_EQ(name(-1), "");
    for (int i = 0; i < Count; ++i)
        EXPECT_EQ(agentUnavailable(i), i >= 17) << i;
}

TEST(WindowsVersionTable, AboveSixPointZero)
{
    EXPECT_FALSE(aboveSixPointZero(*parse("nt 6.0 server")));
    EXPECT_TRUE(aboveSixPointZero(*parse("nt 6.1 workstation")));
    EXPECT_TRUE(aboveSixPointZero(*parse("nt 10.0 workstation")));
    EXPECT_FALSE(aboveSixPointZero(*parse("nt 5.2 server")));
    EXPECT_FALSE(aboveSixPointZero(Query{}));  // Linux
}

TEST(WindowsVersionTable, PretendedVersionFromTheEnvironment)
{
    qputenv("LINGUARO_WINVER", "nt 6.1 workstation wow64");
    Query q = current();
    EXPECT_EQ(q.platform, Platform::NT);
    EXPECT_TRUE(q.wow64);
    EXPECT_EQ(detect(q), 15);

    qputenv("LINGUARO_WINVER", "9x 4.10 A");
    EXPECT_EQ(current().service, "A");
    EXPECT_EQ(detect(current()), 4);

    // anything unreadable is ignored: the machine is what it is
    for (const char* bad : {"nt", "nt six", "nt 6.1 laptop", "os2 4.0", "9x 4", "nt 6.-1 server", "other 1"}) {
        qputenv("LINGUARO_WINVER", bad);
        EXPECT_FALSE(parse(QString::fromLatin1(bad)).has_value()) << bad;
        EXPECT_EQ(detect(current()), 0) << bad;
        EXPECT_FALSE(current().wow64);
    }
    qunsetenv("LINGUARO_WINVER");
    EXPECT_EQ(detect(current()), 0);
}

}  // namespace
