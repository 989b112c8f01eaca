// Writing rich text: what we write reads back the same, and other readers find the text.
#include "DocumentCompare.h"
#include "RtfReader.h"
#include "RtfWriter.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

namespace {

QTextCharFormat charFormat(const std::function<void(QTextCharFormat&)>& set)
{
    QTextCharFormat format;
    set(format);
    return format;
}

// Writes, reads back into a document with the same default font, and compares.
void checkRoundTrip(const QTextDocument& original)
{
    const QByteArray rtf = RtfWriter::write(original);
    QTextDocument back;
    back.setDefaultFont(original.defaultFont());
    const RtfReader::Result result = RtfReader::read(rtf, back);
    QVERIFY(result.richText);
    QCOMPARE(result.problems, QStringList());
    QCOMPARE(describeDocument(back), describeDocument(original));
}

}  // namespace

class RtfWriterTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void characterFormattingRoundTrips_data();
    void characterFormattingRoundTrips();
    void paragraphsAlignmentAndListsRoundTrip();
    void textOfEveryKindRoundTrips();
    void defaultFontAndColourAreWrittenOut();
    void outputIsPlainAsciiWithEscapes();
    void anotherReaderFindsTheText();

private:
    QFont m_font;
};

void RtfWriterTest::init()
{
    m_font = QFont("DejaVu Sans");
    m_font.setPointSize(10);
}

void RtfWriterTest::characterFormattingRoundTrips_data()
{
    QTest::addColumn<QTextCharFormat>("format");
    QTest::newRow("bold") << charFormat([](auto& f) { f.setFontWeight(QFont::Bold); });
    QTest::newRow("italic") << charFormat([](auto& f) { f.setFontItalic(true); });
    QTest::newRow("underline") << charFormat([](auto& f) { f.setFontUnderline(true); });
    QTest::newRow("strike") << charFormat([](auto& f) { f.setFontStrikeOut(true); });
    QTest::newRow("size") << charFormat([](auto& f) { f.setFontPointSize(26); });
    QTest::newRow("half point size") << charFormat([](auto& f) { f.setFontPointSize(10.5); });
    QTest::newRow("family") << charFormat([](auto& f) { f.setFontFamilies({"Liberation Serif"}); });
    QTest::newRow("family with specials")
        << charFormat([](auto& f) { f.setFontFamilies({QString::fromUtf8("Schrift {Ä} \\x Д")}); });
    QTest::newRow("colour") << charFormat([](auto& f) { f.setForeground(QColor(12, 200, 99)); });
    QTest::newRow("background") << charFormat([](auto& f) { f.setBackground(QColor(255, 255, 0)); });
    QTest::newRow("superscript") << charFormat(
        [](auto& f) { f.setVerticalAlignment(QTextCharFormat::AlignSuperScript); });
    QTest::newRow("subscript") << charFormat([](auto& f) { f.setVerticalAlignment(QTextCharFormat::AlignSubScript); });
    QTest::newRow("everything at once") << charFormat([](auto& f) {
        f.setFontWeight(QFont::Bold);
        f.setFontItalic(true);
        f.setFontUnderline(true);
        f.setFontStrikeOut(true);
        f.setFontPointSize(48);
        f.setFontFamilies({"Liberation Mono"});
        f.setForeground(Qt::blue);
        f.setBackground(Qt::red);
    });
}

void RtfWriterTest::characterFormattingRoundTrips()
{
    QFETCH(QTextCharFormat, format);
    QTextDocument document;
    document.setDefaultFont(m_font);
    QTextCursor cursor(&document);
    cursor.insertText("before ");
    cursor.insertText("formatted", format);
    cursor.insertText(" after", QTextCharFormat());
    checkRoundTrip(document);
}

void RtfWriterTest::paragraphsAlignmentAndListsRoundTrip()
{
    QTextDocument document;
    document.setDefaultFont(m_font);
    QTextCursor cursor(&document);
    const auto paragraph = [&](const QString& text, Qt::Alignment alignment) {
        if (cursor.position() > 0)
            cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        QTextBlockFormat format;
        format.setAlignment(alignment);
        cursor.setBlockFormat(format);
        cursor.insertText(text);
    };
    paragraph("left", Qt::AlignLeft);
    paragraph("right", Qt::AlignRight);
    paragraph("centre", Qt::AlignHCenter);
    paragraph("justified", Qt::AlignJustify);
    paragraph("bullet one", Qt::AlignLeft);
    QTextListFormat bullets;
    bullets.setStyle(QTextListFormat::ListDisc);
    bullets.setIndent(1);
    QTextList* list = cursor.createList(bullets);
    paragraph("bullet two centred", Qt::AlignHCenter);
    list->add(cursor.block());
    paragraph("", Qt::AlignLeft);  // an empty paragraph between the lists
    paragraph("numbered", Qt::AlignLeft);
    QTextListFormat numbers;
    numbers.setStyle(QTextListFormat::ListUpperRoman);
    numbers.setIndent(1);
    cursor.createList(numbers);
    paragraph("", Qt::AlignLeft);
    paragraph("", Qt::AlignLeft);  // trailing empty paragraphs are kept
    checkRoundTrip(document);
    QCOMPARE(document.blockCount(), 10);
}

void RtfWriterTest::textOfEveryKindRoundTrips()
{
    QTextDocument document;
    document.setDefaultFont(m_font);
    QTextCursor cursor(&document);
    cursor.insertText(QString::fromUtf8("ASCII {braces} \\backslash\\ tab\there, "
                                        "Latin-1 éàüßÿ, 1252 €‰Œ“”, Greek αβγ, Cyrillic Привет, "
                                        "CJK 日本語, emoji 😀, nbsp\u00a0x, line\u2028break"));
    cursor.insertBlock();
    cursor.insertText(" leading and trailing blanks  ");
    checkRoundTrip(document);
}

void RtfWriterTest::defaultFontAndColourAreWrittenOut()
{
    // text without formatting of its own takes the pane's font, size and colour into the file
    QTextDocument document;
    QFont font("Liberation Serif");
    font.setPointSize(14);
    document.setDefaultFont(font);
    document.setPlainText("plain");
    const QByteArray rtf = RtfWriter::write(document, QColor(0, 0, 255));
    QTextDocument back;  // a reader with other defaults
    RtfReader::read(rtf, back);
    QTextCursor cursor(&back);
    cursor.setPosition(1);
    QCOMPARE(cursor.charFormat().fontFamilies().toStringList(), QStringList("Liberation Serif"));
    QCOMPARE(cursor.charFormat().fontPointSize(), 14.0);
    QCOMPARE(cursor.charFormat().foreground().color(), QColor(0, 0, 255));
}

void RtfWriterTest::outputIsPlainAsciiWithEscapes()
{
    QTextDocument document;
    document.setDefaultFont(m_font);
    document.setPlainText(QString::fromUtf8("é Д 😀 {x}"));
    const QByteArray rtf = RtfWriter::write(document);
    QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252"));
    for (char c : rtf)
        QVERIFY2(static_cast<unsigned char>(c) < 0x80, rtf.constData());
    QVERIFY(rtf.contains("\\'e9"));
    QVERIFY(rtf.contains("\\u1044?"));
    QVERIFY(rtf.contains("\\u-10179?\\u-8704?"));
    QVERIFY(rtf.contains("\\{x\\}"));
    QVERIFY(rtf.trimmed().endsWith('}'));
}

void RtfWriterTest::anotherReaderFindsTheText()
{
    const QString unrtf = QStandardPaths::findExecutable("unrtf");
    if (unrtf.isEmpty())
        QSKIP("unrtf is not installed");
    QTextDocument document;
    document.setDefaultFont(m_font);
    QTextCursor cursor(&document);
    cursor.insertText(QString::fromUtf8("Première ligne en gras"),
                      charFormat([](auto& f) { f.setFontWeight(QFont::Bold); }));
    cursor.insertBlock();
    cursor.insertText(QString::fromUtf8("Seconde ligne {}"));
    QTemporaryDir dir;
    const QString path = dir.filePath("out.rtf");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(RtfWriter::write(document));
    file.close();
    QProcess process;
    process.start(unrtf, {"--html", path});
    QVERIFY(process.waitForFinished(60000));
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(html.contains("<b>Premi&egrave;re ligne en gras"), qPrintable(html));
    QVERIFY2(html.contains("Seconde ligne {}"), qPrintable(html));
}

QTEST_MAIN(RtfWriterTest)
#include "test_rtf_writer.moc"
