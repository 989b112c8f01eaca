#include "HistorySteps.h"

#include "LanguageTable.h"

PaneContents PaneContents::of(const HistoryEntry& entry)
{
    return {entry.source, entry.translation, LanguageTable::positionOf(entry.sourceCode),
            LanguageTable::positionOf(entry.targetCode)};
}

void HistorySteps::startFrom(const PaneContents& shown)
{
    if (m_started && shown == m_shown)
        return;
    m_started = true;
    m_steps = {shown};
    m_at = 0;
    m_ended = false;
    m_oldestId = 0;
    m_oldestTime = {};
    m_shown = shown;
}

std::optional<PaneContents> HistorySteps::back(const PaneContents& shown)
{
    startFrom(shown);
    if (m_at + 1 >= m_steps.size())
        return std::nullopt;
    m_shown = m_steps.at(++m_at);
    return m_shown;
}

std::optional<PaneContents> HistorySteps::forward(const PaneContents& shown)
{
    startFrom(shown);
    if (m_at == 0)
        return std::nullopt;
    m_shown = m_steps.at(--m_at);
    return m_shown;
}

bool HistorySteps::moreWanted() const { return m_started && !m_ended && m_at + 1 >= m_steps.size(); }

void HistorySteps::addOlder(qint64 olderThanId, const QList<HistoryEntry>& page)
{
    if (!m_started || olderThanId != m_oldestId || m_ended)
        return;
    for (const HistoryEntry& entry : page) {
        m_oldestId = entry.id;
        m_oldestTime = entry.time;
        // the translation just made is in the panes already, and one made twice is one step
        const PaneContents step = PaneContents::of(entry);
        if (!(step == m_steps.constLast()))
            m_steps << step;
    }
    m_ended = page.size() < PageSize;
}
