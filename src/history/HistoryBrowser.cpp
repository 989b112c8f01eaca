#include "HistoryBrowser.h"

#include <QFileInfo>
#include <QPointer>

namespace {

// The file is opened, and so made, only once a translation was kept there: reading writes nothing.
bool kept(const History& history)
{
    const QFileInfo file(history.path());
    return file.exists() || file.isSymLink();
}

}  // namespace

HistoryBrowser::HistoryBrowser(const QString& path, QObject* parent)
    : QObject(parent), m_history(std::make_shared<History>(path))
{
    m_typing.setSingleShot(true);
    m_typing.setInterval(TypingPauseMs);
    connect(&m_typing, &QTimer::timeout, this, &HistoryBrowser::query);
}

HistoryBrowser::~HistoryBrowser() { m_thread.waitForDone(); }

void HistoryBrowser::run(std::function<std::function<void()>(History&)> work)
{
    m_thread.start([history = m_history, work = std::move(work), self = QPointer<HistoryBrowser>(this)] {
        std::function<void()> done = work(*history);
        const QString notice = history->takeNotice();
        QMetaObject::invokeMethod(
            self.data(),
            [self, done = std::move(done), notice] {
                if (!self)
                    return;
                if (!notice.isEmpty())
                    emit self->notice(notice);
                if (done)
                    done();
            },
            Qt::QueuedConnection);
    });
}

void HistoryBrowser::setWords(const QString& words)
{
    m_filter.words = words;
    m_typing.start();
}

void HistoryBrowser::setPair(const QString& sourceCode, const QString& targetCode)
{
    m_filter.sourceCode = sourceCode;
    m_filter.targetCode = targetCode;
    query();
}

void HistoryBrowser::query()
{
    m_typing.stop();
    const int generation = ++m_generation;
    run([this, filter = m_filter, generation](History& history) -> std::function<void()> {
        QList<HistoryEntry> entries = kept(history) ? history.find(filter, ListLimit + 1) : QList<HistoryEntry>();
        for (HistoryEntry& entry : entries) {
            entry.source.truncate(PreviewLength);
            entry.translation.truncate(PreviewLength);
        }
        return [this, entries = std::move(entries), generation]() mutable {
            if (generation != m_generation)
                return;
            const bool more = entries.size() > ListLimit;
            if (more)
                entries.removeLast();
            emit found(entries, more);
        };
    });
}

void HistoryBrowser::refresh()
{
    run([this](History& history) -> std::function<void()> {
        auto pairs = kept(history) ? history.pairs() : QList<std::pair<QString, QString>>();
        return [this, pairs = std::move(pairs)] { emit pairsFound(pairs); };
    });
    query();
}

void HistoryBrowser::remove(const QList<qint64>& ids)
{
    run([this, ids](History& history) -> std::function<void()> {
        const bool done = !kept(history) || history.remove(ids);
        return [this, done] { emit removed(done); };
    });
    refresh();
}

void HistoryBrowser::clear()
{
    run([this](History& history) -> std::function<void()> {
        const bool done = !kept(history) || history.clear();
        return [this, done] { emit removed(done); };
    });
    refresh();
}

void HistoryBrowser::fetchEntry(qint64 id)
{
    run([this, id](History& history) -> std::function<void()> {
        const std::optional<HistoryEntry> entry = kept(history) ? history.entry(id) : std::nullopt;
        if (!entry)
            return {};
        return [this, entry = *entry] { emit entryFound(entry); };
    });
}

void HistoryBrowser::fetchOlder(qint64 olderThanId, const QDateTime& olderThanTime, int count)
{
    HistoryFilter filter;
    filter.olderThanId = olderThanId;
    filter.olderThanTime = olderThanTime;
    run([this, filter, count](History& history) -> std::function<void()> {
        auto page = kept(history) ? history.find(filter, count) : QList<HistoryEntry>();
        return [this, olderThanId = filter.olderThanId, page = std::move(page)] { emit olderFound(olderThanId, page); };
    });
}
