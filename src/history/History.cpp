#include "History.h"

#include "Folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One prepared statement, finalized when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr); }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_rc == SQLITE_OK; }
    int error() const { return m_rc; }
    void bind(int index, const QString& text)
    {
        const QByteArray bytes = text.toUtf8();
        sqlite3_bind_text(m_statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    }
    void bind(int index, qint64 value) { sqlite3_bind_int64(m_statement, index, value); }
    // SQLITE_ROW or SQLITE_DONE, else the error
    int step() { return m_rc == SQLITE_OK ? sqlite3_step(m_statement) : m_rc; }
    // ready for the next values
    void reset()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    qint64 integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column)),
                                 sqlite3_column_bytes(m_statement, column));
    }

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_rc = SQLITE_OK;
};

// Runs statements that return nothing wanted; the SQLite result code.
int Execute(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

qint64 Integer(sqlite3* db, const char* sql, int* rc = nullptr)
{
    Statement statement(db, sql);
    const int result = statement.step();
    if (rc)
        *rc = result == SQLITE_ROW || result == SQLITE_DONE ? SQLITE_OK : result;
    return result == SQLITE_ROW ? statement.integer(0) : 0;
}

// Each step takes the file from the version before it to its own; a file is
// never read by a program that does not know its version.
const char* const Migrations[] = {
    // 0 -> 1
    "CREATE TABLE entries("
    "  id INTEGER PRIMARY KEY,"
    "  time INTEGER NOT NULL,"  // milliseconds since 1970, UTC
    "  source_code TEXT NOT NULL,"
    "  target_code TEXT NOT NULL,"
    "  source TEXT NOT NULL,"
    "  translation TEXT NOT NULL,"
    "  origin INTEGER NOT NULL,"
    "  folded TEXT NOT NULL);"  // the words of source and translation the trigram index needs, folded
    "CREATE INDEX entries_time ON entries(time, id);"
    "CREATE TABLE chunks("
    "  entry INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE,"
    "  position INTEGER NOT NULL,"
    "  source TEXT NOT NULL,"
    "  translation TEXT NOT NULL,"
    "  endpoint TEXT NOT NULL,"
    "  engine_version TEXT NOT NULL,"
    "  PRIMARY KEY(entry, position)) WITHOUT ROWID;"
    "CREATE VIRTUAL TABLE entries_text USING fts5(source, translation, content='entries', content_rowid='id',"
    "  tokenize='unicode61 remove_diacritics 2');"
    // scripts written without spaces have no words to index: every three characters are
    "CREATE VIRTUAL TABLE entries_trigram USING fts5(folded, content='entries', content_rowid='id',"
    "  tokenize='trigram');"
    "CREATE TRIGGER entries_added AFTER INSERT ON entries BEGIN"
    "  INSERT INTO entries_text(rowid, source, translation) VALUES (new.id, new.source, new.translation);"
    "  INSERT INTO entries_trigram(rowid, folded) VALUES (new.id, new.folded);"
    "END;"
    "CREATE TRIGGER entries_removed AFTER DELETE ON entries BEGIN"
    "  INSERT INTO entries_text(entries_text, rowid, source, translation)"
    "    VALUES ('delete', old.id, old.source, old.translation);"
    "  INSERT INTO entries_trigram(entries_trigram, rowid, folded) VALUES ('delete', old.id, old.folded);"
    "END;",
};
static_assert(std::size(Migrations) == History::SchemaVersion);

const char* const EntryColumns = "id, time, source_code, target_code, source, translation, origin";

HistoryEntry ReadEntry(const Statement& row)
{
    HistoryEntry entry;
    entry.id = row.integer(0);
    entry.time = QDateTime::fromMSecsSinceEpoch(row.integer(1), Qt::UTC);
    entry.sourceCode = row.text(2);
    entry.targetCode = row.text(3);
    entry.source = row.text(4);
    entry.translation = row.text(5);
    entry.origin = HistoryEntry::Origin(row.integer(6));
    return entry;
}

// Characters of scripts written without spaces between words.
bool WithoutSpaces(QChar c)
{
    switch (c.script()) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Thai:
    case QChar::Script_Lao:
    case QChar::Script_Khmer:
    case QChar::Script_Myanmar:
    case QChar::Script_Tibetan:
        return true;
    default:
        return false;
    }
}

// The words of `text` that hold a letter of a script written without spaces,
// folded: all the trigram index needs, as the search looks every other word up
// in the word index. A text without such letters (most texts) costs one pass.
QString SpacelessWords(const QString& text)
{
    if (std::none_of(text.begin(), text.end(), WithoutSpaces))
        return {};
    QStringList kept;
    for (const QString& word : History::Folded(text).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        if (std::any_of(word.begin(), word.end(), WithoutSpaces))
            kept << word;
    }
    return kept.join(QLatin1Char(' '));
}

QString Quoted(QString word)
{
    return QLatin1Char('"') + word.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString LikePattern(QString word)
{
    word.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + word + QLatin1Char('%');
}

}  // namespace

QString HistoryEntry::OriginName(Origin origin)
{
    switch (origin) {
    case Origin::Window:
        return QStringLiteral("window");
    case Origin::CommandLine:
        return QStringLiteral("command line");
    case Origin::Bus:
        return QStringLiteral("D-Bus");
    case Origin::Document:
        return QStringLiteral("document");
    }
    return {};
}

History::History(QString path, Limits limits, int busyTimeoutMs)
    : m_path(std::move(path)), m_limits(limits), m_busyTimeoutMs(busyTimeoutMs)
{
}

History::~History() { sqlite3_close_v2(m_db); }

QString History::DefaultPath() { return Folders::CommonDataFolder() + QStringLiteral("/history.sqlite"); }

QString History::Folded(const QString& text)
{
    QString folded;
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            folded += c;
    return folded.toCaseFolded();
}

bool History::available()
{
    if (!m_tried) {
        m_tried = true;
        open();
    }
    return m_db != nullptr && m_problem.isEmpty();
}

QString History::takeNotice()
{
    if (m_noticeGiven || (m_notice.isEmpty() && m_problem.isEmpty()))
        return {};
    m_noticeGiven = true;
    QString notice = m_notice;
    if (!m_problem.isEmpty()) {
        const QString unavailable = QStringLiteral("The history of translations is unavailable: %1").arg(m_problem);
        notice = notice.isEmpty() ? unavailable : notice + QLatin1Char('\n') + unavailable;
    }
    return notice;
}

bool History::fail(const QString& problem)
{
    if (m_problem.isEmpty())
        m_problem = problem;
    return false;
}

bool History::open()
{
    const QByteArray file = QFile::encodeName(m_path);
    struct stat status {};
    if (::lstat(file.constData(), &status) == 0) {
        if (S_ISLNK(status.st_mode))
            return fail(QStringLiteral("%1 is a symbolic link; the history is kept only in a file of its own.").arg(m_path));
        if (!S_ISREG(status.st_mode))
            return fail(QStringLiteral("%1 is not a file.").arg(m_path));
        // the history holds what the user translated: theirs alone
        if ((status.st_mode & 077) != 0)
            ::chmod(file.constData(), 0600);
    } else {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            return fail(QStringLiteral("cannot create %1: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno))));
        if (fd >= 0)
            ::close(fd);
    }

    const int rc = sqlite3_open_v2(file.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (rc != SQLITE_OK) {
        const QString why = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc));
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return fail(QStringLiteral("cannot open %1: %2").arg(m_path, why));
    }
    sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
    if (sqlite3_db_readonly(m_db, "main") == 1)
        return fail(QStringLiteral("%1 cannot be written (a read-only file or disk).").arg(m_path));

    int read = SQLITE_OK;
    Integer(m_db, "SELECT count(*) FROM sqlite_master", &read);
    if (read == SQLITE_NOTADB || read == SQLITE_CORRUPT) {
        const QString why = QString::fromUtf8(sqlite3_errstr(read));
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        if (!m_movedAside.isEmpty() || !moveAside(why))
            return false;
        return open();
    }
    if (read != SQLITE_OK)
        return fail(QStringLiteral("cannot read %1: %2").arg(m_path, QString::fromUtf8(sqlite3_errmsg(m_db))));

    // readers never wait for a writer, and a write killed half-way is undone on the next open
    {
        Statement wal(m_db, "PRAGMA journal_mode=WAL");
        const int step = wal.step();
        if (step != SQLITE_ROW || wal.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
            return fail(step == SQLITE_BUSY ? QStringLiteral("%1 is locked by another program.").arg(m_path)
                                            : QStringLiteral("cannot use %1: %2").arg(m_path, QString::fromUtf8(sqlite3_errmsg(m_db))));
    }
    Execute(m_db, "PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
    return migrate();
}

bool History::moveAside(const QString& why)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = QStringLiteral("%1.broken-%2").arg(m_path, stamp);
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = QStringLiteral("%1.broken-%2-%3").arg(m_path, stamp).arg(n);
    // a journal left beside the file belongs to it
    if (!QFile::rename(m_path, aside))
        return fail(QStringLiteral("%1 is damaged (%2) and could not be moved aside.").arg(m_path, why));
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const QString companion = m_path + QLatin1String(suffix);
        if (QFileInfo(companion).isFile() && !QFileInfo(companion).isSymLink())
            QFile::rename(companion, aside + QLatin1String(suffix));
    }
    m_movedAside = aside;
    m_notice = QStringLiteral("The history file %1 was damaged (%2); it was moved to %3 and a new history was started.")
                   .arg(m_path, why, aside);
    return true;
}

bool History::migrate()
{
    int rc = SQLITE_OK;
    qint64 version = Integer(m_db, "PRAGMA user_version", &rc);
    if (rc != SQLITE_OK)
        return fail(QStringLiteral("cannot read %1: %2").arg(m_path, QString::fromUtf8(sqlite3_errmsg(m_db))));
    if (version > SchemaVersion)
        return fail(QStringLiteral("%1 was written by a newer version of the translator.").arg(m_path));
    if (version == SchemaVersion)
        return true;
    if (Execute(m_db, "BEGIN IMMEDIATE") != SQLITE_OK)
        return fail(QStringLiteral("cannot prepare %1: %2").arg(m_path, QString::fromUtf8(sqlite3_errmsg(m_db))));
    // another process may have done it while this one waited
    version = Integer(m_db, "PRAGMA user_version");
    for (; version < SchemaVersion; ++version) {
        if (Execute(m_db, Migrations[version]) != SQLITE_OK) {
            const QString why = QString::fromUtf8(sqlite3_errmsg(m_db));
            Execute(m_db, "ROLLBACK");
            return fail(QStringLiteral("cannot prepare %1: %2").arg(m_path, why));
        }
    }
    const QByteArray setVersion = "PRAGMA user_version=" + QByteArray::number(SchemaVersion);
    if (Execute(m_db, setVersion.constData()) != SQLITE_OK || Execute(m_db, "COMMIT") != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(m_db));
        Execute(m_db, "ROLLBACK");
        return fail(QStringLiteral("cannot prepare %1: %2").arg(m_path, why));
    }
    return true;
}

bool History::trim()
{
    const qint64 entries = Integer(m_db, "SELECT count(*) FROM entries");
    if (entries > m_limits.entries) {
        Statement drop(m_db, "DELETE FROM entries WHERE id IN (SELECT id FROM entries ORDER BY time, id LIMIT ?1)");
        drop.bind(1, entries - m_limits.entries);
        if (drop.step() != SQLITE_DONE)
            return false;
    }
    auto used = [this] {
        return (Integer(m_db, "PRAGMA page_count") - Integer(m_db, "PRAGMA freelist_count"))
            * Integer(m_db, "PRAGMA page_size");
    };
    if (used() <= m_limits.bytes)
        return true;
    // a twentieth at a time, so that the next few translations fit without another round;
    // the full-text indexes keep what was deleted until they are merged
    for (;;) {
        const qint64 left = Integer(m_db, "SELECT count(*) FROM entries");
        if (left <= 1)
            return true;
        Statement drop(m_db, "DELETE FROM entries WHERE id IN (SELECT id FROM entries ORDER BY time, id LIMIT ?1)");
        drop.bind(1, std::min(left - 1, std::max<qint64>(1, left / 20)));
        if (drop.step() != SQLITE_DONE)
            return false;
        if (Execute(m_db, "INSERT INTO entries_text(entries_text) VALUES ('optimize');"
                          "INSERT INTO entries_trigram(entries_trigram) VALUES ('optimize');")
            != SQLITE_OK)
            return false;
        if (used() <= m_limits.bytes)
            return true;
    }
}

bool History::record(HistoryEntry& entry, const QList<HistoryChunk>& chunks)
{
    if (!available())
        return false;
    if (!entry.time.isValid())
        entry.time = QDateTime::currentDateTimeUtc();
    auto failed = [this](const char* what) {
        const int code = sqlite3_errcode(m_db);
        const QString why = code == SQLITE_BUSY ? QStringLiteral("%1 is locked by another program.").arg(m_path)
                                                : QStringLiteral("cannot %1 %2: %3")
                                                      .arg(QLatin1String(what), m_path,
                                                           QString::fromUtf8(sqlite3_errmsg(m_db)));
        Execute(m_db, "ROLLBACK");
        return fail(why);
    };
    if (Execute(m_db, "BEGIN IMMEDIATE") != SQLITE_OK)
        return failed("write to");
    {
        Statement insert(m_db, "INSERT INTO entries(time, source_code, target_code, source, translation, origin, folded)"
                               " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        insert.bind(1, entry.time.toMSecsSinceEpoch());
        insert.bind(2, entry.sourceCode);
        insert.bind(3, entry.targetCode);
        insert.bind(4, entry.source);
        insert.bind(5, entry.translation);
        insert.bind(6, qint64(entry.origin));
        insert.bind(7, SpacelessWords(entry.source + QLatin1Char('\n') + entry.translation));
        if (insert.step() != SQLITE_DONE)
            return failed("write to");
    }
    entry.id = sqlite3_last_insert_rowid(m_db);
    {
        Statement insert(m_db, "INSERT INTO chunks(entry, position, source, translation, endpoint, engine_version)"
                               " VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
        for (qsizetype i = 0; i < chunks.size(); ++i) {
            const HistoryChunk& chunk = chunks.at(i);
            insert.bind(1, entry.id);
            insert.bind(2, qint64(i));
            insert.bind(3, chunk.source);
            insert.bind(4, chunk.translation);
            insert.bind(5, chunk.endpoint);
            insert.bind(6, chunk.engineVersion);
            if (insert.step() != SQLITE_DONE)
                return failed("write to");
            insert.reset();
        }
    }
    if (!trim())
        return failed("trim");
    if (Execute(m_db, "COMMIT") != SQLITE_OK)
        return failed("write to");
    return true;
}

QList<HistoryEntry> History::search(const QString& words, int limit)
{
    HistoryFilter filter;
    filter.words = words;
    return find(filter, limit);
}

QList<HistoryEntry> History::find(const HistoryFilter& filter, int limit)
{
    const QString& words = filter.words;
    QList<HistoryEntry> found;
    if (!available())
        return found;
    QStringList spaced;
    QStringList trigrams;
    QStringList likes;
    for (const QString& word : Folded(words).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        if (std::none_of(word.begin(), word.end(), WithoutSpaces))
            spaced << Quoted(word) + QLatin1Char('*');
        else if (word.size() >= 3)
            trigrams << Quoted(word);
        else
            likes << LikePattern(word);
    }
    QByteArray sql = "SELECT " + QByteArray(EntryColumns) + " FROM entries WHERE 1";
    if (!spaced.isEmpty())
        sql += " AND id IN (SELECT rowid FROM entries_text WHERE entries_text MATCH ?1)";
    if (!trigrams.isEmpty())
        sql += " AND id IN (SELECT rowid FROM entries_trigram WHERE entries_trigram MATCH ?2)";
    for (qsizetype i = 0; i < likes.size(); ++i)
        sql += " AND folded LIKE ?" + QByteArray::number(4 + i) + " ESCAPE '\\'";
    // numbered after the words' LIKE patterns, whose count varies
    const int firstOwn = int(4 + likes.size());
    if (!filter.sourceCode.isEmpty())
        sql += " AND source_code = ?" + QByteArray::number(firstOwn) + " COLLATE NOCASE";
    if (!filter.targetCode.isEmpty())
        sql += " AND target_code = ?" + QByteArray::number(firstOwn + 1) + " COLLATE NOCASE";
    if (filter.olderThanId > 0)
        sql += " AND (time, id) < (?" + QByteArray::number(firstOwn + 2) + ", ?" + QByteArray::number(firstOwn + 3) + ")";
    sql += " ORDER BY time DESC, id DESC LIMIT ?3";
    Statement select(m_db, sql.constData());
    if (!spaced.isEmpty())
        select.bind(1, spaced.join(QLatin1Char(' ')));
    if (!trigrams.isEmpty())
        select.bind(2, trigrams.join(QLatin1Char(' ')));
    select.bind(3, qint64(limit));
    for (qsizetype i = 0; i < likes.size(); ++i)
        select.bind(int(4 + i), likes.at(i));
    if (!filter.sourceCode.isEmpty())
        select.bind(firstOwn, filter.sourceCode);
    if (!filter.targetCode.isEmpty())
        select.bind(firstOwn + 1, filter.targetCode);
    if (filter.olderThanId > 0) {
        select.bind(firstOwn + 2, filter.olderThanTime.toMSecsSinceEpoch());
        select.bind(firstOwn + 3, filter.olderThanId);
    }
    while (select.step() == SQLITE_ROW)
        found << ReadEntry(select);
    return found;
}

QList<std::pair<QString, QString>> History::pairs()
{
    QList<std::pair<QString, QString>> found;
    if (!available())
        return found;
    Statement select(m_db, "SELECT DISTINCT upper(source_code), upper(target_code) FROM entries ORDER BY 1, 2");
    while (select.step() == SQLITE_ROW)
        found.append({select.text(0), select.text(1)});
    return found;
}

std::optional<HistoryEntry> History::entry(qint64 id)
{
    if (!available())
        return std::nullopt;
    const QByteArray sql = "SELECT " + QByteArray(EntryColumns) + " FROM entries WHERE id = ?1";
    Statement select(m_db, sql.constData());
    select.bind(1, id);
    if (select.step() != SQLITE_ROW)
        return std::nullopt;
    return ReadEntry(select);
}

QList<HistoryChunk> History::chunks(qint64 entryId)
{
    QList<HistoryChunk> found;
    if (!available())
        return found;
    Statement select(m_db, "SELECT source, translation, endpoint, engine_version FROM chunks WHERE entry = ?1 ORDER BY position");
    select.bind(1, entryId);
    while (select.step() == SQLITE_ROW)
        found << HistoryChunk{select.text(0), select.text(1), select.text(2), select.text(3)};
    return found;
}

bool History::remove(const QList<qint64>& ids)
{
    if (!available())
        return false;
    if (Execute(m_db, "BEGIN IMMEDIATE") != SQLITE_OK)
        return false;
    Statement drop(m_db, "DELETE FROM entries WHERE id = ?1");
    for (const qint64 id : ids) {
        drop.bind(1, id);
        if (drop.step() != SQLITE_DONE) {
            Execute(m_db, "ROLLBACK");
            return false;
        }
        drop.reset();
    }
    return Execute(m_db, "COMMIT") == SQLITE_OK || (Execute(m_db, "ROLLBACK"), false);
}

bool History::clear()
{
    if (!available())
        return false;
    if (Execute(m_db, "BEGIN IMMEDIATE; DELETE FROM chunks; DELETE FROM entries;"
                      "INSERT INTO entries_text(entries_text) VALUES ('rebuild');"
                      "INSERT INTO entries_trigram(entries_trigram) VALUES ('rebuild'); COMMIT;")
        == SQLITE_OK)
        return true;
    Execute(m_db, "ROLLBACK");
    return false;
}

qint64 History::count()
{
    return available() ? Integer(m_db, "SELECT count(*) FROM entries") : 0;
}
