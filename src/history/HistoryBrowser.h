#pragma once

#include "History.h"
#include "SizedThreadPool.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <utility>

// The history as a window reads it: every query and removal runs on a thread
// of its own with its own connection, so a big or busy history never holds up
// the window; answers come back as signals on the caller's thread. Answers to
// a query overtaken by a newer one are dropped.
class HistoryBrowser : public QObject {
    Q_OBJECT
public:
    // At most this many entries in the list at once; narrower words reach older ones.
    static constexpr int ListLimit = 500;
    // How much of each text the list holds: a translated document may be large.
    static constexpr int PreviewLength = 2000;
    // How long typing pauses before the words are looked for.
    static constexpr int TypingPauseMs = 200;

    explicit HistoryBrowser(const QString& path, QObject* parent = nullptr);
    ~HistoryBrowser() override;

    // The list's words, looked for once typing pauses.
    void setWords(const QString& words);
    // The list's language pair (empty codes: every pair), looked for at once.
    void setPair(const QString& sourceCode, const QString& targetCode);
    // The list and the pairs again, now.
    void refresh();
    void remove(const QList<qint64>& ids);
    void clear();
    // One entry whole (the list's are cut at PreviewLength).
    void fetchEntry(qint64 id);
    // Entries older than the one given (0: from the newest), whatever the list shows.
    void fetchOlder(qint64 olderThanId, const QDateTime& olderThanTime, int count);

signals:
    // The list: at most ListLimit entries, newest first, their texts cut at
    // PreviewLength; `more`: older ones match too.
    void found(const QList<HistoryEntry>& entries, bool more);
    void pairsFound(const QList<std::pair<QString, QString>>& pairs);
    void entryFound(const HistoryEntry& entry);
    void olderFound(qint64 olderThanId, const QList<HistoryEntry>& page);
    // Entries were removed, or not (`done` false: the file is busy or cannot be written).
    void removed(bool done);
    // What the user should hear about the history, once: it is unavailable and
    // why, or a damaged file was moved aside.
    void notice(const QString& text);

private:
    // Runs `work` on the history's thread, then `done` here unless this went meanwhile.
    void run(std::function<std::function<void()>(History&)> work);
    void query();

    std::shared_ptr<History> m_history;
    HistoryFilter m_filter;
    QTimer m_typing;
    int m_generation = 0;
    // last, so that it is gone, its work finished, before what the work refers to
    SizedThreadPool m_thread{1};
};
