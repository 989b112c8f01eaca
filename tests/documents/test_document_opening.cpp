// File > Open and dropping files on the source pane, in the real main window: converters
// fetched from a site served over HTTP on loopback and as a file:// folder, the lines they
// add removed, failures reported with the pane left as it was.
#include "DocumentOpening.h"
#include "Folders.h"
#include "ScriptedPrompts.h"
#include "SiteServer.h"
#include "TForm1.h"

#include <QAction>
#include <QComboBox>
#include <QPointer>
#include <QApplication>
#include <QDir>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QUrl>

namespace {

// Stand-in converters that keep the converters' contract: the document is text; "BROKEN"
// in it makes them fail with a reason, "SLOW" makes them hang, "NOTEXT" gives no text.
QByteArray StandIn(const QByteArray& output)
{
    return "#!/bin/sh\n"
           "doc=\"$1\"\n"
           "case \"$(head -c 100 \"$doc\")\" in\n"
           "  *BROKEN*) echo \"cannot read $doc: not a document of this kind\" >&2; exit 2;;\n"
           "  *SLOW*) sleep 60;;\n"
           "esac\n"
           "notext() { case \"$(head -c 100 \"$doc\")\" in *NOTEXT*) return 0;; esac; return 1; }\n"
           + output;
}

QByteArray Headers(int lines)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i)
        text += "echo 'converter line " + QByteArray::number(i + 1) + "'\n";
    return text;
}

}  // namespace

class DocumentOpeningTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void opensEachKind_data();
    void opensEachKind();
    void failuresLeaveThePaneAsItWas_data();
    void failuresLeaveThePaneAsItWas();
    void hostilePathsAndDroppedFiles();
    void aLongTextIsBuiltApartFromThePane();

private:
    QString write(const QString& relative, const QByteArray& content);
    void makeSite();
    QString data() const { return m_home->filePath("data/Brenmark"); }
    QString fileRoot() const { return QUrl::fromLocalFile(m_site).toString(QUrl::FullyEncoded); }
    // File > Open with the dialog answered by `path`.
    void open(TForm1& form, ScriptedPrompts& prompts, const QString& path);

    std::unique_ptr<QTemporaryDir> m_home;
    QString m_site;
};

void DocumentOpeningTest::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_home->filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", m_home->filePath("data").toUtf8());
    qputenv("LANG", "en_US.UTF-8");
    for (const char* name : {"LINGUARO_WINVER", "http_proxy", "HTTP_PROXY", "LC_ALL", "LC_MESSAGES", "windir"})
        qunsetenv(name);
    qputenv("LINGUARO_SERVICE_URL", "http://127.0.0.1:9/translate");
    QCoreApplication::setApplicationName(QStringLiteral("Linguaro Translator"));
    // a folder name that needs encoding in a file:// address
    m_site = m_home->filePath("the site");
    makeSite();
}

QString DocumentOpeningTest::write(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void DocumentOpeningTest::makeSite()
{
    const auto converter = [this](const char* name, const QByteArray& body) {
        write(m_site + '/' + name, StandIn(body));
    };
    converter("xls-extract", Headers(1) + "notext || cat \"$doc\"\n");
    converter("ppt-extract", Headers(2) + "notext || cat \"$doc\"\n");
    converter("pdf-extract", "case \"$(head -c 100 \"$doc\")\" in *NOOUTPUT*) exit 0;; esac\n"
                             "notext && : > \"$2\" || cat \"$doc\" > \"$2\"\n");
    converter("htm-extract", "notext && : > \"${doc%.*}.txt\" || sed -e 's/<[^>]*>//g' \"$doc\" > \"${doc%.*}.txt\"\n");
    // the Word converter arrives as a package that unpacks itself where it runs
    write(m_site + "/doc-extract", "#!/bin/sh\n"
                                   "cat > wordtext <<'END'\n"
                                   + StandIn(Headers(1) + "notext || cat \"$doc\"\n")
                                   + "END\n"
                                     "chmod +x wordtext\n"
                                     "printf 'cp1252 map' > cp1252.txt\n");
}

void DocumentOpeningTest::open(TForm1& form, ScriptedPrompts& prompts, const QString& path)
{
    prompts.openAnswers << path;
    form.Ouvrir1->trigger();
}

void DocumentOpeningTest::opensEachKind_data()
{
    QTest::addColumn<bool>("overHttp");
    QTest::newRow("site over HTTP") << true;
    QTest::newRow("site as a file:// folder") << false;
}

void DocumentOpeningTest::opensEachKind()
{
    QFETCH(bool, overHttp);
    SiteServer server(m_site);
    qputenv("LINGUARO_SITE_URL", (overHttp ? server.root() : fileRoot()).toUtf8());
    ScriptedPrompts prompts;
    TForm1 form;
    QVERIFY(form.Ouvrir1->isEnabled() && form.ToolButton2->isEnabled());
    QCOMPARE(form.Ouvrir1->shortcut(), QKeySequence("Ctrl+O"));

    const QString docs = m_home->filePath("docs");
    // the user's own page.txt beside the page is never touched
    write(docs + "/page.txt", "mine");
    struct Case {
        QString name;
        QByteArray content;
        QString text;
    };
    const Case cases[] = {
        {"Report.DOCX", "Word text\nsecond paragraph", "Word text\nsecond paragraph"},
        {"letter.doc", "another letter", "another letter"},
        {"Budget.xlsx", "A1\tB1\nA2\tB2", "A1\tB1\nA2\tB2"},
        {"talk.pptx", "Slide one", "Slide one"},
        {"page.html", "<p>Hello <b>web</b></p>", "Hello web"},
        {"page.htm", "<p>old page</p>", "old page"},
        {"a.doc.htm", "<h1>later tag wins</h1>", "later tag wins"},
        {"old.pdfs/notes.txt", "read as a PDF", "read as a PDF"},
        {"manual.pdf", "PDF text", "PDF text"},
        {"plain.txt", "caf\xc3\xa9 plain", QString::fromUtf8("caf\xc3\xa9 plain")},
        {"styled.rtf", "{\\rtf1\\ansi {\\b bold} text\\par}", "bold text"},
    };
    QString previous;
    for (const Case& c : cases) {
        const QString path = write(docs + '/' + c.name, c.content);
        open(form, prompts, path);
        QVERIFY2(prompts.messages.isEmpty(), qPrintable(c.name + ": " + prompts.messages.join('|')));
        QCOMPARE(form.RichEdit1->toPlainText().trimmed(), c.text);
        QCOMPARE(form.statusText(), path + " loaded.");
        QCOMPARE(form.OpenedFileName, path);
        // each Open dialog proposes the document chosen before, never a converter's output
        QCOMPARE(prompts.openDialogs.last().section('|', 1, 1), previous);
        previous = path;
        QVERIFY(!QFile::exists(data() + "/istmp.txt"));
    }
    QCOMPARE(prompts.openDialogs.first().section('|', 0, 0), QString("Open a file"));
    QVERIFY(prompts.openDialogs.first().contains(
        "|All supported files (*.txt;*.rtf;*.doc;*.xls;*.ppt;*.pdf;*.htm) (*.txt *.rtf *.doc *.docx *.xls *.xlsx"));
    QVERIFY(prompts.openDialogs.first().endsWith("|txt"));
    QCOMPARE(QFile(docs + "/page.txt").size(), 4);
    QVERIFY(!QFile::exists(docs + "/a.doc.txt"));
    QVERIFY(Folders::EntryExists(data(), "wordtext/cp1252.txt"));

    if (overHttp) {
        // every converter came once, on first use, and is reused from the data folder
        for (const char* name : {"doc-extract", "xls-extract", "ppt-extract", "pdf-extract", "htm-extract"})
            QCOMPARE(server.requests().count('/' + QString(name)), 1);
    }
    // an unpacked Word converter is reused without its package
    QFile::remove(data() + "/wordtext/doc-extract");
    open(form, prompts, docs + "/letter.doc");
    QCOMPARE(form.RichEdit1->toPlainText().trimmed(), QString("another letter"));

    // a cancelled dialog changes nothing
    form.RichEdit1->setPlainText("kept");
    form.Ouvrir1->trigger();
    QCOMPARE(form.RichEdit1->toPlainText(), QString("kept"));
    QCOMPARE(form.FileOpen1Dialog.FileName, docs + "/letter.doc");
}

void DocumentOpeningTest::failuresLeaveThePaneAsItWas_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("site");  // "file", "http", "broken" (every download breaks off)
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("idle");  // the status line goes back to "Ready."

    QTest::newRow("converter fails") << "bad.xls" << QByteArray("BROKEN") << "file"
                                     << "could not be converted.\ncannot read " << true;
    QTest::newRow("converter gives no text") << "empty.ppt" << QByteArray("NOTEXT") << "file"
                                             << "No text was found in" << true;
    QTest::newRow("converter writes no file") << "none.pdf" << QByteArray("NOOUTPUT") << "file"
                                              << "Failed to open " << true;
    QTest::newRow("page without text") << "blank.htm" << QByteArray("NOTEXT") << "file"
                                       << "No text was found in" << true;
    QTest::newRow("Word folder cannot be made") << "memo.doc" << QByteArray("x") << "file"
                                                << "Cannot create folder " << true;
    QTest::newRow("converter hangs") << "slow.doc" << QByteArray("SLOW") << "file" << "did not finish within 1 seconds"
                                     << true;
    QTest::newRow("missing text file") << "absent.txt" << QByteArray() << "file" << "Failed to open " << true;
    QTest::newRow("binary file named .txt") << "binary.txt" << QByteArray("ab\0cd", 5) << "file"
                                            << "neither a text nor a rich-text document" << true;
    QTest::newRow("200 MB log") << "huge.log" << QByteArray() << "file" << "too large to open" << true;
    QTest::newRow("converter not on the site") << "missing.xls" << QByteArray("x") << "http"
                                               << "could not be fetched from http" << false;
    QTest::newRow("download breaks off") << "cut.ppt" << QByteArray("x") << "broken"
                                         << "could not be fetched from http" << false;
    QTest::newRow("damaged converter in the data folder") << "damaged.pdf" << QByteArray("x") << "file"
                                                          << "was damaged and has been removed" << false;
}

void DocumentOpeningTest::failuresLeaveThePaneAsItWas()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, site);
    QFETCH(QString, message);
    QFETCH(bool, idle);
    SiteServer server(m_site);
    QFile::remove(m_site + "/xls-extract");  // only the HTTP row asks for it
    if (site != "http")
        write(m_site + "/xls-extract", StandIn(Headers(1) + "notext || cat \"$doc\"\n"));
    qputenv("LINGUARO_SITE_URL",
            (site == "file" ? fileRoot() : site == "http" ? server.root() : server.root("broken/")).toUtf8());
    if (name == "damaged.pdf")
        write(data() + "/pdf-extract", "<html>404 Not Found</html>");
    if (name == "memo.doc")
        write(data() + "/WordText", "a file where the folder belongs");

    const QString path = m_home->filePath("docs/" + name);
    if (name == "huge.log") {
        QFile huge(write(path, ""));
        QVERIFY(huge.resize(200LL * 1024 * 1024));
    } else if (name != "absent.txt") {
        write(path, content);
    }

    ScriptedPrompts prompts;
    TForm1 form;
    form.opening().ConverterLimits.timeoutMs = 1000;
    form.RichEdit1->setPlainText("the user's text");
    form.setStatus("before", false);
    open(form, prompts, path);
    QCOMPARE(prompts.messages.size(), 1);
    QVERIFY2(prompts.messages.first().contains(message), qPrintable(prompts.messages.first()));
    if (message == "Failed to open ")
        QCOMPARE(prompts.messages.first(), "Failed to open " + path);
    QCOMPARE(form.RichEdit1->toPlainText(), QString("the user's text"));
    QCOMPARE(form.statusText(), idle ? QString("Ready.") : QString("before"));
    QCOMPARE(form.FileOpen1Dialog.FileName, path);
    // nothing half-downloaded or damaged stays to be run next time
    const QString tag = DocumentOpening::FormatTag(name);
    if (!idle)
        QVERIFY(!Folders::EntryExists(data(), DocumentOpening::ConverterName(tag)));
    QVERIFY(!QFile::exists(data() + "/istmp.txt"));
}

void DocumentOpeningTest::hostilePathsAndDroppedFiles()
{
    qputenv("LINGUARO_SITE_URL", fileRoot().toUtf8());
    ScriptedPrompts prompts;
    TForm1 form;
    // quotes, blanks, $ and a command substitution are only characters of a name
    const QString folder = m_home->filePath(QString::fromUtf8("d\xc3\xbc \"q\" $(touch pwned) 'x'"));
    const QString path = write(folder + "/Bericht $HOME; rm -rf x.xls", "Zelle\t2");
    open(form, prompts, path);
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join('|')));
    QCOMPARE(form.RichEdit1->toPlainText().trimmed(), QString("Zelle\t2"));
    QVERIFY(QDir(m_home->path()).entryList({"pwned"}).isEmpty() && QDir().entryList({"pwned"}).isEmpty());

    // a file dropped on the source pane opens as File > Open opens it
    const QString slides = write(folder + "/dropped.pptx", "Dropped slide");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(slides)});
    QWidget* viewport = form.RichEdit1->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QVERIFY(drop.isAccepted());
    QTRY_COMPARE(form.RichEdit1->toPlainText().trimmed(), QString("Dropped slide"));
    QCOMPARE(form.statusText(), slides + " loaded.");
    QCOMPARE(form.FileOpen1Dialog.FileName, slides);
}

void DocumentOpeningTest::aLongTextIsBuiltApartFromThePane()
{
    qputenv("LINGUARO_SITE_URL", fileRoot().toUtf8());
    ScriptedPrompts prompts;
    TForm1 form;
    form.ComboBox1->setCurrentText("14");
    form.RichEdit1->setFocus();
    QTest::keyClicks(form.RichEdit1, "typed");
    QVERIFY(form.Dfaire1->isEnabled());
    QPointer<QTextDocument> before = form.RichEdit1->document();

    QByteArray line = "A long line of an ordinary log file, with words and numbers 0123456789.\n";
    QByteArray text;
    while (text.size() < 3 * DocumentOpening::LongText)
        text += line;
    const QString path = write(m_home->filePath("docs/long.log"), text);
    open(form, prompts, path);
    QVERIFY(prompts.messages.isEmpty());
    QCOMPARE(form.RichEdit1->toPlainText().size(), text.size());
    QCOMPARE(form.statusText(), path + " loaded.");
    // the pane took a new document with the same font and nothing to undo
    QVERIFY(form.RichEdit1->document() != before);
    QCOMPARE(form.RichEdit1->document()->defaultFont().pointSize(), 14);
    QVERIFY(!form.Dfaire1->isEnabled());
    QTest::keyClicks(form.RichEdit1, "x");
    QVERIFY(form.Dfaire1->isEnabled());

    // a document given earlier goes when the next long text comes
    before = form.RichEdit1->document();
    open(form, prompts, path);
    QVERIFY(before.isNull());
    QCOMPARE(form.RichEdit1->toPlainText().size(), text.size());
}

QTEST_MAIN(DocumentOpeningTest)
#include "test_document_opening.moc"
