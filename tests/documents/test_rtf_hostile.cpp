// Hostile rich text: none of it may crash, hang or grow memory without bound.
#include "PaneDocument.h"
#include "RtfReader.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {
QString readText(const QByteArray& rtf, RtfReader::Result* result = nullptr)
{
    QTextDocument document;
    const RtfReader::Result r = RtfReader::read(rtf, document);
    if (result)
        *result = r;
    return document.toPlainText();
}
}  // namespace

class RtfHostileTest : public QObject {
    Q_OBJECT
private slots:
    void deepNestingIsCapped();
    void unbalancedBraces();
    void hugeAndNegativeParameters();
    void longControlWordsAndTruncation();
    void hugeFontTable();
    void paragraphFloodIsCapped();
    void binaryFileRenamedRtf();
    void randomBytesAfterTheHeader();
};

void RtfHostileTest::deepNestingIsCapped()
{
    const int depth = 1000000;
    QByteArray rtf = "{\\rtf1 start";
    rtf += QByteArray(depth, '{') + "\\b deep" + QByteArray(depth, '}') + " end}";
    RtfReader::Result result;
    QCOMPARE(readText(rtf, &result), QString("startdeep end"));
    QCOMPARE(result.problems.size(), 1);
    QVERIFY(result.problems.first().contains("nested deeper"));

    // never closed at all
    const QString unclosed = readText("{\\rtf1 x" + QByteArray(depth, '{') + "y", &result);
    QCOMPARE(unclosed, QString("xy"));
    QVERIFY(result.problems.join(' ').contains("ends before"));
}

void RtfHostileTest::unbalancedBraces()
{
    // a closing brace too many ends the document; what came before stays
    QCOMPARE(readText("{\\rtf1 a}}}} b {{"), QString("a"));
    QCOMPARE(readText("{\\rtf1 a{\\b b"), QString("ab"));
    QCOMPARE(readText("{\\rtf1 a}{\\rtf1 second}"), QString("a"));
}

void RtfHostileTest::hugeAndNegativeParameters()
{
    QCOMPARE(readText("{\\rtf1 a\\bin4294967295 rest}"), QString("a"));
    QCOMPARE(readText("{\\rtf1 a\\bin-5 b}"), QString("ab"));
    QCOMPARE(readText("{\\rtf1{\\colortbl;\\red300\\green-4\\blue99999999999999;}\\cb-999999999 a\\cf99999999 b"
                      "\\f99999 c\\f-3 d\\fs-10 e\\fs999999999999999 f\\highlight2147483648 g}"),
             QString("abcdefg"));
    // \u outside 16 bits is no character; \uc is capped yet still skips its fallbacks
    QCOMPARE(readText("{\\rtf1 a\\u-70000?b\\u999999999999?c}"), QString("a\uFFFDb\uFFFDc"));
    QCOMPARE(readText("{\\rtf1 {\\uc300\\u65 " + QByteArray(1000, 'x') + "}z}"), "A" + QString(745, 'x') + "z");
    QCOMPARE(readText("{\\rtf1 {\\uc-7\\u66 x}\\ansicpg-1 \\ansicpg99999 \\'e9}"), QString("Bx\u00e9"));
}

void RtfHostileTest::longControlWordsAndTruncation()
{
    const QByteArray longWord = "\\" + QByteArray(40, 'b') + " ";
    QCOMPARE(readText("{\\rtf1 a" + longWord + "b" + "\\" + QByteArray(100000, 'q') + "1 c}"), QString("abc"));
    const QByteArray full = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 Hello \\b world\\'e9\\u1044?\\par}";
    // every prefix of a document loads as far as it goes
    for (int cut = 0; cut <= full.size(); ++cut) {
        RtfReader::Result result;
        const QString text = readText(full.left(cut), &result);
        QVERIFY(text.size() <= 14);
    }
    RtfReader::Result result;
    readText("{\\rtf1 abc\\", &result);
    QVERIFY(result.problems.join(' ').contains("control word"));
    readText("{\\rtf1 abc\\'e", &result);
    QVERIFY(result.problems.join(' ').contains("incomplete"));
}

void RtfHostileTest::hugeFontTable()
{
    QByteArray rtf = "{\\rtf1{\\fonttbl";
    for (int i = 0; i < 40000; ++i)
        rtf += "{\\f" + QByteArray::number(i) + "\\fcharset0 Font number " + QByteArray::number(i) + ";}";
    rtf += "}{\\colortbl;" + QByteArray("\\red1\\green2\\blue3;").repeated(10000) + "}";
    rtf += "\\f39999 text\\f2 more\\cf9999 x}";
    QTextDocument document;
    const RtfReader::Result result = RtfReader::read(rtf, document);
    QCOMPARE(document.toPlainText(), QString("textmorex"));
    QCOMPARE(result.problems.size(), 2);
    QTextCursor cursor(&document);
    cursor.setPosition(6);
    QCOMPARE(cursor.charFormat().fontFamilies().toStringList(), QStringList("Font number 2"));

    // a name never keeps the ';' that ends entries, nor outgrows 256 characters when bytes and \u
    // take turns, or the writer's copy would not read back as the same font
    QTextDocument odd;
    RtfReader::read("{\\rtf1{\\fonttbl{\\f0 a\\u59?b;}{\\f1 " + QByteArray(200, 'x') + "\\u65?" + QByteArray(200, 'y')
                        + ";}}\\f0 x\\f1 y}",
                    odd);
    cursor = QTextCursor(&odd);
    cursor.setPosition(1);
    QCOMPARE(cursor.charFormat().fontFamilies().toStringList(), QStringList("ab"));
    cursor.setPosition(2);
    QCOMPARE(cursor.charFormat().fontFamilies().toStringList(),
             QStringList(QString(200, 'x') + 'A' + QString(55, 'y')));
}

void RtfHostileTest::paragraphFloodIsCapped()
{
    RtfReader::Limits limits;
    limits.maxParagraphs = 1000;
    QTextDocument document;
    const RtfReader::Result result =
        RtfReader::read("{\\rtf1 " + QByteArray("line\\par ").repeated(5000) + "}", document, limits);
    QCOMPARE(document.blockCount(), 1001);  // the text before the mark past the limit is kept
    QCOMPARE(document.lastBlock().text(), QString("line"));
    QCOMPARE(result.problems.size(), 1);
    QVERIFY(result.problems.first().contains("more than 1000 paragraphs"));
}

void RtfHostileTest::binaryFileRenamedRtf()
{
    QTemporaryDir dir;
    QByteArray binary;
    for (int i = 0; i < 70000; ++i)
        binary += char(i * 7 % 256);
    const QString path = dir.filePath("picture.rtf");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(binary);
    file.close();

    QTextDocument pane;
    pane.setPlainText("what was there");
    const PaneDocument::Outcome outcome = PaneDocument::load(path, pane);
    QVERIFY(!outcome.ok);
    QVERIFY(outcome.error.contains(path));
    QVERIFY(outcome.error.contains("neither a text nor a rich-text document"));
    QCOMPARE(pane.toPlainText(), QString("what was there"));

    // a rich-text header followed by garbage that yields no text says so, pane untouched
    QFile rtfFile(path);
    QVERIFY(rtfFile.open(QIODevice::WriteOnly));
    rtfFile.write("{\\rtf1{\\*\\junk " + binary.left(20).replace('{', 'x').replace('}', 'x').replace('\\', 'x'));
    rtfFile.close();
    const PaneDocument::Outcome cut = PaneDocument::load(path, pane);
    QVERIFY(!cut.ok);
    QVERIFY(cut.error.startsWith("No text could be read"));
    QCOMPARE(pane.toPlainText(), QString("what was there"));
}

void RtfHostileTest::randomBytesAfterTheHeader()
{
    // a fixed seed keeps the test repeatable; the fuzz target explores further
    QRandomGenerator random(20261207);
    const QByteArray alphabet = "{}\\';*abcdefgpnrtuv0123456789- \r\n\x80\xff";
    for (int round = 0; round < 300; ++round) {
        QByteArray rtf = "{\\rtf1 ";
        const int size = random.bounded(1, 4000);
        for (int i = 0; i < size; ++i)
            rtf += alphabet[random.bounded(alphabet.size())];
        QTextDocument document;
        RtfReader::read(rtf, document);
        QVERIFY(document.characterCount() <= rtf.size() + 1);
    }
}

QTEST_MAIN(RtfHostileTest)
#include "test_rtf_hostile.moc"
