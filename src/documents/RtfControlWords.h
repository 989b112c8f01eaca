#pragma once

#include <cstdint>
#include <string_view>

// The control words the rich-text reader understands, looked up by name.
class RtfControlWords {
public:
    enum class Word : std::uint8_t {
        Unknown,
        // destinations
        FontTable,
        ColorTable,
        Numbering,
        SkipDestination,
        AlternateText,
        UnicodeCopy,
        ListTable,
        ListOverrideTable,
        List,
        ListLevel,
        ListId,
        LevelNumberFormat,
        ListOverride,
        ListLevelIndex,
        // character formatting
        Bold,
        Italic,
        Underline,
        UnderlineNone,
        Strike,
        Font,
        FontSize,
        Foreground,
        Background,
        Highlight,
        Super,
        Sub,
        NoSuperSub,
        Plain,
        Hidden,
        // paragraphs
        Pard,
        Par,
        Line,
        Tab,
        AlignLeft,
        AlignRight,
        AlignCenter,
        AlignJustify,
        ListNumber,
        Cell,
        Row,
        // numbering inside \pn
        LevelBullet,
        LevelBody,
        StyleDecimal,
        StyleLowerAlpha,
        StyleUpperAlpha,
        StyleLowerRoman,
        StyleUpperRoman,
        // text and encoding
        Unicode,
        UnicodeSkip,
        Binary,
        Ansi,
        Mac,
        Pc,
        Pca,
        AnsiCodePage,
        DefaultFont,
        Red,
        Green,
        Blue,
        FontCharset,
        FontCodePage,
        EmDash,
        EnDash,
        BulletChar,
        LeftQuote,
        RightQuote,
        LeftDoubleQuote,
        RightDoubleQuote,
        EmSpace,
        EnSpace,
        QuarterSpace,
        ZeroWidthJoiner,
        ZeroWidthNonJoiner,
        LtrMark,
        RtlMark,
    };

    // Unknown for a word the reader has no use for.
    static Word lookup(std::string_view name);

    // Words that open a group of their own; after \* any other word marks a group to skip whole.
    static bool isDestination(Word word);
};
