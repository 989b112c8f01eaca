#include "Folders.h"

#include <QDir>
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

    EXPECT_EQ(Folders::WindowsFolder(), dir.path() + "/Brenmark/Windows");
    EXPECT_FALSE(QFileInfo::exists(Folders::WindowsFolder()));  // only named, not made
    const QString common = Folders::CommonDataFolder();
    EXPECT_EQ(common, dir.path() + "/Brenmark");
    EXPECT_TRUE(QFileInfo(common).isDir());

    // the programs we start see the same Windows folder
    Folders::ExportWindowsFolder();
    EXPECT_EQ(qEnvironmentVariable("windir"), dir.path() + "/Brenmark/Windows");

    qputenv("windir", (dir.path() + "/win/").toUtf8());
    EXPECT_EQ(Folders::WindowsFolder(), dir.path() + "/win");

    qputenv("XDG_DATA_HOME", "relative/share");  // ignored, as XDG asks
    EXPECT_EQ(Folders::DataHome(), QDir::homePath() + "/.local/share");
    qunsetenv("windir");
    qunsetenv("XDG_DATA_HOME");
}

}  // namespace
