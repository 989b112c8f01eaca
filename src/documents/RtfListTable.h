#pragma once

#include "RtfControlWords.h"

#include <QTextListFormat>

#include <cstdint>
#include <unordered_map>
#include <vector>

// What a paragraph's list marker looks like; None for an ordinary paragraph.
enum class ListKind : std::uint8_t { None, Bullet, Decimal, LowerAlpha, UpperAlpha, LowerRoman, UpperRoman };

QTextListFormat::Style listStyle(ListKind kind);

// A word processor's list table, read entry by entry: the number format of each level by
// list id, and the list id each \ls number stands for, so a paragraph that names only its
// \ls number and level is shown with the right marker. Bounded, whatever the document says.
class RtfListTable {
public:
    // A control word read inside the list table or the list override table.
    void read(RtfControlWords::Word word, int value);
    // The end of a \list or \listoverride group.
    void endList();
    void endOverride();

    // The marker of a paragraph in list override `number` at `level`: None without one (0),
    // bullets for a list the table does not describe.
    ListKind kindOf(int number, int level) const;

private:
    std::unordered_map<int, std::vector<int>> m_levels;
    std::unordered_map<int, int> m_listOfOverride;
    std::vector<int> m_entryLevels;
    int m_entryListId = 0;
    int m_entryOverride = 0;
};
