// Reading rich text of the kinds word processors write.
#include "PaneDocument.h"
#include "RtfReader.h"

#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

namespace {

struct Loaded {
    QTextDocument document;
    RtfReader::Result result;
    explicit Loaded(const QByteArray& rtf) { result = RtfReader::read(rtf, document); }
    QStringList blocks() const
    {
        QStringList texts;
        for (QTextBlock b = document.begin(); b.isValid(); b = b.next())
            texts << b.text();
        return texts;
    }
    // the character format at a character of the plain text
    QTextCharFormat formatAt(int position) const
    {
        QTextCursor cursor(const_cast<QTextDocument*>(&document));
        cursor.setPosition(position + 1);
        return cursor.charFormat();
    }
    int find(const QString& text) const { return document.toPlainText().indexOf(text); }
};

}  // namespace

class RtfReaderTest : public QObject {
    Q_OBJECT
private slots:
    void wordPadDocumentWithFontsColoursAndAccents();
    void unicodeEscapesAndTheirFallbacks();
    void nestedGroupsRestoreFormatting();
    void bulletsAndNumberingAsWordProcessorsWriteThem();
    void codePagesOfDocumentAndFonts();
    void documentsOfOtherWritersAndCodePages_data();
    void documentsOfOtherWritersAndCodePages();
    void destinationsThatAreNotText();
    void specialCharactersAndBreaks();
    void paragraphMarksAndAlignment();
    void alternateUnicodeTextIsReadOnce();
    void plainTextIsNotRichText();
};

void RtfReaderTest::wordPadDocumentWithFontsColoursAndAccents()
{
    const QByteArray rtf =
        R"RTF({\rtf1\ansi\ansicpg1252\deff0\nouicompat\deflang1036{\fonttbl{\f0\fnil\fcharset0 Calibri;}{\f1\fswiss\fprq2\fcharset0 Arial;}}
{\colortbl ;\red255\green0\blue0;\red0\green128\blue0;}
{\*\generator Riched20 10.0.19041}\viewkind4\uc1 
\pard\sa200\sl276\slmult1\f0\fs22\lang12 Caf\'e9 \b gras\b0  \i italique\i0  \ul soulign\'e9\ulnone  \strike barr\'e9\strike0\par
\cf1\f1\fs32 rouge\cf2  vert\highlight1  surlign\'e9\highlight0\cf0\par
}
)RTF";
    Loaded loaded(rtf);
    QVERIFY(loaded.result.richText);
    QCOMPARE(loaded.result.problems, QStringList());
    QCOMPARE(loaded.blocks(), QStringList({"Café gras italique souligné barré", "rouge vert surligné"}));

    QTextCharFormat plain = loaded.formatAt(loaded.find("Caf"));
    QCOMPARE(plain.fontFamilies().toStringList(), QStringList("Calibri"));
    QCOMPARE(plain.fontPointSize(), 11.0);
    QVERIFY(plain.fontWeight() < QFont::DemiBold);
    QCOMPARE(loaded.formatAt(loaded.find("gras")).fontWeight(), int(QFont::Bold));
    QVERIFY(loaded.formatAt(loaded.find("italique")).fontItalic());
    QVERIFY(loaded.formatAt(loaded.find("soulign")).fontUnderline());
    QVERIFY(loaded.formatAt(loaded.find("barr")).fontStrikeOut());
    QVERIFY(!loaded.formatAt(loaded.find("barr")).fontUnderline());

    const QTextCharFormat red = loaded.formatAt(loaded.find("rouge"));
    QCOMPARE(red.foreground().color(), QColor(255, 0, 0));
    QCOMPARE(red.fontFamilies().toStringList(), QStringList("Arial"));
    QCOMPARE(red.fontPointSize(), 16.0);
    QCOMPARE(loaded.formatAt(loaded.find("vert")).foreground().color(), QColor(0, 128, 0));
    const QTextCharFormat marked = loaded.formatAt(loaded.find("surlign"));
    QCOMPARE(marked.background().color(), QColor(255, 0, 0));
    // colour 0 is "automatic": no colour of its own
    QCOMPARE(loaded.formatAt(0).foreground().style(), Qt::NoBrush);
}

void RtfReaderTest::unicodeEscapesAndTheirFallbacks()
{
    // \uc1 (default) skips one fallback character, \uc2 two, \uc0 none; negative numbers
    // are the upper half; a surrogate pair makes one character beyond the 16-bit range.
    Loaded loaded(
        R"RTF({\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0 \u1055?\u1088?\u1080?\u1074?\u1077?\u1090? {\uc2\u26085\'93\'fa\u26412\'96\'7b} {\uc0\u8364 } \u-10179?\u-8704? end\par})RTF");
    QCOMPARE(loaded.blocks(), QStringList({QString::fromUtf8("Привет 日本 € 😀 end")}));
    QCOMPARE(loaded.result.problems, QStringList());
}

void RtfReaderTest::nestedGroupsRestoreFormatting()
{
    Loaded loaded(R"RTF({\rtf1\ansi{\fonttbl{\f0 Arial;}}\fs20 a{\b b{\i c{\ul d}e}f}g\par})RTF");
    QCOMPARE(loaded.blocks(), QStringList("abcdefg"));
    const auto check = [&](const char* ch, bool bold, bool italic, bool underline) {
        const QTextCharFormat f = loaded.formatAt(loaded.find(ch));
        QCOMPARE(f.fontWeight() >= QFont::DemiBold, bold);
        QCOMPARE(f.fontItalic(), italic);
        QCOMPARE(f.fontUnderline(), underline);
        QCOMPARE(f.fontPointSize(), 10.0);
    };
    check("a", false, false, false);
    check("b", true, false, false);
    check("c", true, true, false);
    check("d", true, true, true);
    check("e", true, true, false);
    check("f", true, false, false);
    check("g", false, false, false);
}

void RtfReaderTest::bulletsAndNumberingAsWordProcessorsWriteThem()
{
    // a small word processor: \pn once, then \pntext per item until \pard
    Loaded pad(R"RTF({\rtf1\ansi\deff0{\fonttbl{\f0\fnil Calibri;}{\f1\fnil\fcharset2 Symbol;}}
\viewkind4\uc1\pard{\pntext\f1\'B7\tab}{\*\pn\pnlvlblt\pnf1\pnindent0{\pntxtb\'B7}}\fi-360\li720\f0 One\par
{\pntext\f1\'B7\tab}Two\par
\pard Plain\par
{\pntext\f0 1.\tab}{\*\pn\pnlvlbody\pnf0\pnindent0\pnstart1\pndec{\pntxta.}}\fi-360\li720 First\par
{\pntext\f0 2.\tab}Second\par
})RTF");
    QCOMPARE(pad.blocks(), QStringList({"One", "Two", "Plain", "First", "Second"}));
    const QTextBlock one = pad.document.findBlockByNumber(0);
    QVERIFY(one.textList());
    QCOMPARE(one.textList()->format().style(), QTextListFormat::ListDisc);
    QCOMPARE(pad.document.findBlockByNumber(1).textList(), one.textList());
    QVERIFY(!pad.document.findBlockByNumber(2).textList());
    const QTextList* numbered = pad.document.findBlockByNumber(3).textList();
    QVERIFY(numbered);
    QCOMPARE(numbered->format().style(), QTextListFormat::ListDecimal);
    QCOMPARE(numbered->count(), 2);

    // a full word processor: list overrides with \listtext
    Loaded word(
        R"RTF({\rtf1\ansi{\fonttbl{\f0 Times;}{\f3 Symbol;}}{\*\listtable{\list\listtemplateid1{\listlevel\levelnfc23{\leveltext\'01\u-3913 ?;}}\listid5}}{\*\listoverridetable{\listoverride\listid5\ls1}}
\pard\plain {\listtext\pard\plain\f3 \'b7\tab}\ls1\ilvl0 Item\par
\pard\plain After\par})RTF");
    QCOMPARE(word.blocks(), QStringList({"Item", "After"}));
    QVERIFY(word.document.findBlockByNumber(0).textList());
    QCOMPARE(word.document.findBlockByNumber(0).textList()->format().style(), QTextListFormat::ListDisc);
    QVERIFY(!word.document.findBlockByNumber(1).textList());

    // the list table says which lists are numbered, level by level
    Loaded table(R"RTF({\rtf1\ansi{\fonttbl{\f0 Times;}}
{\*\listtable{\list\listtemplateid9{\listlevel\levelnfc0\levelstartat1{\leveltext\'02\'00.;}{\levelnumbers\'01;}}{\listlevel\levelnfc4{\leveltext\'02\'01.;}}{\listname ;}\listid7}
{\list{\listlevel\levelnfc23{\leveltext\'01\u-3913 ?;}}\listid8}}
{\*\listoverridetable{\listoverride\listid7\listoverridecount0\ls2}{\listoverride\listid8\ls1}}
\pard{\listtext 1.\tab}\ls2 One\par
{\listtext a.\tab}\ls2\ilvl1 Sub\par
\pard{\listtext\'b7\tab}\ls1 Dot\par
\pard\ls5 Unknown\par})RTF");
    QCOMPARE(table.blocks(), QStringList({"One", "Sub", "Dot", "Unknown"}));
    const auto style = [&](int block) {
        const QTextList* list = table.document.findBlockByNumber(block).textList();
        return list ? list->format().style() : QTextListFormat::ListStyleUndefined;
    };
    QCOMPARE(style(0), QTextListFormat::ListDecimal);
    QCOMPARE(style(1), QTextListFormat::ListLowerAlpha);
    QCOMPARE(style(2), QTextListFormat::ListDisc);
    QCOMPARE(style(3), QTextListFormat::ListDisc);
}

void RtfReaderTest::codePagesOfDocumentAndFonts()
{
    // the document's code page, then a font whose character set names another one
    Loaded cyrillic(R"RTF({\rtf1\ansi\ansicpg1251{\fonttbl{\f0 Arial;}}\f0 \'cf\'f0\'e8\'e2\'e5\'f2\par})RTF");
    QCOMPARE(cyrillic.blocks(), QStringList(QString::fromUtf8("Привет")));

    Loaded mixed(
        R"RTF({\rtf1\ansi\ansicpg1252{\fonttbl{\f0\fcharset0 Arial;}{\f1\fcharset204 Arial CYR;}{\f2\fcharset161 Arial Greek;}}\f0 d\'e9j\'e0 \f1\'e4\'e0 \f2\'e1\'e2\f0  \'80\par})RTF");
    QCOMPARE(mixed.blocks(), QStringList(QString::fromUtf8("déjà да αβ €")));

    Loaded utf8(R"RTF({\rtf1\ansi\ansicpg65001 \'c3\'a9t\'c3\'a9\par})RTF");
    QCOMPARE(utf8.blocks(), QStringList(QString::fromUtf8("été")));

    // double-byte code pages take their bytes in pairs
    Loaded japanese(R"RTF({\rtf1\ansi\ansicpg932{\fonttbl{\f0\fcharset128 MS Mincho;}}\f0 \'93\'fa\'96\'7b\par})RTF");
    QCOMPARE(japanese.blocks(), QStringList(QString::fromUtf8("日本")));
    QCOMPARE(japanese.formatAt(0).fontFamilies().toStringList(), QStringList("MS Mincho"));
}

void RtfReaderTest::documentsOfOtherWritersAndCodePages_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    // a font's own code page wins over its character set and over the document's code page
    QTest::newRow("font code page UTF-8") << QByteArray(
        R"RTF({\rtf1\ansi\ansicpg1251\deff1{\fonttbl{\f0\fnil\fcharset128\cpg65001 Arial Unicode MS;}{\f1\fnil\fcharset0 Arial;}}
\f0 \'e4\'b8\'ad\'e5\'9c\'8b \'f0\'9f\'98\'80\f1  caf\'e9\par})RTF")
                                          << QString::fromUtf8("中國 😀 café");
    QTest::newRow("broken UTF-8 keeps its neighbours")
        << QByteArray(R"RTF({\rtf1\ansi{\fonttbl{\f0\cpg65001 A;}}\f0 a\'e4b\'ffc\'e4\'b8\'ad\par\'e4\par d})RTF")
        << QString::fromUtf8("a\uFFFDb\uFFFDc中\r\n\uFFFD\r\nd");
    QTest::newRow("font code page 1251") << QByteArray(
        R"RTF({\rtf1\ansi\ansicpg1252{\fonttbl{\f0\fcharset0\cpg1251 Arial;}}\f0 \'cf\'f0\'e8\'e2\'e5\'f2})RTF")
                                         << QString::fromUtf8("Привет");
    // a second byte may be written as an escaped brace or backslash, or as a plain letter
    QTest::newRow("Shift_JIS pairs") << QByteArray(
        R"RTF({\rtf1\ansi{\fonttbl{\f0\fnil\fcharset128 MS Mincho;}}\f0 \'93\'fa
\'96\'7b \'95\\\'83A\'97\{\'97\} \'93\par x\par})RTF")
                                     << QString::fromUtf8("日本 表ア養抑 \uFFFD\r\nx");
    QTest::newRow("two-byte fallback counted as one")
        << QByteArray(R"RTF({\rtf1\ansi\ansicpg932\uc1 \u26085\'93\'fa\u26412\'96\'7b!\par})RTF")
        << QString::fromUtf8("日本!");

    QTest::newRow("Mac Japanese and Roman")
        << QByteArray(R"RTF({\rtf1\mac\ansicpg10001{\fonttbl\f0\fnil\fcharset78 Osaka;\f1\fswiss\fcharset77 Helvetica;}
\f0 \'93\'fa\'96\'7b\'fd\'fe\'ff\'a0\'b1\'80\f1  caf\'8e \'a5\par})RTF")
        << QString::fromUtf8("日本©™…\u00A0ｱ\\ café •");
    QTest::newRow("Mac without code page")
        << QByteArray(R"RTF({\rtf1\mac\deff0{\fonttbl{\f0\fnil\fcharset0 Geneva;}}\f0 \'d2caf\'8e\'d3\par})RTF")
        << QString::fromUtf8("“café”");
    const auto mac = [](int charset, const char* bytes) {
        return "{\\rtf1\\mac{\\fonttbl{\\f0\\fcharset" + QByteArray::number(charset) + " F;}}\\f0 " + bytes + "\\par}";
    };
    QTest::newRow("Mac Korean") << mac(79, R"(\'c7\'d1\'b1\'b9\'81\'85!)") << QString::fromUtf8("한국₩\uFFFD!");
    QTest::newRow("Mac Simplified Chinese") << mac(80, R"(\'d6\'d0\'b9\'fa\'fd)") << QString::fromUtf8("中国©");
    QTest::newRow("Mac Traditional Chinese") << mac(81, R"(\'a4\'a4\'b0\'ea\'a4)") << QString::fromUtf8("中國\uFFFD");
    QTest::newRow("Mac Hebrew") << mac(83, R"(\'f9\'ec\'e5\'ed \'a6)") << QString::fromUtf8("שלום ₪");
    QTest::newRow("Mac Arabic") << mac(84, R"(\'d3\'e4\'c7\'e5 \'b3)") << QString::fromUtf8("سلام ٣");
    QTest::newRow("Mac Greek") << mac(85, R"(\'b6\'ec\'ec\'c0\'e4\'e1)") << QString::fromUtf8("Ελλάδα");
    QTest::newRow("Mac Turkish") << mac(86, R"(\'49\'df\'dd\'db\'dd)") << QString::fromUtf8("Işığı");
    QTest::newRow("Mac Thai") << mac(87, R"(\'e4\'b7\'c2\'fc)") << QString::fromUtf8("ไทย\uFFFD");
    QTest::newRow("Mac Central European") << mac(88, R"(\'fc\'97\'64\'90)") << QString::fromUtf8("Łódź");
    QTest::newRow("Mac Cyrillic") << mac(89, R"(\'8f\'f0\'e8\'e2\'e5\'f2)") << QString::fromUtf8("Привет");
    QTest::newRow("Johab") << QByteArray(R"RTF({\rtf1\ansi{\fonttbl{\f0\fcharset130 Gulim;}}\f0 \'d0\'65\'ff!})RTF")
                           << QString::fromUtf8("한\uFFFD!");
    QTest::newRow("Mac Icelandic") << QByteArray(R"RTF({\rtf1\mac\ansicpg10079 \'de\'97r\par})RTF")
                                   << QString::fromUtf8("Þór");

    // alternate Unicode text, groups of unknown words after \*, and fields, as different writers put them
    QTest::newRow("small word processor")
        << QByteArray(R"RTF({\rtf1\ansi\ansicpg1252\deff0\nouicompat\deflang1033{\fonttbl{\f0\fnil\fcharset0 Calibri;}}
{\*\generator Riched20 10.0.19041}\viewkind4\uc1
\pard\sa200\sl276\slmult1\f0\fs22\lang9 See {\field{\*\fldinst{HYPERLINK "http://example.org/" }}{\fldrslt{\ul\cf1\cf1\ul example.org}}}\f0\fs22  {\upr{caf?}{\*\ud{caf\u233?}}}.\par
})RTF") << QString::fromUtf8("See example.org café.");
    QTest::newRow("full word processor") << QByteArray(
        R"RTF({\rtf1\adeflang1025\ansi\ansicpg1252\uc1\adeff31507\deff0{\fonttbl{\f0\fbidi \froman\fcharset0\fprq2{\*\panose 02020603050405020304}Times New Roman;}
{\f13\fbidi \fnil\fcharset128\fprq2{\*\panose 02020609040205080304}MS Mincho{\*\falt \'82\'6c\'82\'72 \'96\'be\'92\'a9};}}
{\info{\upr{\title \'93\'fa}{\*\ud{\title \u26085\'93\'fa}}}{\author X}}{\*\xmlnstbl {\xmlns1 http://x}}{\*\rsidtbl \rsid1}
\pard\plain \ltrpar\ql \rtlch\fcs1 \af0 \ltrch\fcs0 \f0\fs24 {\rtlch\fcs1 \af0 \ltrch\fcs0 Page }{\field\flddirty{\*\fldinst {\rtlch\fcs1 \af0 \ltrch\fcs0  PAGE   \\* MERGEFORMAT }}{\fldrslt {\rtlch\fcs1 \af0 \ltrch\fcs0 \lang1024\noproof 2}}}
{\*\bkmkstart _Toc1}{\*\bkmkend _Toc1}{\rtlch\fcs1 \af13 \ltrch\fcs0 \f13\hich\af13\dbch\af13\loch\f13  \'93\'fa}{\*\xmlopen\xmlns1{\factoidname place}}{\upr{\f13 \'96\'7b}{\*\ud{\f13 \uc2\u26412\'96\'7b}}}{\*\xmlclose}
{\*\ftnsep {\*\b \chftnsep}}{\*\b bold}!\par})RTF")
                                         << QString::fromUtf8("Page 2 日本!");
    QTest::newRow("Mac text editor") << QByteArray(R"RTF({\rtf1\ansi\ansicpg1252\cocoartf2639
\cocoatextscaling0\cocoaplatform0{\fonttbl\f0\fswiss\fcharset0 Helvetica;\f1\fnil\fcharset128 HiraginoSans-W3;}
{\colortbl;\red255\green255\blue255;\red0\green0\blue233;}
{\*\expandedcolortbl;;\cssrgb\c0\c0\c93333;}
\paperw11900\paperh16840\margl1440\margr1440\vieww11520\viewh8400\viewkind0
\pard\tx566\tx1133\tx1700\pardirnatural\partightenfactor0
{\field{\*\fldinst{HYPERLINK "https://example.org/"}}{\fldrslt 
\f0\fs24 \cf2 \ul \ulc2 Caf\'e9}}\
\f1 \'93\'fa\f0  \uc0\u26412 \u-10179 \u-8704 {\upr{x}{\*\ud{\u233 }}}}
)RTF") << QString::fromUtf8("Café\r\n日 本😀é");
    QTest::newRow("older Mac editor") << QByteArray(R"RTF({\rtf1\mac\ansicpg10001\cocoartf102
{\fonttbl\f0\fnil\fcharset78 Osaka;\f1\fswiss\fcharset77 Helvetica;}
{\colortbl;\red255\green255\blue255;}
\pard\tx560\ql\qnatural
\f0\fs24 \cf0 \'93\'fa\'96\'7b\f1 {\field{\*\fldinst{HYPERLINK "http://example.org/"}}{\fldrslt \'d2link\'d3}}{\*\NeXTGraphic a.tiff \width20}{\upr{\'8e}{\*\ud{\uc0\u233}}}\
})RTF") << QString::fromUtf8("日本“link”é");
}

// The pane's text after loading each sample is exactly the expected Unicode, with nothing reported;
// paragraphs are apart by CR LF as the pane saves them.
void RtfReaderTest::documentsOfOtherWritersAndCodePages()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QTextDocument pane;
    const PaneDocument::Outcome outcome = PaneDocument::loadData(rtf, pane);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QCOMPARE(outcome.problems, QStringList());
    QCOMPARE(PaneDocument::plainText(pane), text);
}

void RtfReaderTest::destinationsThatAreNotText()
{
    QByteArray rtf =
        R"RTF({\rtf1\ansi{\fonttbl{\f0 Arial;}}{\stylesheet{\s0 Normal;}}{\info{\title Secret}{\author Nobody}}{\*\unknownthing hidden text}{\header head}A{\*\bkmkstart mark}{\field{\*\fldinst HYPERLINK "x"}{\fldrslt link}}B{\pict\pngblip 89504e47}C{\v hidden}D)RTF";
    rtf += "\\bin5 {}}\\ E\\par}";
    Loaded loaded(rtf);
    QCOMPARE(loaded.blocks(), QStringList("AlinkBCDE"));
    QCOMPARE(loaded.result.problems, QStringList());
}

void RtfReaderTest::specialCharactersAndBreaks()
{
    Loaded loaded(
        R"RTF({\rtf1\ansi a\tab b\line c\~d\emdash e\endash f\lquote g\rquote \ldblquote h\rdblquote \bullet \{\}\\\par})RTF");
    QCOMPARE(loaded.blocks(),
             QStringList(QString::fromUtf8("a\tb\u2028c\u00a0d\u2014e\u2013f\u2018g\u2019\u201ch\u201d\u2022{}\\")));
    // characters the editor would take for paragraph ends, frames or objects break the line or go
    Loaded marks(R"RTF({\rtf1\ansi a\u10?b\u8233?c\'0dd\u65532?\u64976?e\par})RTF");
    QCOMPARE(marks.blocks(), QStringList(QString::fromUtf8("a\u2028b\u2028c\u2028de")));
}

void RtfReaderTest::paragraphMarksAndAlignment()
{
    // the last \par closes the last paragraph instead of opening an empty one
    QCOMPARE(Loaded(R"RTF({\rtf1 one\par})RTF").blocks(), QStringList("one"));
    QCOMPARE(Loaded(R"RTF({\rtf1 one\par\par})RTF").blocks(), QStringList({"one", ""}));
    QCOMPARE(Loaded(R"RTF({\rtf1 one\par two})RTF").blocks(), QStringList({"one", "two"}));

    Loaded aligned(R"RTF({\rtf1\pard\qc centre\par\pard\qr right\par\qj justified\par\pard left\par\pard\qc last})RTF");
    const auto alignment = [&](int block) {
        return aligned.document.findBlockByNumber(block).blockFormat().alignment() & Qt::AlignHorizontal_Mask;
    };
    QCOMPARE(alignment(0), Qt::AlignHCenter);
    QCOMPARE(alignment(1), Qt::AlignRight);
    QCOMPARE(alignment(2), Qt::AlignJustify);
    QCOMPARE(alignment(3), Qt::AlignLeft);
    QCOMPARE(alignment(4), Qt::AlignHCenter);
}

void RtfReaderTest::alternateUnicodeTextIsReadOnce()
{
    // in text and in the font table alike
    Loaded loaded(
        R"RTF({\rtf1\ansi{\fonttbl{\upr{\f0 Caf?;}{\*\ud{\f0 Caf\u233?;}}}}\f0 {\upr{caf?}{\*\ud{caf\u233?}}} ok\par})RTF");
    QCOMPARE(loaded.blocks(), QStringList(QString::fromUtf8("café ok")));
    QCOMPARE(loaded.formatAt(0).fontFamilies().toStringList(), QStringList(QString::fromUtf8("Café")));
}

void RtfReaderTest::plainTextIsNotRichText()
{
    QVERIFY(RtfReader::looksLikeRtf("\xEF\xBB\xBF \r\n{\\rtf1 x}"));
    QVERIFY(!RtfReader::looksLikeRtf("hello {\\rtf1}"));
    QTextDocument document;
    document.setPlainText("kept");
    QVERIFY(!RtfReader::read("just text", document).richText);
    QCOMPARE(document.toPlainText(), QString("kept"));
}

QTEST_MAIN(RtfReaderTest)
#include "test_rtf_reader.moc"
