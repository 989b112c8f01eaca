// Replacing a file whole: what is left at the name, behind a link and beside
// it, and the reason given when it cannot be done.
#include "AtomicFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A folder no one may create files in; root passes any permission bits, so there the
// kernel's own folder, whose reason is then asked of the system itself.
struct Unwritable {
    QString folder;
    QString reason = QString::fromLocal8Bit(std::strerror(EACCES));
    explicit Unwritable(const QString& own)
    {
        if (::geteuid() != 0) {
            folder = own + QStringLiteral("/locked");
            QDir().mkdir(folder);
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            return;
        }
        folder = QStringLiteral("/sys");
        const int fd = ::open("/sys/.probe", O_WRONLY | O_CREAT | O_EXCL, 0600);
        reason = fd < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QString();
        if (fd >= 0)
            ::close(fd);
    }
};

struct Case {
    const char* what;
    // makes what the folder holds; returns the path to write
    std::function<QString(const QString& dir)> prepare;
    AtomicFile::Link link;
    QString reason;  // empty: written
    // checks the folder afterwards
    std::function<void(const QString& dir)> check;
};

}  // namespace

TEST(AtomicFile, ReplacesWholeAndNeverThroughAPlantedLink)
{
    QTemporaryDir temporary;
    ASSERT_TRUE(temporary.isValid());
    const Unwritable locked(temporary.path());
    const std::vector<Case> cases{
        {"a link planted at the name is replaced; what it led to stays",
         [](const QString& dir) {
             put(dir + "/victim", "secret");
             QFile::link(dir + "/victim", dir + "/out");
             return dir + "/out";
         },
         AtomicFile::Link::Replace, {},
         [](const QString& dir) {
             EXPECT_FALSE(QFileInfo(dir + "/out").isSymLink());
             EXPECT_EQ(contents(dir + "/out"), "new");
             EXPECT_EQ(contents(dir + "/victim"), "secret");
         }},
        {"the user's own settings link is followed and stays a link",
         [](const QString& dir) {
             QDir(dir).mkdir("dotfiles");
             put(dir + "/dotfiles/settings", "old");
             QFile::link(dir + "/dotfiles/settings", dir + "/settings");
             return dir + "/settings";
         },
         AtomicFile::Link::Follow, {},
         [](const QString& dir) {
             EXPECT_TRUE(QFileInfo(dir + "/settings").isSymLink());
             EXPECT_EQ(contents(dir + "/dotfiles/settings"), "new");
             EXPECT_TRUE(QDir(dir + "/dotfiles").entryList(QDir::Hidden | QDir::Files).size() == 1);
         }},
        {"a replaced program stays runnable",
         [](const QString& dir) {
             put(dir + "/tool", "old");
             QFile::setPermissions(dir + "/tool", QFile::permissions(dir + "/tool") | QFileDevice::ExeOwner);
             return dir + "/tool";
         },
         AtomicFile::Link::Replace, {},
         [](const QString& dir) {
             EXPECT_TRUE(QFile::permissions(dir + "/tool") & QFileDevice::ExeOwner);
             EXPECT_EQ(contents(dir + "/tool"), "new");
         }},
        {"a folder at the name is left alone",
         [](const QString& dir) {
             QDir(dir).mkdir("folder");
             return dir + "/folder";
         },
         AtomicFile::Link::Replace, QString::fromLocal8Bit(std::strerror(EISDIR)),
         [](const QString& dir) { EXPECT_TRUE(QFileInfo(dir + "/folder").isDir()); }},
        {"a missing folder", [](const QString& dir) { return dir + "/missing/file"; }, AtomicFile::Link::Replace,
         QString::fromLocal8Bit(std::strerror(ENOENT)), [](const QString&) {}},
        {"a folder that cannot be written in", [&](const QString&) { return locked.folder + "/file"; },
         AtomicFile::Link::Replace, locked.reason, [](const QString&) {}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString dir = temporary.filePath(QString::number(n++));
        ASSERT_TRUE(QDir().mkdir(dir));
        const QString path = c.prepare(dir);
        const QString reason = AtomicFile::writeWhole(path, "new", c.link);
        EXPECT_EQ(reason.toStdString(), c.reason.toStdString());
        c.check(dir);
        // nothing is left beside the target, written or not
        const QFileInfoList left = QDir(dir).entryInfoList(QDir::Hidden | QDir::Files | QDir::System);
        for (const QFileInfo& file : left)
            EXPECT_FALSE(file.fileName().endsWith(".part")) << file.fileName().toStdString();
    }
}
