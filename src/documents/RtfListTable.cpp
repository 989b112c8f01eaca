#include "RtfListTable.h"

#include <algorithm>

namespace {

// No document needs more; a hostile one cannot grow the tables without end.
constexpr std::size_t MaxEntries = 1024;
constexpr std::size_t MaxLevels = 9;

// The list kind of a word processor's level number format (\levelnfc).
ListKind kindOfNumberFormat(int format)
{
    switch (format) {
    case 0:
        return ListKind::Decimal;
    case 1:
        return ListKind::UpperRoman;
    case 2:
        return ListKind::LowerRoman;
    case 3:
        return ListKind::UpperAlpha;
    case 4:
        return ListKind::LowerAlpha;
    case 23:
    case 255:
        return ListKind::Bullet;
    default:
        return ListKind::Decimal;
    }
}

}  // namespace

QTextListFormat::Style listStyle(ListKind kind)
{
    switch (kind) {
    case ListKind::Decimal:
        return QTextListFormat::ListDecimal;
    case ListKind::LowerAlpha:
        return QTextListFormat::ListLowerAlpha;
    case ListKind::UpperAlpha:
        return QTextListFormat::ListUpperAlpha;
    case ListKind::LowerRoman:
        return QTextListFormat::ListLowerRoman;
    case ListKind::UpperRoman:
        return QTextListFormat::ListUpperRoman;
    default:
        return QTextListFormat::ListDisc;
    }
}

void RtfListTable::read(RtfControlWords::Word word, int value)
{
    using Word = RtfControlWords::Word;
    switch (word) {
    case Word::List:
        m_entryLevels.clear();
        m_entryListId = 0;
        break;
    case Word::ListOverride:
        m_entryListId = 0;
        m_entryOverride = 0;
        break;
    case Word::ListLevel:
        if (m_entryLevels.size() < MaxLevels)
            m_entryLevels.push_back(0);
        break;
    case Word::LevelNumberFormat:
        if (!m_entryLevels.empty())
            m_entryLevels.back() = value;
        break;
    case Word::ListId:
        m_entryListId = value;
        break;
    case Word::ListNumber:
        m_entryOverride = value;
        break;
    default:
        break;
    }
}

void RtfListTable::endList()
{
    if (m_levels.size() < MaxEntries)
        m_levels[m_entryListId] = m_entryLevels;
}

void RtfListTable::endOverride()
{
    if (m_listOfOverride.size() < MaxEntries)
        m_listOfOverride[m_entryOverride] = m_entryListId;
}

ListKind RtfListTable::kindOf(int number, int level) const
{
    if (number <= 0)
        return ListKind::None;
    const auto list = m_listOfOverride.find(number);
    if (list == m_listOfOverride.end())
        return ListKind::Bullet;
    const auto levels = m_levels.find(list->second);
    if (levels == m_levels.end() || levels->second.empty())
        return ListKind::Bullet;
    const std::vector<int>& formats = levels->second;
    return kindOfNumberFormat(formats[std::min<std::size_t>(level, formats.size() - 1)]);
}
