#include "Folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(Folders, DataFoldersFollowXdgAndWindir)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    qunsetenv("windir");

    EXPECT_EQ(Folders::windowsFolder(), dir.path() + "/Brenmark/Windows");
    EXPECT_FALSE(QFileInfo::exists(Folders::windowsFolder()));  // only named, not made
    const QString common = Folders::commonDataFolder();
    EXPECT_EQ(common, dir.path() + "/Brenmark");
    EXPECT_TRUE(QFileInfo(common).isDir());

    // the programs we start see the same Windows folder
    Folders::exportWindowsFolder();
    EXPECT_EQ(qEnvironmentVariable("windir"), dir.path() + "/Brenmark/Windows");

    qputenv("windir", (dir.path() + "/win/").toUtf8());
    EXPECT_EQ(Folders::windowsFolder(), dir.path() + "/win");

    qputenv("XDG_DATA_HOME", "relative/share");  // ignored, as XDG asks
    EXPECT_EQ(Folders::dataHome(), QDir::homePath() + "/.local/share");
    qunsetenv("windir");
    qunsetenv("XDG_DATA_HOME");
}

}  // namespace

namespace {

TEST(Folders, EntriesMatchWithoutRegardToCase)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath("MSAgent/Chars");
    auto touch = [&](const QString& name) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };
    touch("MSAgent/Chars/Merlin.acs");
    touch("MSagent.exe");

    const struct {
        const char* asked;
        const char* found;  // relative to the folder; empty: none
    } cases[] = {
        {"msagent.exe", "MSagent.exe"},
        {"MSAGENT.EXE", "MSagent.exe"},
        {"msagent/chars/merlin.acs", "MSAgent/Chars/Merlin.acs"},
        {"msagent/chars", "MSAgent/Chars"},
        {"msagent/chars/genie.acs", ""},
        {"msagent/../MSagent.exe", ""},  // never leaves the folder
        {"", ""},
    };
    for (const auto& c : cases) {
        const QString expected = *c.found ? dir.path() + "/" + c.found : QString();
        EXPECT_EQ(Folders::findEntry(dir.path(), c.asked), expected) << c.asked;
        EXPECT_EQ(Folders::entryExists(dir.path(), c.asked), *c.found != 0) << c.asked;
    }

    // an exact spelling wins over another one that differs only in case
    touch("msagent.exe");
    EXPECT_EQ(Folders::findEntry(dir.path(), "msagent.exe"), dir.path() + "/msagent.exe");
    EXPECT_EQ(Folders::findEntry(dir.path(), "MSagent.exe"), dir.path() + "/MSagent.exe");
}

}  // namespace
