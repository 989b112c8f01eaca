#pragma once

#include "History.h"

#include <optional>

// What the panes show: both texts and the two lists' positions (-1: none chosen).
struct PaneContents {
    QString source;
    QString translation;
    int sourcePosition = -1;
    int targetPosition = -1;

    bool operator==(const PaneContents&) const = default;
    // An entry as the panes would show it, its codes turned into list positions.
    static PaneContents of(const HistoryEntry& entry);
};

// Steps back and forward through the history as a browser does. The panes as
// they were before the first step back stay the newest step; changing the
// panes starts the steps anew from them. The entries come in pages, newest
// first, fetched by the caller when moreWanted() says so.
class HistorySteps {
public:
    static constexpr int PageSize = 50;

    // The older step to show, or none: then, when moreWanted(), fetch the page
    // older than oldestId() and ask again once it came.
    std::optional<PaneContents> back(const PaneContents& shown);
    // The newer step to show; none at the newest.
    std::optional<PaneContents> forward(const PaneContents& shown);
    // What the panes read once a step was put into them (they may tidy the text).
    void settled(const PaneContents& shown) { m_shown = shown; }

    bool moreWanted() const;
    // The oldest entry held (0 and an invalid time when none): the next page is older.
    qint64 oldestId() const { return m_oldestId; }
    QDateTime oldestTime() const { return m_oldestTime; }
    // A page of entries older than `olderThanId`, newest first; ignored unless
    // that is still the oldest held. A short page ends the history.
    void addOlder(qint64 olderThanId, const QList<HistoryEntry>& page);
    // Entries went: the next step starts anew.
    void reset() { m_started = false; }
    // 0 at the kept panes, 1 at the newest entry, and so on.
    int position() const { return m_at; }

private:
    void startFrom(const PaneContents& shown);

    QList<PaneContents> m_steps;  // the kept panes, then the entries newest first
    int m_at = 0;
    bool m_started = false;
    bool m_ended = false;
    qint64 m_oldestId = 0;
    QDateTime m_oldestTime;
    PaneContents m_shown;
};
