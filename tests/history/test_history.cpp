// The history against real SQLite files in a temporary folder, written by
// this process and by forked ones at once, and by one killed half-way.

#include "History.h"
#include "HistoryMemory.h"
#include "TmxFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QDateTime at(int minute) { return QDateTime(QDate(2026, 3, 1), QTime(10, 0), Qt::UTC).addSecs(minute * 60); }

HistoryEntry entryOf(const QString& source, const QString& translation, int minute = -1)
{
    HistoryEntry entry;
    entry.sourceCode = QStringLiteral("FR");
    entry.targetCode = QStringLiteral("EN");
    entry.source = source;
    entry.translation = translation;
    entry.origin = HistoryEntry::Origin::CommandLine;
    if (minute >= 0)
        entry.time = at(minute);
    return entry;
}

QList<HistoryChunk> pieces(const QString& source, const QString& translation, int count)
{
    QList<HistoryChunk> chunks;
    for (int i = 0; i < count; ++i)
        chunks << HistoryChunk{source + QString::number(i), translation + QString::number(i),
                               QStringLiteral("http://127.0.0.1:1/"), QStringLiteral("1.0")};
    return chunks;
}

QStringList sources(const QList<HistoryEntry>& entries)
{
    QStringList sources;
    for (const HistoryEntry& entry : entries)
        sources << entry.source;
    return sources;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What SQLite itself says of a file, through a connection of its own.
QString pragma(const QString& path, const char* sql)
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

bool exec(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const bool ok = sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Every piece of the memory, as one line each.
QStringList segments(History& history)
{
    QStringList lines;
    history.forEachSegment(QString(), [&](const MemorySegment& s) {
        lines << QStringList{s.sourceCode,
                             s.targetCode,
                             s.endpoint,
                             s.engineVersion,
                             s.source,
                             s.translation,
                             s.created.toString(Qt::ISODate)}
                     .join(QLatin1Char('|'));
        return true;
    });
    return lines;
}

const QString Service = QStringLiteral("http://127.0.0.1:1/");

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
            entryOf(QStringLiteral("Un café crème"), QStringLiteral("A coffee with cream"), 5),
            entryOf(QStringLiteral("Le garçon est naïf"), QStringLiteral("The boy is naive"), 1),
            entryOf(QStringLiteral("東京都に行きます"), QStringLiteral("I go to Tokyo"), 9),
            entryOf(QStringLiteral("ÉCOLE ÉLÉMENTAIRE"), QStringLiteral("Primary school"), 3),
            entryOf(QStringLiteral("C'est 50% moins cher"), QStringLiteral("It is 50% cheaper"), 7),
        };
        for (HistoryEntry entry : entries) {
            ASSERT_TRUE(history.record(entry, pieces(entry.source, entry.translation, 1)))
                << history.problem().toStdString();
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
        {"   ",
         {"東京都に行きます", "C'est 50% moins cher", "Un café crème", "ÉCOLE ÉLÉMENTAIRE", "Le garçon est naïf"}},
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
        EXPECT_EQ(sources(found), c.sources) << "search for '" << c.words << "'";
    }
    const QList<HistoryEntry> newest = history.search(QString(), 2);
    ASSERT_EQ(newest.size(), 2);
    EXPECT_EQ(newest.at(0).time, at(9));
    EXPECT_EQ(newest.at(0).sourceCode, QStringLiteral("FR"));
    EXPECT_EQ(newest.at(0).origin, HistoryEntry::Origin::CommandLine);
    EXPECT_EQ(history.chunks(newest.at(0).id).size(), 1);
    EXPECT_TRUE(history.takeNotice().isEmpty());

    // a page of matches: the newest by time, though the entries were written in another order
    History numbered(m_folder.filePath(QStringLiteral("numbered.sqlite")));
    for (const auto& [source, minute] :
         {std::pair{"alpha one", 9}, {"alpha two", 1}, {"alpha three", 2}, {"beta", 20}}) {
        HistoryEntry entry = entryOf(QString::fromUtf8(source), QStringLiteral("x"), minute);
        ASSERT_TRUE(numbered.record(entry, {}));
    }
    EXPECT_EQ(sources(numbered.search(QStringLiteral("alpha"), 2)), QStringList({"alpha one", "alpha three"}));
    EXPECT_EQ(sources(numbered.search(QStringLiteral("alp"), 1)), QStringList({"alpha one"}));
}

TEST_F(HistoryTest, FileIsPrivateAndWrittenAhead)
{
    History history(path());
    HistoryEntry entry = entryOf(QStringLiteral("Bonjour"), QStringLiteral("Hello"));
    ASSERT_TRUE(history.record(entry, {}));
    EXPECT_EQ(QFile::permissions(path()) & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
              QFileDevice::Permissions());
    EXPECT_EQ(pragma(path(), "PRAGMA journal_mode"), QStringLiteral("wal"));
    EXPECT_EQ(pragma(path(), "PRAGMA user_version"), QString::number(History::SchemaVersion));
}

TEST_F(HistoryTest, BoundsDropTheOldestFirst)
{
    {
        History history(path(), {5, 200LL * 1024 * 1024});
        QList<qint64> ids;
        for (int i = 0; i < 8; ++i) {
            HistoryEntry entry = entryOf(QStringLiteral("phrase %1").arg(i), QStringLiteral("sentence %1").arg(i), i);
            ASSERT_TRUE(history.record(entry, pieces(QStringLiteral("p"), QStringLiteral("s"), 2)));
            ids << entry.id;
        }
        EXPECT_EQ(history.count(), 5);
        EXPECT_EQ(sources(history.search(QStringLiteral("phrase"))),
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
        HistoryEntry entry = entryOf(QStringLiteral("entry%1 ").arg(i) + text, text, i);
        ASSERT_TRUE(history.record(entry, pieces(text, text, 1))) << history.problem().toStdString();
        const qint64 used =
            (pragma(sized, "PRAGMA page_count").toLongLong() - pragma(sized, "PRAGMA freelist_count").toLongLong())
            * pragma(sized, "PRAGMA page_size").toLongLong();
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
        HistoryEntry entry = entryOf(QString::fromUtf8(source), QStringLiteral("x"));
        ASSERT_TRUE(history.record(entry, pieces(QStringLiteral("a"), QStringLiteral("b"), 3)));
        ids << entry.id;
    }
    ASSERT_TRUE(history.remove({ids.at(1)}));
    EXPECT_EQ(sources(history.search(QStringLiteral("alpha"))), QStringList({"alpha three", "alpha one"}));
    EXPECT_TRUE(history.search(QStringLiteral("two")).isEmpty());
    EXPECT_TRUE(history.chunks(ids.at(1)).isEmpty());
    ASSERT_TRUE(history.clear());
    EXPECT_EQ(history.count(), 0);
    EXPECT_TRUE(history.search(QStringLiteral("alpha")).isEmpty());
    EXPECT_TRUE(history.search(QString()).isEmpty());
    EXPECT_EQ(pragma(path(), "SELECT count(*) FROM chunks"), QStringLiteral("0"));
    HistoryEntry after = entryOf(QStringLiteral("alpha again"), QStringLiteral("y"));
    ASSERT_TRUE(history.record(after, {}));
    EXPECT_EQ(sources(history.search(QStringLiteral("alpha"))), QStringList({"alpha again"}));
    EXPECT_EQ(pragma(path(), "PRAGMA integrity_check"), QStringLiteral("ok"));
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
                     HistoryEntry entry = entryOf(QStringLiteral("text %1").arg(i), QStringLiteral("texte"));
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
                 HistoryEntry entry = entryOf(QStringLiteral("a"), QStringLiteral("b"));
                 history.record(entry, {});
             }
             pragma(path(), "PRAGMA user_version=99");
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
        const QByteArray before = contents(path());
        const QByteArray pointedAt = contents(other);

        History history(path());
        HistoryEntry entry = entryOf(QStringLiteral("Merci"), QStringLiteral("Thanks"));
        EXPECT_EQ(history.record(entry, {}), c.available) << history.problem().toStdString();
        EXPECT_TRUE(history.problem().contains(QLatin1String(c.problem))) << history.problem().toStdString();
        EXPECT_EQ(!history.movedAside().isEmpty(), c.movedAside);
        const QString notice = history.takeNotice();
        EXPECT_EQ(notice.isEmpty(), c.available && !c.movedAside) << notice.toStdString();
        EXPECT_TRUE(history.takeNotice().isEmpty()) << "said once";
        if (c.movedAside) {
            EXPECT_EQ(contents(history.movedAside()), before);
            EXPECT_TRUE(notice.contains(history.movedAside()));
            EXPECT_EQ(sources(history.search(QString())), QStringList({"Merci"}));
        } else {
            EXPECT_EQ(contents(path()), before);
        }
        EXPECT_EQ(contents(other), pointedAt);
        if (QString(QLatin1String(c.name)) == QLatin1String("symbolic link")) {
            EXPECT_TRUE(QFileInfo(path()).isSymLink());
        }
    }
}

TEST_F(HistoryTest, LockHeldElsewhereMakesTheHistoryUnavailableOnce)
{
    {
        History history(path());
        HistoryEntry entry = entryOf(QStringLiteral("before"), QStringLiteral("avant"));
        ASSERT_TRUE(history.record(entry, {}));
    }
    // a program that took the write lock and hangs
    sqlite3* hung = nullptr;
    sqlite3_open(QFile::encodeName(path()).constData(), &hung);
    ASSERT_EQ(sqlite3_exec(hung, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    History history(path(), {}, 100);
    HistoryEntry entry = entryOf(QStringLiteral("during"), QStringLiteral("pendant"));
    EXPECT_FALSE(history.record(entry, {}));
    EXPECT_TRUE(history.problem().contains(QLatin1String("locked"))) << history.problem().toStdString();
    EXPECT_FALSE(history.takeNotice().isEmpty());
    EXPECT_TRUE(history.takeNotice().isEmpty());
    EXPECT_FALSE(history.record(entry, {}));
    sqlite3_exec(hung, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(hung);
    EXPECT_EQ(pragma(path(), "SELECT count(*) FROM entries"), QStringLiteral("1"));
}

// A child process that records `count` translations tagged `tag`, telling the
// pipe after each; count < 0 writes until it is killed.
pid_t writer(const QString& path, const QString& tag, int count, int pipeOut = -1)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    History history(path);
    for (int i = 0; count < 0 || i < count; ++i) {
        HistoryEntry entry = entryOf(QStringLiteral("%1-%2").arg(tag).arg(i), QStringLiteral("translated %1").arg(i));
        if (!history.record(entry, pieces(entry.source, entry.translation, 3)))
            ::_exit(1);
        if (pipeOut >= 0 && ::write(pipeOut, "+", 1) != 1)
            ::_exit(1);
    }
    ::_exit(0);
}

int exitCode(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(HistoryTest, TwoProcessesWriteAtOnceWithoutLosingAnEntry)
{
    const int each = 60;
    const pid_t first = writer(path(), QStringLiteral("first"), each);
    const pid_t second = writer(path(), QStringLiteral("second"), each);
    EXPECT_EQ(exitCode(first), 0);
    EXPECT_EQ(exitCode(second), 0);

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
    const pid_t writer = ::writer(path(), QStringLiteral("killed"), -1, pipe[1]);
    ::close(pipe[1]);
    const int finished = 40;
    char told = 0;
    for (int i = 0; i < finished; ++i)
        ASSERT_EQ(::read(pipe[0], &told, 1), 1);
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    ::close(pipe[0]);

    EXPECT_EQ(pragma(path(), "PRAGMA integrity_check"), QStringLiteral("ok"));
    EXPECT_EQ(pragma(path(), "INSERT INTO entries_text(entries_text) VALUES ('integrity-check')"),
              QStringLiteral("ok"));
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

TEST_F(HistoryTest, MemoryAnswersOnlyTheSameLanguagesServiceAndVersion)
{
    {
        History history(path());
        HistoryEntry entry = entryOf(QStringLiteral("Bonjour"), QStringLiteral("Hello"));
        ASSERT_TRUE(
            history.record(entry, {{QStringLiteral("Bonjour"), QStringLiteral("Hello"), Service, QStringLiteral("1.0")},
                                   {QStringLiteral("Au revoir"), QStringLiteral("Goodbye"), Service, QString()}}));
    }
    // the file as the version before the memory left it: its pieces go into the memory when it opens
    ASSERT_TRUE(exec(path(), "DROP TRIGGER entries_counted_in; DROP TRIGGER entries_counted_out; DROP TABLE segments;"
                             "DROP TABLE counts; DROP TABLE sentences; PRAGMA user_version=1"));
    History history(path());
    HistoryEntry later = entryOf(QStringLiteral("Chat"), QStringLiteral("Cat"));
    const QList<HistoryChunk> chat = {{QStringLiteral("Chat"), QStringLiteral("Cat"), Service, QStringLiteral("1.0")}};
    ASSERT_TRUE(history.record(later, chat, chat));
    EXPECT_EQ(pragma(path(), "PRAGMA user_version"), QString::number(History::SchemaVersion));
    EXPECT_EQ(history.segmentCount(), 3);
    // a piece from another tool's file serves any service that names its version
    ASSERT_TRUE(history.addSegments([](const History::SegmentSink& add) {
        return add({QStringLiteral("FR"), QStringLiteral("EN"), QString(), QString(), QStringLiteral("Merci"),
                    QStringLiteral("Thanks"), at(3)});
    }));

    HistoryMemory memory(path());
    const MemoryKey same{QStringLiteral("FR"), QStringLiteral("EN"), Service, QStringLiteral("1.0")};
    const struct {
        const char* name;
        MemoryKey key;
        const char* chunk;
        const char* answer;  // null: unknown
    } cases[] = {
        {"the same", same, "Bonjour", "Hello"},
        {"recorded after the migration", same, "Chat", "Cat"},
        {"another text", same, "Bonjour!", nullptr},
        {"another target", {"FR", "DE", Service, "1.0"}, "Bonjour", nullptr},
        {"another source", {"IT", "EN", Service, "1.0"}, "Bonjour", nullptr},
        {"another service", {"FR", "EN", "http://127.0.0.1:2/", "1.0"}, "Bonjour", nullptr},
        {"another engine version", {"FR", "EN", Service, "1.1"}, "Bonjour", nullptr},
        {"no version named", {"FR", "EN", Service, ""}, "Bonjour", nullptr},
        {"recorded without a version", {"FR", "EN", Service, ""}, "Au revoir", nullptr},
        {"imported", {"FR", "EN", "http://127.0.0.1:2/", "7"}, "Merci", "Thanks"},
        {"imported, no version named", {"FR", "EN", Service, ""}, "Merci", nullptr},
    };
    for (const auto& c : cases) {
        const auto found = memory.lookUp(c.key, {QString::fromUtf8(c.chunk)});
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].has_value(), c.answer != nullptr) << c.name;
        if (c.answer && found[0]) {
            EXPECT_EQ(*found[0], QString::fromUtf8(c.answer)) << c.name;
        }
    }

    // what an entry put into the memory goes with it, and with the whole history
    ASSERT_TRUE(history.remove({later.id}));
    EXPECT_FALSE(memory.lookUp(same, {QStringLiteral("Chat")})[0].has_value());
    EXPECT_TRUE(memory.lookUp(same, {QStringLiteral("Bonjour")})[0].has_value());
    ASSERT_TRUE(history.clear());
    EXPECT_EQ(history.segmentCount(), 0);
    EXPECT_EQ(pragma(path(), "SELECT count(*) FROM segments"), QStringLiteral("0"));
}

TEST_F(HistoryTest, AFileOfWholeChunksKeepsThemReusableBySentence)
{
    const QString sentOne = QStringLiteral("The blue whale sings at dawn.\r\n");
    {
        History history(path());
        HistoryEntry entry = entryOf(QStringLiteral("The blue whale sings at dawn."), QStringLiteral("La ballena"));
        entry.sourceCode = QStringLiteral("EN");
        entry.targetCode = QStringLiteral("ES");
        ASSERT_TRUE(history.record(
            entry, {{sentOne, QStringLiteral("La ballena azul canta al alba. "), Service, QStringLiteral("1.0")}}));
    }
    // the memory as the version before kept it: whole chunks, byte for byte, with their line ends
    ASSERT_TRUE(exec(path(), "DROP TABLE sentences; PRAGMA user_version=2"));
    const struct {
        const char* source;
        const char* translation;
        const char* endpoint;
        int used;
    } old[] = {
        {"The blue whale sings at dawn.\r\n", "La ballena azul canta al alba. ", "http://127.0.0.1:1/", 1},
        {"The house is big. The dog eats.\r\n", "La casa es grande. El perro come. ", "http://127.0.0.1:1/", 2},
        {"The cat sleeps.\r\n", "El gato duerme antes.", "http://127.0.0.1:1/", 3},
        {"The cat sleeps. \r\n", "El gato duerme. ", "http://127.0.0.1:1/", 4},
        {"  Roses are red,\nviolets are blue.\n", "Las rosas son rojas,\nlas violetas azules.\n", "", 5},
    };
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(path()).constData(), &db, SQLITE_OPEN_READWRITE, nullptr),
                  SQLITE_OK);
        sqlite3_exec(db, "DELETE FROM segments", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO segments(hash, source_code, target_code, endpoint, engine_version, source,"
                           " translation, created, used, folded) VALUES (?1, 'EN', 'ES', ?2, ?3, ?4, ?5, ?6, ?6, '')",
                           -1, &insert, nullptr);
        for (const auto& piece : old) {
            sqlite3_bind_int64(insert, 1, History::chunkHash(QString::fromUtf8(piece.source)));
            sqlite3_bind_text(insert, 2, piece.endpoint, -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 3, *piece.endpoint ? "1.0" : "", -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 4, piece.source, -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 5, piece.translation, -1, SQLITE_STATIC);
            sqlite3_bind_int64(insert, 6, piece.used);
            EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_close(db);
    }

    History history(path());
    ASSERT_TRUE(history.available()) << history.problem().toStdString();
    EXPECT_EQ(pragma(path(), "PRAGMA user_version"), QString::number(History::SchemaVersion));
    EXPECT_EQ(history.segmentCount(), 4) << "the two cats become one";
    HistoryMemory memory(path());
    const MemoryKey key{QStringLiteral("EN"), QStringLiteral("ES"), Service, QStringLiteral("1.0")};
    const QStringList pieces = {QStringLiteral("The blue whale sings at dawn."),
                                QStringLiteral("The house is big. The dog eats."), QStringLiteral("The cat sleeps."),
                                QStringLiteral("Roses are red,\nviolets are blue."),
                                QStringLiteral("The house is big.")};
    const auto found = memory.lookUp(key, pieces);
    const std::vector<std::optional<QString>> expected = {
        QStringLiteral("La ballena azul canta al alba."), QStringLiteral("La casa es grande. El perro come."),
        QStringLiteral("El gato duerme."), QStringLiteral("Las rosas son rojas,\nlas violetas azules."), std::nullopt};
    EXPECT_EQ(found, expected);
    // an entry recorded before still takes what it put into the memory along when it goes
    ASSERT_TRUE(history.remove({history.search(QStringLiteral("whale")).value(0).id}));
    EXPECT_FALSE(memory.lookUp(key, {pieces[0]})[0].has_value());
    EXPECT_EQ(history.segmentCount(), 3);
    EXPECT_EQ(pragma(path(), "PRAGMA integrity_check"), QStringLiteral("ok"));
}

TEST_F(HistoryTest, TmxRoundTripIsValidTmxAndReadsBackWhole)
{
    History history(path());
    const struct {
        const char* sourceCode;
        const char* targetCode;
        const char* source;
        const char* translation;
        const char* version;
    } pieces[] = {
        {"FR", "EN", "Un café <crème> & \"sucre\"", "A coffee <cream> & 'sugar'", "apertium-fra-eng 1.0"},
        {"ZH-TW", "EN", "東京都に行きます\r\n\r\n", "I go to Tokyo\r\n\r\n", "apertium-zho-eng 2"},
        {"EN", "ES", "The house\tis big", "La casa\tes grande", ""},
    };
    for (const auto& piece : pieces) {
        HistoryEntry entry = entryOf(QString::fromUtf8(piece.source), QString::fromUtf8(piece.translation));
        entry.sourceCode = QString::fromLatin1(piece.sourceCode);
        entry.targetCode = QString::fromLatin1(piece.targetCode);
        const QList<HistoryChunk> sent = {{entry.source, entry.translation, Service, QString::fromUtf8(piece.version)}};
        ASSERT_TRUE(history.record(entry, sent, sent));
    }
    const QString file = m_folder.filePath(QStringLiteral("memory.tmx"));
    const TmxFile::Outcome written = TmxFile::Export(history, file);
    ASSERT_TRUE(written.ok) << written.message.toStdString();
    EXPECT_EQ(written.units, 3);

    QProcess xmllint;
    xmllint.start(QStringLiteral("xmllint"),
                  {QStringLiteral("--noout"), QStringLiteral("--nonet"), QStringLiteral("--dtdvalid"),
                   QStringLiteral(LINGUARO_SOURCE_DIR "/tests/data/tmx/tmx14.dtd"), file});
    ASSERT_TRUE(xmllint.waitForFinished(60000));
    EXPECT_EQ(xmllint.exitCode(), 0) << xmllint.readAllStandardError().toStdString();

    QFile tmx(file);
    ASSERT_TRUE(tmx.open(QIODevice::ReadOnly));
    EXPECT_TRUE(tmx.peek(64).startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QXmlStreamReader xml(&tmx);
    QStringList languages;
    int dated = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("tuv"))
            languages << xml.attributes().value(QLatin1String("xml:lang")).toString();
        if (xml.name() == QLatin1String("tu"))
            dated += QRegularExpression(QStringLiteral("^\\d{8}T\\d{6}Z$"))
                         .match(xml.attributes().value(QLatin1String("creationdate")))
                         .hasMatch();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(languages, QStringList({"fr", "en", "zh-TW", "en", "en", "es"}));
    EXPECT_EQ(dated, 3);

    // a filter writes only what holds its words
    const QString some = m_folder.filePath(QStringLiteral("some.tmx"));
    EXPECT_EQ(TmxFile::Export(history, some, QStringLiteral("CAFE sugar")).units, 1);

    // read back: the same pieces, reused as the recorded ones were
    History other(m_folder.filePath(QStringLiteral("other.sqlite")));
    const TmxFile::Outcome read = TmxFile::import(other, file);
    ASSERT_TRUE(read.ok) << read.message.toStdString();
    EXPECT_EQ(read.units, 3);
    EXPECT_EQ(read.skipped, 0);
    EXPECT_EQ(segments(other), segments(history));
    const auto found =
        HistoryMemory(other.path())
            .lookUp({"FR", "EN", Service, "apertium-fra-eng 1.0"}, {QString::fromUtf8(pieces[0].source)});
    ASSERT_TRUE(found[0].has_value());
    EXPECT_EQ(*found[0], QString::fromUtf8(pieces[0].translation));
    EXPECT_EQ(TmxFile::import(other, some).units, 1);
    EXPECT_EQ(other.segmentCount(), 3);
}

TEST_F(HistoryTest, BadTmxFilesAddNothing)
{
    History history(path());
    ASSERT_TRUE(history.addSegments([](const History::SegmentSink& add) {
        return add({"EN", "FR", "", "", "held before", "tenu avant", at(1)});
    }));
    const QByteArray head = "<?xml version=\"1.0\"?>\n<tmx version=\"1.4\"><header creationtool=\"t\" "
                            "creationtoolversion=\"1\" segtype=\"sentence\" o-tmf=\"t\" adminlang=\"en\" "
                            "srclang=\"en\" datatype=\"plaintext\"/><body>\n";
    auto unit = [](const char* from, const char* source, const char* to, const char* translation) {
        return QByteArray("<tu><tuv xml:lang=\"") + from + "\"><seg>" + source + "</seg></tuv><tuv xml:lang=\"" + to
               + "\"><seg>" + translation + "</seg></tuv></tu>\n";
    };
    QByteArray laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE tmx [\n<!ENTITY lol \"lol\">\n";
    for (int i = 1; i < 10; ++i)
        laughs += QStringLiteral("<!ENTITY lol%1 \"%2\">\n")
                      .arg(i)
                      .arg(QStringLiteral("&lol%1;").arg(i > 1 ? QString::number(i - 1) : QString()).repeated(10))
                      .toUtf8();
    laughs += "]>\n<tmx version=\"1.4\"><body><tu><tuv xml:lang=\"en\"><seg>&lol9;</seg></tuv>"
              "<tuv xml:lang=\"fr\"><seg>x</seg></tuv></tu></body></tmx>\n";
    QByteArray many;
    for (int i = 0; i < 200; ++i)
        many += unit("en", "one more", "fr", "encore un");
    const struct {
        const char* name;
        QByteArray content;
        bool ok;
        qint64 units;
        qint64 skipped;
        const char* problem;
    } cases[] = {
        {"billion laughs", laughs, false, 0, 0, "entit"},
        {"an outside entity",
         "<?xml version=\"1.0\"?><!DOCTYPE tmx [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><tmx><body>"
             + unit("en", "&x;", "fr", "x") + "</body></tmx>",
         false, 0, 0, "entities"},
        {"not XML", "these are the words of a letter, not a memory\n", false, 0, 0, "not a sound XML file"},
        {"breaks off half-way", head + many + unit("en", "cut", "fr", "coup").left(30), false, 0, 0,
         "not a sound XML file"},
        {"another kind of XML", "<?xml version=\"1.0\"?><html><body><tu/></body></html>", false, 0, 0,
         "not a TMX file"},
        {"languages not in the lists",
         head + unit("en", "Good day", "fr", "Bonjour") + unit("tlh", "nuqneH", "en", "Hello")
             + unit("en", "Hello", "xx-YY", "?") + unit("en-GB", "Colour", "zh-Hant-TW", "顏色") + "</body></tmx>",
         true, 2, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = m_folder.filePath(QStringLiteral("bad.tmx"));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(c.content);
        out.close();
        const QStringList before = segments(history);
        const TmxFile::Outcome read = TmxFile::import(history, file);
        EXPECT_EQ(read.ok, c.ok) << read.message.toStdString();
        EXPECT_EQ(read.units, c.units);
        EXPECT_EQ(read.skipped, c.skipped);
        EXPECT_TRUE(read.message.contains(QLatin1String(c.problem))) << read.message.toStdString();
        if (!c.ok)
            EXPECT_EQ(segments(history), before);
        else
            EXPECT_EQ(history.segmentCount(), before.size() + c.units);
    }
    EXPECT_EQ(pragma(path(), "PRAGMA integrity_check"), QStringLiteral("ok"));
}

}  // namespace
