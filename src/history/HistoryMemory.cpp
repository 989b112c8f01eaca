#include "HistoryMemory.h"

#include "History.h"
#include "SqliteStatement.h"

#include <QFile>

HistoryMemory::HistoryMemory(QString path, int busyTimeoutMs) : m_path(std::move(path)), m_busyTimeoutMs(busyTimeoutMs)
{}

std::vector<std::optional<QString>> HistoryMemory::lookUp(const MemoryKey& key, const QStringList& pieces)
{
    std::vector<std::optional<QString>> found(size_t(pieces.size()));
    // without the engine data's version a piece could come back from other data than it was made with
    if (key.engineVersion.isEmpty() || pieces.isEmpty())
        return found;
    sqlite3* db = nullptr;
    // a link or a missing file is never followed nor made here: the history itself judges the file;
    // opened for writing only so that it may join the write-ahead log, and then told to write nothing
    if (sqlite3_open_v2(QFile::encodeName(m_path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW,
                        nullptr)
        != SQLITE_OK) {
        sqlite3_close_v2(db);
        return found;
    }
    sqlite3_busy_timeout(db, m_busyTimeoutMs);
    sqlite3_exec(db, "PRAGMA query_only=1", nullptr, nullptr, nullptr);
    {
        // the service's own pieces first, then those imported from other tools
        SqliteStatement select(
            db, "SELECT translation FROM segments WHERE hash = ?1 AND source_code = ?2"
                " AND target_code = ?3 AND source = ?6"
                " AND ((endpoint = ?4 AND engine_version = ?5) OR (endpoint = '' AND engine_version = ''))"
                " ORDER BY endpoint = '' LIMIT 1");
        for (qsizetype i = 0; select.ok() && i < pieces.size(); ++i) {
            select.bind(1, History::chunkHash(pieces.at(i)));
            select.bind(2, key.sourceCode);
            select.bind(3, key.targetCode);
            select.bind(4, key.endpoint);
            select.bind(5, key.engineVersion);
            select.bind(6, pieces.at(i));
            if (select.step() == SQLITE_ROW)
                found[size_t(i)] = select.text(0);
            select.reset();
        }
    }
    sqlite3_close_v2(db);
    return found;
}
