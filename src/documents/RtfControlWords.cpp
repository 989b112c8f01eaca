#include "RtfControlWords.h"

#include <unordered_map>

namespace {

using Word = RtfControlWords::Word;

const std::unordered_map<std::string_view, Word>& wordTable()
{
    static const std::unordered_map<std::string_view, Word> table = [] {
        std::unordered_map<std::string_view, Word> t = {
            {"fonttbl", Word::FontTable},
            {"colortbl", Word::ColorTable},
            {"pn", Word::Numbering},
            {"upr", Word::AlternateText},
            {"ud", Word::UnicodeCopy},
            {"listtable", Word::ListTable},
            {"listoverridetable", Word::ListOverrideTable},
            {"list", Word::List},
            {"listlevel", Word::ListLevel},
            {"listid", Word::ListId},
            {"levelnfc", Word::LevelNumberFormat},
            {"levelnfcn", Word::LevelNumberFormat},
            {"listoverride", Word::ListOverride},
            {"b", Word::Bold},
            {"i", Word::Italic},
            {"ul", Word::Underline},
            {"ulnone", Word::UnderlineNone},
            {"strike", Word::Strike},
            {"striked", Word::Strike},
            {"f", Word::Font},
            {"fs", Word::FontSize},
            {"cf", Word::Foreground},
            {"cb", Word::Background},
            {"chcbpat", Word::Background},
            {"highlight", Word::Highlight},
            {"super", Word::Super},
            {"sub", Word::Sub},
            {"nosupersub", Word::NoSuperSub},
            {"plain", Word::Plain},
            {"v", Word::Hidden},
            {"pard", Word::Pard},
            {"par", Word::Par},
            {"sect", Word::Par},
            {"page", Word::Par},
            {"line", Word::Line},
            {"tab", Word::Tab},
            {"ql", Word::AlignLeft},
            {"qr", Word::AlignRight},
            {"qc", Word::AlignCenter},
            {"qj", Word::AlignJustify},
            {"ls", Word::ListNumber},
            {"ilvl", Word::ListLevelIndex},
            {"cell", Word::Cell},
            {"nestcell", Word::Cell},
            {"row", Word::Row},
            {"nestrow", Word::Row},
            {"pnlvlblt", Word::LevelBullet},
            {"pnlvlbody", Word::LevelBody},
            {"pndec", Word::StyleDecimal},
            {"pnlcltr", Word::StyleLowerAlpha},
            {"pnucltr", Word::StyleUpperAlpha},
            {"pnlcrm", Word::StyleLowerRoman},
            {"pnucrm", Word::StyleUpperRoman},
            {"u", Word::Unicode},
            {"uc", Word::UnicodeSkip},
            {"bin", Word::Binary},
            {"ansi", Word::Ansi},
            {"mac", Word::Mac},
            {"pc", Word::Pc},
            {"pca", Word::Pca},
            {"ansicpg", Word::AnsiCodePage},
            {"deff", Word::DefaultFont},
            {"red", Word::Red},
            {"green", Word::Green},
            {"blue", Word::Blue},
            {"fcharset", Word::FontCharset},
            {"cpg", Word::FontCodePage},
            {"emdash", Word::EmDash},
            {"endash", Word::EnDash},
            {"bullet", Word::BulletChar},
            {"lquote", Word::LeftQuote},
            {"rquote", Word::RightQuote},
            {"ldblquote", Word::LeftDoubleQuote},
            {"rdblquote", Word::RightDoubleQuote},
            {"emspace", Word::EmSpace},
            {"enspace", Word::EnSpace},
            {"qmspace", Word::QuarterSpace},
            {"zwj", Word::ZeroWidthJoiner},
            {"zwnj", Word::ZeroWidthNonJoiner},
            {"ltrmark", Word::LtrMark},
            {"rtlmark", Word::RtlMark},
        };
        // Destinations whose content is not text of the document.
        for (std::string_view skipped : {"stylesheet",   "info",
                                         "header",       "headerl",
                                         "headerr",      "headerf",
                                         "footer",       "footerl",
                                         "footerr",      "footerf",
                                         "pict",         "objdata",
                                         "themedata",    "colorschememapping",
                                         "latentstyles", "datastore",
                                         "xmlnstbl",     "rsidtbl",
                                         "generator",    "revtbl",
                                         "filetbl",      "pgdsctbl",
                                         "fldinst",      "footnote",
                                         "annotation",   "atnid",
                                         "atnauthor",    "bkmkstart",
                                         "bkmkend",      "xe",
                                         "tc",           "txe",
                                         "shpinst",      "nonshppict",
                                         "pntext",       "listtext",
                                         "pntxta",       "pntxtb",
                                         "pnseclvl",     "template",
                                         "docvar",       "userprops",
                                         "mmathPr",      "fchars",
                                         "lchars",       "private",
                                         "listpicture",  "leveltext",
                                         "levelnumbers", "listname",
                                         "liststylename"})
            t.emplace(skipped, Word::SkipDestination);
        return t;
    }();
    return table;
}

}  // namespace

RtfControlWords::Word RtfControlWords::lookup(std::string_view name)
{
    const auto& table = wordTable();
    const auto it = table.find(name);
    return it == table.end() ? Word::Unknown : it->second;
}

bool RtfControlWords::isDestination(Word word)
{
    switch (word) {
    case Word::FontTable:
    case Word::ColorTable:
    case Word::Numbering:
    case Word::SkipDestination:
    case Word::AlternateText:
    case Word::ListTable:
    case Word::ListOverrideTable:
    case Word::List:
    case Word::ListLevel:
    case Word::ListOverride:
        return true;
    default:
        return false;
    }
}
