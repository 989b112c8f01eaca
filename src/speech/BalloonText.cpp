#include "BalloonText.h"

#include <algorithm>

BalloonText::BalloonText(int pageLength) : m_pageLength(std::max(pageLength, 1)) {}

void BalloonText::start(const QString& text)
{
    m_text = text;
    m_pageStart = 0;
    m_shownEnd = 0;
}

void BalloonText::clear() { start(QString()); }

void BalloonText::reveal(int position, int length)
{
    const int size = int(m_text.size());
    position = std::clamp(position, 0, size);
    int end = std::clamp(position + std::max(length, 0), position, size);
    if (end <= m_shownEnd)
        return;
    // "everybody," and "Merlin!" show with their punctuation
    while (end < size && !m_text[end].isSpace() && !m_text[end].isLetterOrNumber())
        ++end;
    // a word that does not fit on the page starts the next one
    if (end - m_pageStart > m_pageLength) {
        m_pageStart = std::max(position, m_shownEnd);
        while (m_pageStart < end && m_text[m_pageStart].isSpace())
            ++m_pageStart;
    }
    m_shownEnd = end;
}

void BalloonText::revealRest()
{
    int position = m_shownEnd;
    while (position < m_text.size() && m_text[position].isSpace())
        ++position;
    reveal(position, int(m_text.size()) - position);
}

QString BalloonText::page() const
{
    // one word longer than a page shows its end
    const int start = std::max(m_pageStart, m_shownEnd - 2 * m_pageLength);
    return m_text.mid(start, m_shownEnd - start).trimmed();
}
