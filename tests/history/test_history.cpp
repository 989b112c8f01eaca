// The history against real SQLite files in a temporary folder, written by
// this process and by forked ones at once, and by one killed half-way.

#include "History.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QDateTime At(int minute) { return QDateTime(QDate(2026, 3, 1), QTime(10, 0), Qt::UTC).addSecs(minute * 60); }

HistoryEntry Entry(const QString& source, const QString& translation, int minute = -1)
{
    HistoryEntry entry;
    entry.sourceCode = QStringLiteral("FR");
    entry.targetCode = QStringLiteral("EN");
    entry.source = source;
    entry.translation = translation;
    entry.origin = HistoryEntry::Origin::CommandLine;
    if (minute >= 0)
        entry.time = At(minute);
    return entry;
}

QList<HistoryChunk> Pieces(const QString& source, const QString& translation, int count)
{
    QList<HistoryChunk> chunks;
    for (int i = 0; i < count; ++i)
        chunks << HistoryChunk{source + QString::number(i), translation + QString::number(i),
                               QStringLiteral("http://127.0.0.1:1/"), QStringLiteral("1.0")};
    return chunks;
}

QStringList Sources(const QList<HistoryEntry>& entries)
{
    QStringList sources;
    for (const HistoryEntry& entry : entries)
        sources << entry.source;
    return sources;
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What SQLite itself says of a file, through a connection of its own.
QString Pragma(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* statement = nullptr;
    QString answer = QStringLiteral("(no answer)");
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW)
            answer = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        else if (rc == SQLITE_DONE)
            answer = QStringLiteral("ok");
        else
            answer = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return answer;
}

class HistoryTest : public ::testing::Test {
protected:
    QString path() const { return m_folder.filePath(QStringLiteral("history.sqlite")); }
    QTemporaryDir m_folder;
};

TEST_F(HistoryTest, SearchIgnoresCaseAndAccentsAndListsNewestFirst)
{
    {
        History history(path());
        // recorded out of time order: the list goes by time
        const QList<HistoryEntry> entries = {
            Entry(QStringLiteral("Un café crème"), QStringLiteral("A coffee with cream"), 5),
            Entry(QStringLiteral("Le garçon est naïf"), QStringLiteral("The boy is naive"), 1),
            Entry(QStringLiteral("東京都に行きます"), QStringLiteral("I go to Tokyo"), 9),
            Entry(QStringLiteral("ÉCOLE ÉLÉMENTAIRE"), QStringLiteral("Primary school"), 3),
            Entry(QStringLiteral("C'est 50% moins cher"), QStringLiteral("It is 50% cheaper"), 7),
        };
        for (HistoryEntry entry : entries) {
            ASSERT_TRUE(history.record(entry, Pieces(entry.source, entry.translation, 1))) << history.problem().toStdString();
            EXPECT_GT(entry.id, 0);
        }
    }
    // a second opening reads what the first wrote
    History history(path());
    const struct {
        const char* words;
        QStringList sources;
    } cases[] = {
        {"", {"東京都に行きます", "C'est 50% moins cher", "Un café crème", "ÉCOLE ÉLÉMENTAIRE", "Le garçon est naïf"}},
        {"   ", {"東京都に行きます", "C'est 50% moins cher", "Un café crème", "ÉCOLE ÉLÉMENTAIRE", "Le garçon est naïf"}},
        {"cafe", {"Un café crème"}},
        {"CAFÉ", {"Un café crème"}},
        {"crème CAFE", {"Un café crème"}},
        {"caf", {"Un café crème"}},
        {"ecole", {"ÉCOLE ÉLÉMENTAIRE"}},
        {"élémentaire école", {"ÉCOLE ÉLÉMENTAIRE"}},
        {"naive", {"Le garçon est naïf"}},
        {"naïf garcon", {"Le garçon est naïf"}},
        {"COFFEE", {"Un café crème"}},
        {"東京", {"東京都に行きます"}},
        {"東京都", {"東京都に行きます"}},
        {"行きます", {"東京都に行きます"}},
        {"tokyo", {"東京都に行きます"}},
        {"cafe boy", {}},
        {"zzz", {}},
        {"\"", {}},
        {"50%", {"C'est 50% moins cher"}},
        {"OR", {}},
        {"NEAR(", {}},
    };
    for (const auto& c : cases) {
        const QList<HistoryEntry> found = history.search(QString::fromUtf8(c.words));
        EXPECT_EQ(Sources(found), c.sources) << "search for '" << c.words << "'";
    }
    const QList<HistoryEntry> newest = history.search(QString(), 2);
    ASSERT_EQ(newest.size(), 2);
    EXPECT_EQ(newest.at(0).time, At(9));
    EXPECT_EQ(newest.at(0).sourceCode, QStringLiteral("FR"));
    EXPECT_EQ(newest.at(0).origin, HistoryEntry::Origin::CommandLine);
    EXPECT_EQ(history.chunks(newest.at(0).id).size(), 1);
    EXPECT_TRUE(history.takeNotice().isEmpty());
}

TEST_F(HistoryTest, FileIsPrivateAndWrittenAhead)
{
    History history(path());
    HistoryEntry entry = Entry(QStringLiteral("Bonjour"), QStringLiteral("Hello"));
    ASSERT_TRUE(history.record(entry, {}));
    EXPECT_EQ(QFile::permissions(path()) & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
              QFileDevice::Permissions());
    EXPECT_EQ(Pragma(path(), "PRAGMA journal_mode"), QStringLiteral("wal"));
    EXPECT_EQ(Pragma(path(), "PRAGMA user_version"), QString::number(History::SchemaVersion));
}

TEST_F(HistoryTest, BoundsDropTheOldestFirst)
{
    {
        History history(path(), {5, 200LL * 1024 * 1024});
        QList<qint64> ids;
        for (int i = 0; i < 8; ++i) {
            HistoryEntry entry = Entry(QStringLiteral("phrase %1").arg(i), QStringLiteral("sentence %1").arg(i), i);
            ASSERT_TRUE(history.record(entry, Pieces(QStringLiteral("p"), QStringLiteral("s"), 2)));
            ids << entry.id;
        }
        EXPECT_EQ(history.count(), 5);
        EXPECT_EQ(Sources(history.search(QStringLiteral("phrase"))),
                  QStringList({"phrase 7", "phrase 6", "phrase 5", "phrase 4", "phrase 3"}));
        EXPECT_TRUE(history.chunks(ids.at(0)).isEmpty());
        EXPECT_EQ(history.chunks(ids.at(7)).size(), 2);
    }
    // the file stays within its size: the oldest go, the newest stays
    const QString sized = m_folder.filePath(QStringLiteral("sized.sqlite"));
    const qint64 limit = 400 * 1024;
    History history(sized, {100000, limit});
    for (int i = 0; i < 120; ++i) {
        QString text;
        for (int word = 0; word < 600; ++word)
            text += QStringLiteral("w%1x%2 ").arg(i).arg(word);
        HistoryEntry entry = Entry(QStringLiteral("entry%1 ").arg(i) + text, text, i);
        ASSERT_TRUE(history.record(entry, Pieces(text, text, 1))) << history.problem().toStdString();
        const qint64 used = (Pragma(sized, "PRAGMA page_count").toLongLong() - Pragma(sized, "PRAGMA freelist_count").toLongLong())
            * Pragma(sized, "PRAGMA page_size").toLongLong();
        ASSERT_LE(used, limit) << "after entry " << i;
    }
    const QList<HistoryEntry> left = history.search(QString(), 1000);
    ASSERT_FALSE(left.isEmpty());
    EXPECT_LT(left.size(), 120);
    EXPECT_TRUE(left.first().source.startsWith(QStringLiteral("entry119 ")));
    // what is left is the newest, without gaps
    for (qsizetype i = 0; i < left.size(); ++i)
        EXPECT_TRUE(left.at(i).source.startsWith(QStringLiteral("entry%1 ").arg(119 - i)));
}

TEST_F(HistoryTest, RemoveAndClear)
{
    History history(path());
    QList<qint64> ids;
    for (const char* source : {"alpha one", "alpha two", "alpha three"}) {
        HistoryEntry entry = Entry(QString::fromUtf8(source), QStringLiteral("x"));
        ASSERT_TRUE(history.record(entry, Pieces(QStringLiteral("a"), QStringLiteral("b"), 3)));
        ids << entry.id;
    }
    ASSERT_TRUE(history.remove({ids.at(1)}));
    EXPECT_EQ(Sources(history.search(QStringLiteral("alpha"))), QStringList({"alpha three", "alpha one"}));
    EXPECT_TRUE(history.search(QStringLiteral("two")).isEmpty());
    EXPECT_TRUE(history.chunks(ids.at(1)).isEmpty());
    ASSERT_TRUE(history.clear());
    EXPECT_EQ(history.count(), 0);
    EXPECT_TRUE(history.search(QStringLiteral("alpha")).isEmpty());
    EXPECT_TRUE(history.search(QString()).isEmpty());
    EXPECT_EQ(Pragma(path(), "SELECT count(*) FROM chunks"), QStringLiteral("0"));
    HistoryEntry after = Entry(QStringLiteral("alpha again"), QStringLiteral("y"));
    ASSERT_TRUE(history.record(after, {}));
    EXPECT_EQ(Sources(history.search(QStringLiteral("alpha"))), QStringList({"alpha again"}));
    EXPECT_EQ(Pragma(path(), "PRAGMA integrity_check"), QStringLiteral("ok"));
}

TEST_F(HistoryTest, BadFilesAreNeverOverwritten)
{
    const QString other = m_folder.filePath(QStringLiteral("elsewhere.txt"));
    const struct {
        const char* name;
        std::function<void()> make;
        bool available;
        bool movedAside;
        const char* problem;
    } cases[] = {
        {"not a database",
         [&] {
             QFile file(path());
             file.open(QIODevice::WriteOnly);
             file.write(QByteArray("these are the user's own words, not a database\n").repeated(200));
         },
         true, true, ""},
        {"damaged database",
         [&] {
             {
                 History history(path());
                 for (int i = 0; i < 20; ++i) {
                     HistoryEntry entry = Entry(QStringLiteral("text %1").arg(i), QStringLiteral("texte"));
                     history.record(entry, {});
                 }
             }
             // the first page's table of tables garbled
             QFile file(path());
             file.open(QIODevice::ReadWrite);
             file.seek(100);
             file.write(QByteArray(3000, '\x5a'));
         },
         true, true, ""},
        {"symbolic link",
         [&] {
             QFile file(other);
             file.open(QIODevice::WriteOnly);
             file.write("a file of the user's that the link points at");
             file.close();
             QFile::link(other, path());
         },
         false, false, "symbolic link"},
        {"written by a newer version",
         [&] {
             {
                 History history(path());
                 HistoryEntry entry = Entry(QStringLiteral("a"), QStringLiteral("b"));
                 history.record(entry, {});
             }
             Pragma(path(), "PRAGMA user_version=99");
         },
         false, false, "newer version"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path());
        QFile::remove(other);
        for (const QString& name : QDir(m_folder.path()).entryList({QStringLiteral("*.broken-*")}, QDir::Files))
            QFile::remove(m_folder.filePath(name));
        c.make();
        const QByteArray before = Contents(path());
        const QByteArray pointedAt = Contents(other);

        History history(path());
        HistoryEntry entry = Entry(QStringLiteral("Merci"), QStringLiteral("Thanks"));
        EXPECT_EQ(history.record(entry, {}), c.available) << history.problem().toStdString();
        EXPECT_TRUE(history.problem().contains(QLatin1String(c.problem))) << history.problem().toStdString();
        EXPECT_EQ(!history.movedAside().isEmpty(), c.movedAside);
        const QString notice = history.takeNotice();
        EXPECT_EQ(notice.isEmpty(), c.available && !c.movedAside) << notice.toStdString();
        EXPECT_TRUE(history.takeNotice().isEmpty()) << "said once";
        if (c.movedAside) {
            EXPECT_EQ(Contents(history.movedAside()), before);
            EXPECT_TRUE(notice.contains(history.movedAside()));
            EXPECT_EQ(Sources(history.search(QString())), QStringList({"Merci"}));
        } else {
            EXPECT_EQ(Contents(path()), before);
        }
        EXPECT_EQ(Contents(other), pointedAt);
        if (QString(QLatin1String(c.name)) == QLatin1String("symbolic link")) {
            EXPECT_TRUE(QFileInfo(path()).isSymLink());
        }
    }
}

TEST_F(HistoryTest, LockHeldElsewhereMakesTheHistoryUnavailableOnce)
{
    {
        History history(path());
        HistoryEntry entry = Entry(QStringLiteral("before"), QStringLiteral("avant"));
        ASSERT_TRUE(history.record(entry, {}));
    }
    // a program that took the write lock and hangs
    sqlite3* hung = nullptr;
    sqlite3_open(QFile::encodeName(path()).constData(), &hung);
    ASSERT_EQ(sqlite3_exec(hung, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    History history(path(), {}, 100);
    HistoryEntry entry = Entry(QStringLiteral("during"), QStringLiteral("pendant"));
    EXPECT_FALSE(history.record(entry, {}));
    EXPECT_TRUE(history.problem().contains(QLatin1String("locked"))) << history.problem().toStdString();
    EXPECT_FALSE(history.takeNotice().isEmpty());
    EXPECT_TRUE(history.takeNotice().isEmpty());
    EXPECT_FALSE(history.record(entry, {}));
    sqlite3_exec(hung, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(hung);
    EXPECT_EQ(Pragma(path(), "SELECT count(*) FROM entries"), QStringLiteral("1"));
}

// A child process that records `count` translations tagged `tag`, telling the
// pipe after each; count < 0 writes until it is killed.
pid_t Writer(const QString& path, const QString& tag, int count, int pipeOut = -1)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    History history(path);
    for (int i = 0; count < 0 || i < count; ++i) {
        HistoryEntry entry = Entry(QStringLiteral("%1-%2").arg(tag).arg(i), QStringLiteral("translated %1").arg(i));
        if (!history.record(entry, Pieces(entry.source, entry.translation, 3)))
            ::_exit(1);
        if (pipeOut >= 0 && ::write(pipeOut, "+", 1) != 1)
            ::_exit(1);
    }
    ::_exit(0);
}

int ExitCode(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(HistoryTest, TwoProcessesWriteAtOnceWithoutLosingAnEntry)
{
    const int each = 60;
    const pid_t first = Writer(path(), QStringLiteral("first"), each);
    const pid_t second = Writer(path(), QStringLiteral("second"), each);
    EXPECT_EQ(ExitCode(first), 0);
    EXPECT_EQ(ExitCode(second), 0);

    History history(path());
    const QList<HistoryEntry> entries = history.search(QString(), 10 * each);
    std::set<QString> sources;
    for (const HistoryEntry& entry : entries) {
        sources.insert(entry.source);
        EXPECT_EQ(history.chunks(entry.id).size(), 3);
    }
    EXPECT_EQ(entries.size(), 2 * each);
    EXPECT_EQ(sources.size(), size_t(2 * each));
    for (int i = 0; i < each; ++i) {
        EXPECT_TRUE(sources.count(QStringLiteral("first-%1").arg(i)));
        EXPECT_TRUE(sources.count(QStringLiteral("second-%1").arg(i)));
    }
}

TEST_F(HistoryTest, KilledDuringWritesLeavesASoundFileWithEveryFinishedEntry)
{
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t writer = Writer(path(), QStringLiteral("killed"), -1, pipe[1]);
    ::close(pipe[1]);
    const int finished = 40;
    char told = 0;
    for (int i = 0; i < finished; ++i)
        ASSERT_EQ(::read(pipe[0], &told, 1), 1);
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    ::close(pipe[0]);

    EXPECT_EQ(Pragma(path(), "PRAGMA integrity_check"), QStringLiteral("ok"));
    EXPECT_EQ(Pragma(path(), "INSERT INTO entries_text(entries_text) VALUES ('integrity-check')"), QStringLiteral("ok"));
    History history(path());
    const QList<HistoryEntry> entries = history.search(QString(), 100000);
    std::set<QString> sources;
    for (const HistoryEntry& entry : entries) {
        sources.insert(entry.source);
        EXPECT_EQ(history.chunks(entry.id).size(), 3) << "a translation is written whole or not at all";
    }
    for (int i = 0; i < finished; ++i)
        EXPECT_TRUE(sources.count(QStringLiteral("killed-%1").arg(i))) << i;
    EXPECT_TRUE(history.takeNotice().isEmpty());
}

}  // namespace
