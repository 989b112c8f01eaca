#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

struct sqlite3;

// One recorded translation.
struct HistoryEntry {
    enum class Origin { Window = 0, CommandLine = 1, Bus = 2, Document = 3 };

    qint64 id = 0;  // given by History::record
    QDateTime time;
    QString sourceCode;
    QString targetCode;
    QString source;
    QString translation;
    Origin origin = Origin::Window;

    // "window", "command line", "D-Bus", "document"
    static QString originName(Origin origin);
};

// One piece of a translation as the service translated it: a chunk as it was
// sent, or a sentence of one.
struct HistoryChunk {
    QString source;
    QString translation;
    QString endpoint;
    QString engineVersion;  // empty when the service named none
};

// One piece and its translation in the translation memory, with the service
// and the version of its engine data that made it (both empty for a piece
// imported from another tool).
struct MemorySegment {
    QString sourceCode;
    QString targetCode;
    QString endpoint;
    QString engineVersion;
    QString source;
    QString translation;
    QDateTime created;
};

// How much the history keeps; beyond any, the oldest entries and memory pieces go first.
struct HistoryLimits {
    qint64 entries = 100000;
    qint64 bytes = 200LL * 1024 * 1024;
    qint64 segments = 1000000;
};

// What the history window asks for: the words of search(), one language pair,
// and only entries older than one it already holds (paging newest first).
struct HistoryFilter {
    QString words;
    QString sourceCode;  // empty: any
    QString targetCode;  // empty: any
    // the time and id of an entry: only those before it; no id: from the newest
    QDateTime olderThanTime;
    qint64 olderThanId = 0;
};

// The history of translations in one SQLite file, shared by every process of
// the user: each recorded translation is one transaction, and writers wait for
// each other up to the busy timeout. A history that cannot be used leaves the
// translator working; problem() says why, and takeNotice() says it once.
class History {
public:
    using Limits = HistoryLimits;
    static constexpr int SchemaVersion = 3;

    explicit History(QString path, Limits limits = {}, int busyTimeoutMs = 5000);
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    // $XDG_DATA_HOME/Brenmark/history.sqlite
    static QString defaultPath();

    QString path() const { return m_path; }
    // Opens the file on first use; false with problem() set when the history cannot be used.
    bool available();
    QString problem() const { return m_problem; }
    // Where a file that was not a sound database went; empty when none was moved.
    QString movedAside() const { return m_movedAside; }
    // What the user should hear about the history, once: why it is unavailable, or
    // where a damaged file went. Empty afterwards, and when all is well.
    QString takeNotice();

    // Adds one translation with the chunks it was sent in and the sentences of them
    // that go into the translation memory, dropping the oldest beyond the limits.
    // Sets entry.id. False when it was not written.
    bool record(HistoryEntry& entry, const QList<HistoryChunk>& chunks, const QList<HistoryChunk>& sentences = {});
    // Entries whose source or translation hold every word of `words` (any case,
    // accents ignored), newest first; all entries when `words` is blank.
    QList<HistoryEntry> search(const QString& words, int limit = 100);
    // search() narrowed by a filter, newest first.
    QList<HistoryEntry> find(const HistoryFilter& filter, int limit = 100);
    // The language pairs (source code, target code; upper case) the history holds, in code order.
    QList<std::pair<QString, QString>> pairs();
    // One entry by its id; none when it is not there.
    std::optional<HistoryEntry> entry(qint64 id);
    QList<HistoryChunk> chunks(qint64 entryId);
    bool remove(const QList<qint64>& ids);
    bool clear();
    qint64 count();

    // The translation memory's pieces that hold every word of `words` in their
    // text or translation (any case, accents ignored; all when blank), oldest
    // first, until `each` returns false. False when the memory cannot be read.
    bool forEachSegment(const QString& words, const std::function<bool(const MemorySegment&)>& each);
    // Adds to the memory, in one transaction, the pieces `read` hands to its
    // `add`; nothing is kept unless `read` returns true. A piece already held
    // for the same languages, service and version is replaced. Every piece is
    // kept by SentenceRule::Key of its text, its translation without the
    // whitespace around it.
    using SegmentSink = std::function<bool(const MemorySegment&)>;
    bool addSegments(const std::function<bool(const SegmentSink& add)>& read);
    qint64 segmentCount();

    // Lower case without accents: what the search compares.
    static QString folded(const QString& text);
    // The key a piece is found by in the memory (its text compared as well).
    static qint64 chunkHash(const QString& text);

private:
    bool open();
    bool migrate();
    bool fail(const QString& problem);
    bool moveAside(const QString& why);
    bool trim();
    bool putSegment(const MemorySegment& segment, qint64 used);
    qint64 counted(const char* table);

    QString m_path;
    Limits m_limits;
    int m_busyTimeoutMs;
    sqlite3* m_db = nullptr;
    bool m_tried = false;
    QString m_problem;
    QString m_movedAside;
    QString m_notice;
    bool m_noticeGiven = false;
};
