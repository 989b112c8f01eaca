// Saving the translation result and loading documents into a pane.
#include "PaneDocument.h"
#include "ResultFile.h"
#include "RtfReader.h"
#include "ScriptedPrompts.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {
QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}
}  // namespace

class ResultFileTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void formatFollowsACaseSensitiveTestOnTheWholeName();
    void nameWithoutExtensionGetsTxt();
    void emptyResultCountsForSaveButNotSaveAs();
    void firstSaveAsksLaterSavesDoNot();
    void saveAsWritesWhereTheDialogPoints();
    void writeErrorIsReportedAndStatusLineKept();
    void plainTextIsUtf8WithCrLfAndLosesNothing();
    void loadingTextFiles();
    void loadingRichTextKeepsFormatting();

private:
    QTemporaryDir m_dir;
    QStringList m_status;
    QTextDocument m_target;
};

void ResultFileTest::init()
{
    m_status.clear();
    m_target.setPlainText("Hola mundo");
}

void ResultFileTest::formatFollowsACaseSensitiveTestOnTheWholeName()
{
    QVERIFY(PaneDocument::isRichTextName("/tmp/result.rtf"));
    QVERIFY(!PaneDocument::isRichTextName("/tmp/result.RTF"));
    QVERIFY(PaneDocument::isRichTextName("/tmp/a.rtf.txt"));
    QVERIFY(!PaneDocument::isRichTextName(".rtf"));
    QVERIFY(PaneDocument::isRichTextName("x.rtf"));

    ScriptedPrompts prompts;
    ResultFile result([this](const QString& s) { m_status << s; });
    for (const char* name : {"result.RTF", "result.rtf", "a.rtf.txt"}) {
        const QString path = m_dir.filePath(name);
        prompts.saveAnswers << path;
        result.saveAs(m_target);
        const bool rich = contents(path).startsWith("{\\rtf1");
        QCOMPARE(rich, QByteArray(name) != "result.RTF");
    }
}

void ResultFileTest::nameWithoutExtensionGetsTxt()
{
    QCOMPARE(ResultFile::withDefaultExtension("/d/result"), QString("/d/result.txt"));
    QCOMPARE(ResultFile::withDefaultExtension("/d.x/result"), QString("/d.x/result.txt"));
    QCOMPARE(ResultFile::withDefaultExtension("/d/result.doc"), QString("/d/result.doc"));

    ScriptedPrompts prompts;
    prompts.saveAnswers << m_dir.filePath("noext");
    ResultFile result([this](const QString& s) { m_status << s; });
    result.save(m_target);
    QCOMPARE(result.path(), m_dir.filePath("noext.txt"));
    QCOMPARE(contents(m_dir.filePath("noext.txt")), QByteArray("Hola mundo"));
    QCOMPARE(prompts.saveDialogs, QStringList("Enregsitrer un fichier texte|Text File (*.txt);;Microsoft Word (*.rtf);;"
                                              "All files (*.*)|txt"));
}

void ResultFileTest::emptyResultCountsForSaveButNotSaveAs()
{
    for (const QString& text : {QString(), QString(" "), QString("\n")}) {
        ScriptedPrompts prompts;
        ResultFile result([this](const QString& s) { m_status << s; });
        m_status.clear();
        m_target.setPlainText(text);
        result.save(m_target);
        QCOMPARE(prompts.messages, QStringList("No translation result to save."));
        QVERIFY(prompts.saveDialogs.isEmpty());
        QVERIFY(m_status.isEmpty());

        // Save As asks no such question and writes what there is
        const QString path = m_dir.filePath("empty.txt");
        prompts.saveAnswers << path;
        result.saveAs(m_target);
        QCOMPARE(prompts.messages.size(), 1);
        QCOMPARE(QString::fromUtf8(contents(path)), QString(text).replace("\n", "\r\n"));
    }
    QVERIFY(!ResultFile::isEmptyResult("  "));
    QVERIFY(!ResultFile::isEmptyResult("\n\n"));
}

void ResultFileTest::firstSaveAsksLaterSavesDoNot()
{
    ScriptedPrompts prompts;
    ResultFile result([this](const QString& s) { m_status << s; });
    // cancelling the first dialog ends quietly
    result.save(m_target);
    QCOMPARE(prompts.saveDialogs.size(), 1);
    QVERIFY(m_status.isEmpty());

    const QString path = m_dir.filePath("first.txt");
    prompts.saveAnswers << path;
    result.save(m_target);
    QCOMPARE(m_status, QStringList({path, "Translation result saved to " + path + "."}));
    m_target.setPlainText("Second version");
    result.save(m_target);
    QCOMPARE(prompts.saveDialogs.size(), 2);
    QCOMPARE(contents(path), QByteArray("Second version"));
    QCOMPARE(m_status.last(), "Translation result saved to " + path + ".");
}

void ResultFileTest::saveAsWritesWhereTheDialogPoints()
{
    ScriptedPrompts prompts;
    ResultFile result([this](const QString& s) { m_status << s; });
    // no current file and a cancelled dialog: nothing happens
    result.saveAs(m_target);
    QVERIFY(m_status.isEmpty());

    const QString first = m_dir.filePath("as1.txt");
    prompts.saveAnswers << first;
    result.saveAs(m_target);
    QCOMPARE(m_status.last(), "Translation result saved as " + first + ".");
    // a cancelled Save As still writes to the current result file
    m_target.setPlainText("changed");
    result.saveAs(m_target);
    QCOMPARE(contents(first), QByteArray("changed"));
    QCOMPARE(result.path(), first);
    QCOMPARE(prompts.saveDialogs.size(), 3);
}

void ResultFileTest::writeErrorIsReportedAndStatusLineKept()
{
    // a folder that cannot be written, even for the superuser: its parent is a file
    writeFile(m_dir.filePath("plainfile"), "x");
    const QString path = m_dir.filePath("plainfile/result.txt");
    ScriptedPrompts prompts;
    ResultFile result([this](const QString& s) { m_status << s; });
    prompts.saveAnswers << path;
    result.saveAs(m_target);
    QCOMPARE(prompts.errors.size(), 1);
    QVERIFY(prompts.errors.first().startsWith("Cannot create file \"" + path + "\"."));
    // the dialog's accept step showed the path; the saved message never came
    QCOMPARE(m_status, QStringList(path));
    result.save(m_target);
    QCOMPARE(prompts.errors.size(), 2);
    QCOMPARE(m_status, QStringList(path));
}

void ResultFileTest::plainTextIsUtf8WithCrLfAndLosesNothing()
{
    QTextDocument document;
    QTextCursor cursor(&document);
    const QString first = QString::fromUtf8("Ελληνικά, Русский, 日本語, emoji 😀, nbsp\u00a0€");
    cursor.insertText(first);
    cursor.insertBlock();
    cursor.insertText(QString::fromUtf8("soft\u2028break"));
    cursor.insertBlock();
    const QString path = m_dir.filePath("unicode.txt");
    QVERIFY(PaneDocument::save(document, path).ok);
    QCOMPARE(contents(path), first.toUtf8() + "\r\nsoft\r\nbreak\r\n");
}

void ResultFileTest::loadingTextFiles()
{
    QTextDocument pane;
    const QString utf8 = m_dir.filePath("utf8.txt");
    writeFile(utf8, QString::fromUtf8("línea uno\r\nДва\r\n").toUtf8());
    QVERIFY(PaneDocument::load(utf8, pane).ok);
    QCOMPARE(pane.toPlainText(), QString::fromUtf8("línea uno\nДва\n"));

    // not UTF-8: read as the Windows code page such files come from
    const QString legacy = m_dir.filePath("legacy.txt");
    writeFile(legacy, "caf\xe9 \x80 5");
    QVERIFY(PaneDocument::load(legacy, pane).ok);
    QCOMPARE(pane.toPlainText(), QString::fromUtf8("café € 5"));

    const QString utf16 = m_dir.filePath("utf16.txt");
    QByteArray wide("\xff\xfe");
    for (QChar c : QString::fromUtf8("wide ß"))
        wide += char(c.unicode() & 0xff), wide += char(c.unicode() >> 8);
    writeFile(utf16, wide);
    QVERIFY(PaneDocument::load(utf16, pane).ok);
    QCOMPARE(pane.toPlainText(), QString::fromUtf8("wide ß"));

    // endless devices are cut off at the size limit instead of filling memory
    const PaneDocument::Outcome endless = PaneDocument::load("/dev/zero", pane);
    QVERIFY(!endless.ok);
    QVERIFY(endless.error.contains("too large"));
    QVERIFY(!PaneDocument::load(m_dir.path(), pane).ok);

    const PaneDocument::Outcome missing = PaneDocument::load(m_dir.filePath("none.txt"), pane);
    QVERIFY(!missing.ok);
    QVERIFY(missing.error.contains("none.txt"));
    QCOMPARE(pane.toPlainText(), QString::fromUtf8("wide ß"));
}

void ResultFileTest::loadingRichTextKeepsFormatting()
{
    const QString path = m_dir.filePath("doc.rtf");
    writeFile(path, "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard\\qc\\f0\\fs28 \\b Title\\b0\\par"
                    "{\\pntext\\'b7\\tab}{\\*\\pn\\pnlvlblt}first\\par}");
    QTextDocument pane;
    QFont paneFont("DejaVu Serif");
    paneFont.setPointSize(17);
    pane.setDefaultFont(paneFont);
    pane.setPlainText("old text");
    const PaneDocument::Outcome outcome = PaneDocument::load(path, pane);
    QVERIFY(outcome.ok);
    QCOMPARE(pane.defaultFont(), paneFont);  // the pane keeps its own font for unformatted text
    QVERIFY(!pane.isUndoAvailable());
    QCOMPARE(pane.toPlainText(), QString("Title\nfirst"));
    const QTextBlock title = pane.firstBlock();
    QCOMPARE(title.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(title.begin().fragment().charFormat().fontWeight(), int(QFont::Bold));
    QCOMPARE(title.begin().fragment().charFormat().fontPointSize(), 14.0);
    QVERIFY(title.next().textList());
}

QTEST_MAIN(ResultFileTest)
#include "test_result_file.moc"
