#include "History.h"

#include "Folders.h"
#include "SentenceRule.h"
#include "SqliteStatement.h"

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

using Statement = SqliteStatement;

// Runs statements that return nothing wanted; the SQLite result code.
int execute(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

qint64 integer(sqlite3* db, const char* sql, int* rc = nullptr)
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
    // 1 -> 2: the translation memory, one piece per languages, service, engine version and text;
    // the pieces recorded so far go into it. The counts spare the bounds a count of every row.
    "CREATE TABLE segments("
    "  id INTEGER PRIMARY KEY,"
    "  hash INTEGER NOT NULL,"
    "  source_code TEXT NOT NULL,"
    "  target_code TEXT NOT NULL,"
    "  endpoint TEXT NOT NULL,"
    "  engine_version TEXT NOT NULL,"
    "  source TEXT NOT NULL,"
    "  translation TEXT NOT NULL,"
    "  created INTEGER NOT NULL,"
    "  used INTEGER NOT NULL,"
    "  folded TEXT NOT NULL);"
    "CREATE UNIQUE INDEX segments_key ON segments(hash, source_code, target_code, endpoint, engine_version);"
    "CREATE INDEX segments_used ON segments(used, id);"
    "CREATE TABLE counts(name TEXT PRIMARY KEY, value INTEGER NOT NULL) WITHOUT ROWID;"
    "INSERT INTO counts VALUES ('entries', (SELECT count(*) FROM entries)), ('segments', 0);"
    "CREATE TRIGGER entries_counted_in AFTER INSERT ON entries BEGIN"
    "  UPDATE counts SET value = value + 1 WHERE name = 'entries';"
    "END;"
    "CREATE TRIGGER entries_counted_out AFTER DELETE ON entries BEGIN"
    "  UPDATE counts SET value = value - 1 WHERE name = 'entries';"
    "END;"
    "CREATE TRIGGER segments_counted_in AFTER INSERT ON segments BEGIN"
    "  UPDATE counts SET value = value + 1 WHERE name = 'segments';"
    "END;"
    "CREATE TRIGGER segments_counted_out AFTER DELETE ON segments BEGIN"
    "  UPDATE counts SET value = value - 1 WHERE name = 'segments';"
    "END;"
    "INSERT INTO segments(hash, source_code, target_code, endpoint, engine_version, source, translation, created,"
    "                     used, folded)"
    "  SELECT linguaro_hash(c.source), e.source_code, e.target_code, c.endpoint, c.engine_version, c.source,"
    "         c.translation, e.time, e.time, linguaro_fold(c.source || char(10) || c.translation)"
    "  FROM chunks c JOIN entries e ON e.id = c.entry WHERE 1 ORDER BY e.time, e.id, c.position"
    "  ON CONFLICT DO UPDATE SET translation = excluded.translation, used = excluded.used;",
    // 2 -> 3: the memory keeps sentences, without the whitespace around them, and each entry the
    // sentences it put there; the pieces kept so far lose their surrounding whitespace (a
    // one-sentence piece is then that sentence), the one used last winning where two become one
    "CREATE TABLE sentences("
    "  entry INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE,"
    "  position INTEGER NOT NULL,"
    "  source TEXT NOT NULL,"
    "  translation TEXT NOT NULL,"
    "  endpoint TEXT NOT NULL,"
    "  engine_version TEXT NOT NULL,"
    "  PRIMARY KEY(entry, position)) WITHOUT ROWID;"
    "CREATE TEMP TABLE kept AS SELECT * FROM segments;"
    "DELETE FROM segments;"
    "INSERT INTO segments(hash, source_code, target_code, endpoint, engine_version, source, translation, created,"
    "                     used, folded)"
    "  SELECT linguaro_hash(linguaro_key(source)), source_code, target_code, endpoint, engine_version,"
    "         linguaro_key(source), linguaro_trim(translation), created, used,"
    "         linguaro_fold(linguaro_key(source) || char(10) || linguaro_trim(translation))"
    "  FROM kept WHERE linguaro_key(source) <> '' ORDER BY used, id"
    "  ON CONFLICT DO UPDATE SET translation = excluded.translation, created = min(created, excluded.created),"
    "                            used = excluded.used, folded = excluded.folded;"
    "DROP TABLE kept;",
};
static_assert(std::size(Migrations) == History::SchemaVersion);

const char* const EntryColumns = "id, time, source_code, target_code, source, translation, origin";

HistoryEntry readEntry(const Statement& row)
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
bool withoutSpaces(QChar c)
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
QString spacelessWords(const QString& text)
{
    if (std::none_of(text.begin(), text.end(), withoutSpaces))
        return {};
    QStringList kept;
    for (const QString& word :
         History::folded(text).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        if (std::any_of(word.begin(), word.end(), withoutSpaces))
            kept << word;
    }
    return kept.join(QLatin1Char(' '));
}

QString quoted(QString word)
{
    return QLatin1Char('"') + word.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString likePattern(QString word)
{
    word.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + word + QLatin1Char('%');
}

// The memory's key and folded text for SQL of its own (the migrations that fill the memory).
void hashFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(values[0]));
    sqlite3_result_int64(context, History::chunkHash(QString::fromUtf8(text, sqlite3_value_bytes(values[0]))));
}

// A text function of SQL that hands its one argument through `change`.
template <QString (*change)(const QString&)>
void textFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(values[0]));
    const QByteArray changed = change(QString::fromUtf8(text, sqlite3_value_bytes(values[0]))).toUtf8();
    sqlite3_result_text(context, changed.constData(), int(changed.size()), SQLITE_TRANSIENT);
}

QString Trimmed(const QString& text) { return text.trimmed(); }

// Lower-case words of a filter, as LIKE patterns over a folded text.
QStringList foldedPatterns(const QString& words)
{
    QStringList patterns;
    for (const QString& word :
         History::folded(words).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        patterns << likePattern(word);
    return patterns;
}

const char* const SegmentColumns = "source_code, target_code, endpoint, engine_version, source, translation, created";

}  // namespace

qint64 History::chunkHash(const QString& text)
{
    // 64-bit FNV-1a over the UTF-16 units: the same on every machine and in every version
    quint64 hash = 14695981039346656037ULL;
    for (const QChar c : text) {
        hash ^= c.unicode();
        hash *= 1099511628211ULL;
    }
    return qint64(hash);
}

QString HistoryEntry::originName(Origin origin)
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
{}

History::~History() { sqlite3_close_v2(m_db); }

QString History::defaultPath() { return Folders::commonDataFolder() + QStringLiteral("/history.sqlite"); }

QString History::folded(const QString& text)
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
            return fail(
                QStringLiteral("%1 is a symbolic link; the history is kept only in a file of its own.").arg(m_path));
        if (!S_ISREG(status.st_mode))
            return fail(QStringLiteral("%1 is not a file.").arg(m_path));
        // the history holds what the user translated: theirs alone
        if ((status.st_mode & 077) != 0)
            ::chmod(file.constData(), 0600);
    } else {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            return fail(
                QStringLiteral("cannot create %1: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno))));
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
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function_v2(m_db, "linguaro_hash", 1, flags, nullptr, hashFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(m_db, "linguaro_fold", 1, flags, nullptr, textFunction<History::folded>, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(m_db, "linguaro_key", 1, flags, nullptr, textFunction<SentenceRule::key>, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(m_db, "linguaro_trim", 1, flags, nullptr, textFunction<Trimmed>, nullptr, nullptr,
                               nullptr);
    if (sqlite3_db_readonly(m_db, "main") == 1)
        return fail(QStringLiteral("%1 cannot be written (a read-only file or disk).").arg(m_path));

    int read = SQLITE_OK;
    integer(m_db, "SELECT count(*) FROM sqlite_master", &read);
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
            return fail(step == SQLITE_BUSY
                            ? QStringLiteral("%1 is locked by another program.").arg(m_path)
                            : QStringLiteral("cannot use %1: %2").arg(m_path, QString::fromUtf8(sqlite3_errmsg(m_db))));
    }
    execute(m_db, "PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
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
    qint64 version = integer(m_db, "PRAGMA user_version", &rc);
    if (rc != SQLITE_OK)
        return fail(QStringLiteral("cannot read %1: %2").arg(m_path, QString::fromUtf8(sqlite3_errmsg(m_db))));
    if (version > SchemaVersion)
        return fail(QStringLiteral("%1 was written by a newer version of the translator.").arg(m_path));
    if (version == SchemaVersion)
        return true;
    if (execute(m_db, "BEGIN IMMEDIATE") != SQLITE_OK)
        return fail(QStringLiteral("cannot prepare %1: %2").arg(m_path, QString::fromUtf8(sqlite3_errmsg(m_db))));
    // another process may have done it while this one waited
    version = integer(m_db, "PRAGMA user_version");
    for (; version < SchemaVersion; ++version) {
        if (execute(m_db, Migrations[version]) != SQLITE_OK) {
            const QString why = QString::fromUtf8(sqlite3_errmsg(m_db));
            execute(m_db, "ROLLBACK");
            return fail(QStringLiteral("cannot prepare %1: %2").arg(m_path, why));
        }
    }
    const QByteArray setVersion = "PRAGMA user_version=" + QByteArray::number(SchemaVersion);
    if (execute(m_db, setVersion.constData()) != SQLITE_OK || execute(m_db, "COMMIT") != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(m_db));
        execute(m_db, "ROLLBACK");
        return fail(QStringLiteral("cannot prepare %1: %2").arg(m_path, why));
    }
    return true;
}

qint64 History::counted(const char* table)
{
    Statement select(m_db, "SELECT value FROM counts WHERE name = ?1");
    select.bind(1, QString::fromLatin1(table));
    return select.step() == SQLITE_ROW ? select.integer(0) : 0;
}

bool History::trim()
{
    // the oldest `count` rows of a table by the time it was last of use
    auto drop = [this](const char* sql, qint64 count) {
        Statement statement(m_db, sql);
        statement.bind(1, count);
        return statement.step() == SQLITE_DONE;
    };
    const char* const dropEntries =
        "DELETE FROM entries WHERE id IN (SELECT id FROM entries ORDER BY time, id LIMIT ?1)";
    const char* const dropSegments =
        "DELETE FROM segments WHERE id IN (SELECT id FROM segments ORDER BY used, id LIMIT ?1)";
    const qint64 entries = counted("entries");
    if (entries > m_limits.entries && !drop(dropEntries, entries - m_limits.entries))
        return false;
    const qint64 segments = counted("segments");
    if (segments > m_limits.segments && !drop(dropSegments, segments - m_limits.segments))
        return false;
    auto used = [this] {
        return (integer(m_db, "PRAGMA page_count") - integer(m_db, "PRAGMA freelist_count"))
               * integer(m_db, "PRAGMA page_size");
    };
    if (used() <= m_limits.bytes)
        return true;
    // a twentieth at a time, so that the next few translations fit without another round;
    // the full-text indexes keep what was deleted until they are merged
    for (;;) {
        const qint64 entriesLeft = counted("entries");
        const qint64 segmentsLeft = counted("segments");
        if (entriesLeft <= 1 && segmentsLeft == 0)
            return true;
        if (entriesLeft > 1 && !drop(dropEntries, std::min(entriesLeft - 1, std::max<qint64>(1, entriesLeft / 20))))
            return false;
        if (segmentsLeft > 0 && !drop(dropSegments, std::max<qint64>(1, segmentsLeft / 20)))
            return false;
        if (execute(m_db, "INSERT INTO entries_text(entries_text) VALUES ('optimize');"
                          "INSERT INTO entries_trigram(entries_trigram) VALUES ('optimize');")
            != SQLITE_OK)
            return false;
        if (used() <= m_limits.bytes)
            return true;
    }
}

bool History::putSegment(const MemorySegment& piece, qint64 used)
{
    // looked up by its text alone, whatever whitespace stood around it where it came from
    MemorySegment segment = piece;
    segment.source = SentenceRule::key(piece.source);
    segment.translation = piece.translation.trimmed();
    if (segment.source.isEmpty())
        return true;
    Statement insert(m_db, "INSERT INTO segments(hash, source_code, target_code, endpoint, engine_version, source,"
                           " translation, created, used, folded) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"
                           " ON CONFLICT DO UPDATE SET source = excluded.source, translation = excluded.translation,"
                           " used = excluded.used, folded = excluded.folded");
    insert.bind(1, chunkHash(segment.source));
    insert.bind(2, segment.sourceCode);
    insert.bind(3, segment.targetCode);
    insert.bind(4, segment.endpoint);
    insert.bind(5, segment.engineVersion);
    insert.bind(6, segment.source);
    insert.bind(7, segment.translation);
    insert.bind(8, (segment.created.isValid() ? segment.created : QDateTime::currentDateTimeUtc()).toMSecsSinceEpoch());
    insert.bind(9, used);
    insert.bind(10, folded(segment.source + QLatin1Char('\n') + segment.translation));
    return insert.step() == SQLITE_DONE;
}

bool History::record(HistoryEntry& entry, const QList<HistoryChunk>& chunks, const QList<HistoryChunk>& sentences)
{
    if (!available())
        return false;
    if (!entry.time.isValid())
        entry.time = QDateTime::currentDateTimeUtc();
    auto failed = [this](const char* what) {
        const int code = sqlite3_errcode(m_db);
        const QString why = code == SQLITE_BUSY
                                ? QStringLiteral("%1 is locked by another program.").arg(m_path)
                                : QStringLiteral("cannot %1 %2: %3")
                                      .arg(QLatin1String(what), m_path, QString::fromUtf8(sqlite3_errmsg(m_db)));
        execute(m_db, "ROLLBACK");
        return fail(why);
    };
    if (execute(m_db, "BEGIN IMMEDIATE") != SQLITE_OK)
        return failed("write to");
    {
        Statement insert(m_db,
                         "INSERT INTO entries(time, source_code, target_code, source, translation, origin, folded)"
                         " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        insert.bind(1, entry.time.toMSecsSinceEpoch());
        insert.bind(2, entry.sourceCode);
        insert.bind(3, entry.targetCode);
        insert.bind(4, entry.source);
        insert.bind(5, entry.translation);
        insert.bind(6, qint64(entry.origin));
        insert.bind(7, spacelessWords(entry.source + QLatin1Char('\n') + entry.translation));
        if (insert.step() != SQLITE_DONE)
            return failed("write to");
    }
    entry.id = sqlite3_last_insert_rowid(m_db);
    // the chunks as they were sent, and the sentences that go into the memory
    for (const auto& [table, pieces] : {std::pair{"chunks", &chunks}, std::pair{"sentences", &sentences}}) {
        const QByteArray sql =
            "INSERT INTO " + QByteArray(table)
            + "(entry, position, source, translation, endpoint, engine_version) VALUES (?1, ?2, ?3, ?4, ?5, ?6)";
        Statement insert(m_db, sql.constData());
        const bool remembered = pieces == &sentences;
        for (qsizetype i = 0; i < pieces->size(); ++i) {
            const HistoryChunk& piece = pieces->at(i);
            insert.bind(1, entry.id);
            insert.bind(2, qint64(i));
            insert.bind(3, remembered ? SentenceRule::key(piece.source) : piece.source);
            insert.bind(4, piece.translation);
            insert.bind(5, piece.endpoint);
            insert.bind(6, piece.engineVersion);
            if (insert.step() != SQLITE_DONE)
                return failed("write to");
            insert.reset();
            const MemorySegment segment{entry.sourceCode, entry.targetCode,  piece.endpoint, piece.engineVersion,
                                        piece.source,     piece.translation, entry.time};
            if (remembered && !putSegment(segment, entry.time.toMSecsSinceEpoch()))
                return failed("write to");
        }
    }
    if (!trim())
        return failed("trim");
    if (execute(m_db, "COMMIT") != SQLITE_OK)
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
    for (const QString& word : folded(words).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        if (std::none_of(word.begin(), word.end(), withoutSpaces))
            spaced << quoted(word) + QLatin1Char('*');
        else if (word.size() >= 3)
            trigrams << quoted(word);
        else
            likes << likePattern(word);
    }
    // numbered after the words' LIKE patterns, whose count varies
    const int firstOwn = int(4 + likes.size());
    // Runs one form of the query: `driven`, the full-text index hands its matches newest
    // entry first and the query stops at the limit; otherwise every match is ranked by time.
    auto run = [&](bool driven) {
        QList<HistoryEntry> rows;
        QByteArray sql = "SELECT e.id, e.time, e.source_code, e.target_code, e.source, e.translation, e.origin FROM ";
        if (driven)
            sql += spaced.isEmpty()
                       ? "entries_trigram d JOIN entries e ON e.id = d.rowid WHERE entries_trigram MATCH ?2"
                       : "entries_text d JOIN entries e ON e.id = d.rowid WHERE entries_text MATCH ?1";
        else
            sql += "entries e WHERE 1";
        if (!spaced.isEmpty() && !driven)
            sql += " AND e.id IN (SELECT rowid FROM entries_text WHERE entries_text MATCH ?1)";
        if (!trigrams.isEmpty() && !(driven && spaced.isEmpty()))
            sql += " AND e.id IN (SELECT rowid FROM entries_trigram WHERE entries_trigram MATCH ?2)";
        for (qsizetype i = 0; i < likes.size(); ++i)
            sql += " AND e.folded LIKE ?" + QByteArray::number(4 + i) + " ESCAPE '\\'";
        if (!filter.sourceCode.isEmpty())
            sql += " AND e.source_code = ?" + QByteArray::number(firstOwn) + " COLLATE NOCASE";
        if (!filter.targetCode.isEmpty())
            sql += " AND e.target_code = ?" + QByteArray::number(firstOwn + 1) + " COLLATE NOCASE";
        if (filter.olderThanId > 0)
            sql += " AND (e.time, e.id) < (?" + QByteArray::number(firstOwn + 2) + ", ?"
                   + QByteArray::number(firstOwn + 3) + ")";
        sql += driven ? " ORDER BY d.rowid DESC LIMIT ?3" : " ORDER BY e.time DESC, e.id DESC LIMIT ?3";
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
            rows << readEntry(select);
        return rows;
    };
    if (spaced.isEmpty() && trigrams.isEmpty())
        return run(false);
    // Entries are numbered as they are written, so the newest numbers are nearly always the
    // newest times: the matches with the highest numbers are the page, unless an entry with
    // a lower number is newer than the page's oldest (one recorded with a time of its own).
    found = run(true);
    std::sort(found.begin(), found.end(), [](const HistoryEntry& a, const HistoryEntry& b) {
        return a.time != b.time ? a.time > b.time : a.id > b.id;
    });
    if (found.size() < limit)
        return found;
    qint64 lowest = found.first().id;
    for (const HistoryEntry& entry : std::as_const(found))
        lowest = std::min(lowest, entry.id);
    Statement newer(m_db, "SELECT 1 FROM entries WHERE time > ?1 AND id < ?2 LIMIT 1");
    newer.bind(1, found.last().time.toMSecsSinceEpoch());
    newer.bind(2, lowest);
    return newer.step() == SQLITE_ROW ? run(false) : found;
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
    return readEntry(select);
}

QList<HistoryChunk> History::chunks(qint64 entryId)
{
    QList<HistoryChunk> found;
    if (!available())
        return found;
    Statement select(
        m_db, "SELECT source, translation, endpoint, engine_version FROM chunks WHERE entry = ?1 ORDER BY position");
    select.bind(1, entryId);
    while (select.step() == SQLITE_ROW)
        found << HistoryChunk{select.text(0), select.text(1), select.text(2), select.text(3)};
    return found;
}

bool History::remove(const QList<qint64>& ids)
{
    if (!available())
        return false;
    if (execute(m_db, "BEGIN IMMEDIATE") != SQLITE_OK)
        return false;
    // what the entry put into the memory goes with it: its sentences, or the chunks of an entry
    // recorded before the memory kept sentences
    Statement forget(m_db, "DELETE FROM segments WHERE id IN (SELECT s.id FROM"
                           " (SELECT linguaro_key(source) AS source, endpoint, engine_version FROM chunks"
                           "  WHERE entry = ?1 UNION SELECT source, endpoint, engine_version FROM sentences"
                           "  WHERE entry = ?1) p"
                           " JOIN entries e ON e.id = ?1"
                           " JOIN segments s ON s.hash = linguaro_hash(p.source) AND s.source_code = e.source_code"
                           " AND s.target_code = e.target_code AND s.endpoint = p.endpoint"
                           " AND s.engine_version = p.engine_version AND s.source = p.source)");
    Statement drop(m_db, "DELETE FROM entries WHERE id = ?1");
    for (const qint64 id : ids) {
        forget.bind(1, id);
        drop.bind(1, id);
        if (forget.step() != SQLITE_DONE || drop.step() != SQLITE_DONE) {
            execute(m_db, "ROLLBACK");
            return false;
        }
        forget.reset();
        drop.reset();
    }
    return execute(m_db, "COMMIT") == SQLITE_OK || (execute(m_db, "ROLLBACK"), false);
}

bool History::clear()
{
    if (!available())
        return false;
    if (execute(m_db, "BEGIN IMMEDIATE; DELETE FROM chunks; DELETE FROM sentences; DELETE FROM entries;"
                      "DELETE FROM segments;"
                      "INSERT INTO entries_text(entries_text) VALUES ('rebuild');"
                      "INSERT INTO entries_trigram(entries_trigram) VALUES ('rebuild'); COMMIT;")
        == SQLITE_OK)
        return true;
    execute(m_db, "ROLLBACK");
    return false;
}

qint64 History::count() { return available() ? integer(m_db, "SELECT count(*) FROM entries") : 0; }

qint64 History::segmentCount() { return available() ? counted("segments") : 0; }

bool History::forEachSegment(const QString& words, const std::function<bool(const MemorySegment&)>& each)
{
    if (!available())
        return false;
    const QStringList patterns = foldedPatterns(words);
    QByteArray sql = "SELECT " + QByteArray(SegmentColumns) + " FROM segments WHERE 1";
    for (qsizetype i = 0; i < patterns.size(); ++i)
        sql += " AND folded LIKE ?" + QByteArray::number(1 + i) + " ESCAPE '\\'";
    sql += " ORDER BY created, id";
    Statement select(m_db, sql.constData());
    for (qsizetype i = 0; i < patterns.size(); ++i)
        select.bind(int(1 + i), patterns.at(i));
    int rc = SQLITE_ROW;
    while ((rc = select.step()) == SQLITE_ROW) {
        const MemorySegment segment{select.text(0),
                                    select.text(1),
                                    select.text(2),
                                    select.text(3),
                                    select.text(4),
                                    select.text(5),
                                    QDateTime::fromMSecsSinceEpoch(select.integer(6), Qt::UTC)};
        if (!each(segment))
            return true;
    }
    return rc == SQLITE_DONE;
}

bool History::addSegments(const std::function<bool(const SegmentSink& add)>& read)
{
    if (!available())
        return false;
    if (execute(m_db, "BEGIN IMMEDIATE") != SQLITE_OK)
        return fail(QStringLiteral("%1 is locked by another program.").arg(m_path));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    bool written = true;
    const bool complete = read([&](const MemorySegment& segment) {
        written = written && putSegment(segment, now);
        return written;
    });
    if (complete && written && trim() && execute(m_db, "COMMIT") == SQLITE_OK)
        return true;
    execute(m_db, "ROLLBACK");
    return false;
}
