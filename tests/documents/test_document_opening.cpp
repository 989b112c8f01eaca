// File > Open and dropping files on the source pane, in the real main window: the real
// converters of this build's site, served over HTTP on loopback and as a file:// folder, on
// documents made by an office suite (tests/data/documents); the lines they put before the
// text are removed, failures are reported with the pane left as it was.
#include "DocumentOpening.h"
#include "WindowDriver.h"
#include "EquippedWindows.h"
#include "Folders.h"
#include "ScriptedPrompts.h"
#include "SiteServer.h"
#include "MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMimeData>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QUrl>

#include <cstdio>
#include <signal.h>
#include <sys/stat.h>

namespace {
const QString Site = QStringLiteral(LINGUARO_BINARY_DIR "/site");
const QString Samples = QStringLiteral(LINGUARO_SOURCE_DIR "/tests/data/documents");
const QString Misbehaving = QStringLiteral(LINGUARO_BINARY_DIR "/test-helpers/misbehaving-converter");

// A stream object: `dictionary` entries, then `data`, Flate-compressed when `compress`.
QByteArray stream(const QByteArray& dictionary, const QByteArray& data, bool compress)
{
    // qCompress puts the length before the zlib stream
    const QByteArray bytes = compress ? qCompress(data).mid(4) : data;
    return "<< " + dictionary + (compress ? " /Filter /FlateDecode" : "") + " /Length "
           + QByteArray::number(bytes.size()) + " >>\nstream\n" + bytes + "\nendstream";
}

// A PDF of `pages` pages that all draw one content stream, with Helvetica as /F1 and the
// first of `forms` (objects from 5 on) as /X5.
QByteArray pdf(int pages, const QByteArray& content, const QList<QByteArray>& forms = {})
{
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>",
                              {},
                              "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
                              stream({}, content, true)};
    objects += forms;
    QByteArray kids;
    for (int i = 0; i < pages; ++i) {
        kids += QByteArray::number(objects.size() + 1) + " 0 R ";
        objects += "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << "
                   "/Font << /F1 3 0 R >> /XObject << /X5 5 0 R >> >> >>";
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>";
    QByteArray pdf = "%PDF-1.4\n";
    QByteArray xref = "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (int i = 0; i < objects.size(); ++i) {
        xref += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    return pdf + xref + "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
           + QByteArray::number(pdf.size()) + "\n%%EOF\n";
}

// Lines of text, one below the other, as a page's content.
QByteArray textLines(const QByteArray& line, int count)
{
    QByteArray content;
    for (int i = 0; i < count; ++i)
        content += "BT /F1 10 Tf 72 " + QByteArray::number(780 - i % 70 * 11) + " Td (" + line + ") Tj ET\n";
    return content;
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
    void aPdfsTextIsItsOwn();
    void theWordConverterUnpacksWhole_data();
    void theWordConverterUnpacksWhole();
    void hostilePathsAndDroppedFiles();
    void aLongTextIsBuiltApartFromThePane();
    void aSecondOpenCancelsTheFirst();
    void aConverterIsHeldWithinItsLimits_data();
    void aConverterIsHeldWithinItsLimits();

private:
    QString write(const QString& relative, const QByteArray& content);
    // A copy of a sample document under another name.
    QString sample(const QString& sample, const QString& as);
    QString data() const { return m_home->filePath("data/Brenmark"); }
    QString fileRoot() const { return QUrl::fromLocalFile(Site).toString(QUrl::FullyEncoded); }
    // File > Open with the dialog answered by `path`.
    void open(MainWindow& form, ScriptedPrompts& prompts, const QString& path);

    std::unique_ptr<QTemporaryDir> m_home;
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
    equipWindowsFolder(Folders::windowsFolder());
    QCoreApplication::setApplicationName(QStringLiteral("Linguaro Translator"));
}

QString DocumentOpeningTest::write(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString DocumentOpeningTest::sample(const QString& sample, const QString& as)
{
    const QString path = m_home->filePath("docs/" + as);
    QDir().mkpath(QFileInfo(path).path());
    QFile::remove(path);
    if (!QFile::copy(Samples + '/' + sample, path))
        qFatal("cannot copy %s", qPrintable(sample));
    return path;
}

void DocumentOpeningTest::open(MainWindow& form, ScriptedPrompts& prompts, const QString& path)
{
    QSignalSpy ended(&form.opening(), &DocumentOpening::finished);
    prompts.openAnswers << path;
    ui(form).item(ObjectName::openItem)->trigger();
    // the converters' own time limits end every open well before this
    QVERIFY2(ended.wait(180 * 1000), qPrintable(path + " did not finish opening"));
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
    SiteServer server(Site);
    qputenv("LINGUARO_SITE_URL", (overHttp ? server.root() : fileRoot()).toUtf8());
    ScriptedPrompts prompts;
    MainWindow form;
    QVERIFY(ui(form).item(ObjectName::openItem)->isEnabled() && ui(form).button(ObjectName::openButton)->isEnabled());
    QCOMPARE(ui(form).item(ObjectName::openItem)->shortcut(), QKeySequence("Ctrl+O"));

    const QString docs = m_home->filePath("docs");
    // the user's own page.txt beside the page is never touched
    write(docs + "/page.txt", "mine");
    write(docs + "/plain.txt", "caf\xc3\xa9 plain");
    write(docs + "/styled.rtf", "{\\rtf1\\ansi {\\b bold} text\\par}");
    write(docs + "/.dotfiles/notes.txt", "plain notes");
    struct Case {
        QString sample;  // empty: a file written above
        QString name;
        QStringList lines;  // lines of the pane
        QString header;     // what no line of the pane may be: the converter's own lines
    };
    const QString word = "^.+: Word .*document.*$", sheets = "^.+: 2 sheets$",
                  slides = "^(3 slides|talk.pptx|slides97.ppt)$";
    const Case cases[] = {
        {"report.docx", "Report.DOCX", {"Quarterly report", "North\t1200\t\u0395\u03bb\u03bb\u03ac\u03b4\u03b1"}, word},
        {"letter-latin.doc", "letter.doc", {"Dear Ms. M\u00fcller,"}, word},
        {"book.xlsx", "Budget.xlsx", {"Prices", "Item\tPrice\tDate\tNote"}, sheets},
        {"book97.xls", "book97.xls", {"Prices", "Total\t15.5"}, sheets},
        {"slides.pptx", "talk.pptx", {"Annual meeting", "Agenda"}, slides},
        {"slides97.ppt", "slides97.ppt", {"Annual meeting", "Second box"}, slides},
        {"page-japanese.html", "page.html", {"\u304a\u77e5\u3089\u305b"}, {}},
        {"page-cyrillic.htm", "page.htm", {"\u041d\u043e\u0432\u043e\u0441\u0442\u0438 \u0434\u043d\u044f"}, {}},
        {"page-greek.htm", "a.doc.htm", {"\u0391\u03bd\u03b1\u03ba\u03bf\u03af\u03bd\u03c9\u03c3\u03b7"}, word},
        {"report.pdf", "manual.pdf", {"Footnote text here."}, {}},
        // templates are the formats they are templates of; a folder named .dotfiles makes no template
        {"report-template.dot", "Memo.DOT", {"Quarterly report"}, word},
        {"book-template.xlt", "form.xlt", {"Prices", "Total\t15.5"}, sheets},
        {"slides97.ppt", "deck.pot", {"Annual meeting", "Second box"}, "^(3 slides|deck.pot)$"},
        {{}, ".dotfiles/notes.txt", {"plain notes"}, {}},
        {{}, "plain.txt", {"caf\u00e9 plain"}, {}},
        {{}, "styled.rtf", {"bold text"}, {}},
    };
    QString previous;
    for (const Case& c : cases) {
        const QString path = c.sample.isEmpty() ? docs + '/' + c.name : sample(c.sample, c.name);
        open(form, prompts, path);
        QVERIFY2(prompts.messages.isEmpty(), qPrintable(c.name + ": " + prompts.messages.join('|')));
        const QStringList pane = ui(form).sourcePane()->toPlainText().split('\n');
        for (const QString& line : c.lines)
            QVERIFY2(pane.contains(line), qPrintable(c.name + ": no line " + line + " in\n" + pane.join('\n')));
        if (!c.header.isEmpty())
            QVERIFY2(pane.filter(QRegularExpression(c.header)).isEmpty(), qPrintable(c.name + ": " + pane.first()));
        QVERIFY2(pane.filter(QRegularExpression("\\s$")).isEmpty(),
                 qPrintable(c.name + ": a line ends in white space"));
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
    QVERIFY(Folders::entryExists(data(), "wordtext/cp1252.txt"));

    if (overHttp) {
        // every converter came once, on first use, and is reused from the data folder
        for (const char* name : {"doc-extract", "xls-extract", "ppt-extract", "pdf-extract", "htm-extract"})
            QCOMPARE(server.requests().count('/' + QString(name)), 1);
    }
    // an unpacked Word converter is reused without its package
    QFile::remove(data() + "/wordtext/doc-extract");
    open(form, prompts, docs + "/Report.DOCX");
    QVERIFY(ui(form).sourcePane()->toPlainText().split('\n').contains("Quarterly report"));

    // a cancelled dialog changes nothing
    ui(form).sourcePane()->setPlainText("kept");
    ui(form).item(ObjectName::openItem)->trigger();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(ui(form).sourcePane()->toPlainText(), QString("kept"));
    QCOMPARE(form.openDialog.FileName, docs + "/Report.DOCX");
}

void DocumentOpeningTest::failuresLeaveThePaneAsItWas_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sample");      // a sample document copied under `name`, or
    QTest::addColumn<QByteArray>("content");  // what is written under it
    QTest::addColumn<QString>("site");        // "file", "nowhere" (answers 404), "broken" (every download breaks off)
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("idle");  // the status line goes back to "Ready."

    QTest::newRow("a .doc that is really text") << "notes.doc"
                                                << "hostile/text-renamed.doc" << QByteArray() << "file"
                                                << "could not be converted.\n"
                                                << true;
    QTest::newRow("empty workbook file") << "empty.xls"
                                         << "hostile/empty.doc" << QByteArray() << "file"
                                         << "the file is empty" << true;
    QTest::newRow("damaged PDF") << "cut.pdf"
                                 << "hostile/truncated.pdf" << QByteArray() << "file"
                                 << "the file is damaged" << true;
    QTest::newRow("encrypted PDF") << "secret.pdf"
                                   << "hostile/encrypted.pdf" << QByteArray() << "file"
                                   << "protected by a password" << true;
    QTest::newRow("scanned PDF") << "scan.pdf"
                                 << "hostile/image-only.pdf" << QByteArray() << "file"
                                 << "holds no text" << true;
    QTest::newRow("a text in a folder named .pdfs is read as a PDF")
        << "old.pdfs/notes.txt" << QString() << QByteArray("plain words") << "file"
        << "not a PDF document" << true;
    QTest::newRow("page without text") << "blank.htm" << QString() << QByteArray("<html><body> </body></html>")
                                       << "file"
                                       << "docs/blank.htm: the page holds no text" << true;
    QTest::newRow("Word folder cannot be made") << "memo.doc"
                                                << "report97.doc" << QByteArray() << "file"
                                                << "Cannot create folder " << true;
    QTest::newRow("converter hangs") << "slow.xls"
                                     << "book97.xls" << QByteArray() << "file"
                                     << "The converter took too long and was stopped after 1 second." << true;
    QTest::newRow("a named pipe is never waited on") << "pipe.htm" << QString() << QByteArray() << "file"
                                                     << "it is a named pipe, not a file" << true;
    QTest::newRow("missing text file") << "absent.txt" << QString() << QByteArray() << "file"
                                       << "Failed to open " << true;
    QTest::newRow("binary file named .txt") << "binary.txt" << QString() << QByteArray("ab\0cd", 5) << "file"
                                            << "neither a text nor a rich-text document" << true;
    QTest::newRow("200 MB log") << "huge.log" << QString() << QByteArray() << "file"
                                << "too large to open" << true;
    QTest::newRow("converter not on the site") << "sheet.xls"
                                               << "book97.xls" << QByteArray() << "nowhere"
                                               << "could not be fetched from http" << false;
    QTest::newRow("download breaks off") << "cut.ppt"
                                         << "slides97.ppt" << QByteArray() << "broken"
                                         << "could not be fetched from http" << false;
    QTest::newRow("damaged converter in the data folder") << "damaged.pdf"
                                                          << "report.pdf" << QByteArray() << "file"
                                                          << "was damaged and has been removed" << false;
    QTest::newRow("a folder where a converter belongs") << "blocked.ppt"
                                                        << "slides97.ppt" << QByteArray() << "file"
                                                        << "is not a program and could not be removed" << false;
}

void DocumentOpeningTest::failuresLeaveThePaneAsItWas()
{
    QFETCH(QString, name);
    QFETCH(QString, sample);
    QFETCH(QByteArray, content);
    QFETCH(QString, site);
    QFETCH(QString, message);
    QFETCH(bool, idle);
    SiteServer server(Site);
    qputenv("LINGUARO_SITE_URL", (site == "file" ? fileRoot() : server.root(site + '/')).toUtf8());
    if (name == "damaged.pdf")
        write(data() + "/pdf-extract", "<html>404 Not Found</html>");
    if (name == "memo.doc")
        write(data() + "/WordText", "a file where the folder belongs");
    if (name == "blocked.ppt")
        QDir().mkpath(data() + "/ppt-extract/kept");
    if (name == "slow.xls")
        write(data() + "/xls-extract", "#!/bin/sh\nsleep 60\n");  // a converter that never ends

    const QString path = m_home->filePath("docs/" + name);
    if (name == "huge.log") {
        QFile huge(write(path, ""));
        QVERIFY(huge.resize(200LL * 1024 * 1024));
    } else if (name == "pipe.htm") {
        QDir().mkpath(QFileInfo(path).path());
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else if (!sample.isEmpty()) {
        this->sample(sample, name);
    } else if (name != "absent.txt") {
        write(path, content);
    }

    ScriptedPrompts prompts;
    MainWindow form;
    form.opening().ConverterLimits.timeoutMs = 1000;
    ui(form).sourcePane()->setPlainText("the user's text");
    form.setStatus("before", false);
    open(form, prompts, path);
    QCOMPARE(prompts.messages.size(), 1);
    QVERIFY2(prompts.messages.first().contains(message), qPrintable(prompts.messages.first()));
    if (message == "Failed to open ")
        QCOMPARE(prompts.messages.first(), "Failed to open " + path);
    QCOMPARE(ui(form).sourcePane()->toPlainText(), QString("the user's text"));
    QCOMPARE(form.statusText(), idle ? QString("Ready.") : QString("before"));
    QCOMPARE(form.openDialog.FileName, path);
    // nothing half-downloaded or damaged stays to be run next time
    const QString tag = DocumentLoadJob::formatTag(name);
    if (!idle)
        QVERIFY(!QFileInfo(data() + '/' + DocumentLoadJob::converterName(tag)).isFile());
    QVERIFY(!QFile::exists(data() + "/istmp.txt"));
}

void DocumentOpeningTest::aPdfsTextIsItsOwn()
{
    // Another open at the same time (another window, the command line) has its istmp.txt in
    // the data folder, here one that cannot be removed: the PDF's text takes a way of its own.
    qputenv("LINGUARO_SITE_URL", fileRoot().toUtf8());
    QDir().mkpath(data() + "/istmp.txt/another open");
    ScriptedPrompts prompts;
    MainWindow form;
    open(form, prompts, sample("report.pdf", "report.pdf"));
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join('|')));
    QVERIFY(ui(form).sourcePane()->toPlainText().split('\n').contains("Footnote text here."));
    QVERIFY(QFileInfo::exists(data() + "/istmp.txt/another open"));
}

void DocumentOpeningTest::theWordConverterUnpacksWhole_data()
{
    // what stands at D/wordtext while this open unpacks the Word converter
    QTest::addColumn<QString>("before");
    QTest::newRow("another open unpacks at the same time") << "winner";
    QTest::newRow("a link planted where the folder belongs") << "link";
    QTest::newRow("a folder an earlier unpack left half done") << "half";
}

void DocumentOpeningTest::theWordConverterUnpacksWhole()
{
    QFETCH(QString, before);
    qputenv("LINGUARO_SITE_URL", fileRoot().toUtf8());
    const QString folder = data() + "/wordtext";
    const QString outside = m_home->filePath("outside");
    write(outside + "/kept", "not the converter's");
    if (before == "winner") {
        // the package in the data folder stands for two opens: while this one unpacks, the
        // other completes its own folder first
        write(data() + "/doc-extract", QString("#!/bin/sh\nset -e\n(mkdir ../wordtext && cd ../wordtext && "
                                               "sh '%1/doc-extract' && touch first)\nexec sh '%1/doc-extract'\n")
                                           .arg(Site)
                                           .toUtf8());
        QVERIFY(QFile::setPermissions(data() + "/doc-extract", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    } else if (before == "link") {
        QDir().mkpath(data());
        QVERIFY(QFile::link(outside, folder));
    } else {
        write(folder + "/wordtext", "cut short");
        QVERIFY(QFile::link(outside + "/kept", folder + "/cp1250.txt"));
    }

    ScriptedPrompts prompts;
    MainWindow form;
    open(form, prompts, sample("report97.doc", "report.doc"));
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join('|')));
    QVERIFY(ui(form).sourcePane()->toPlainText().split('\n').contains("Quarterly report"));
    QVERIFY(!QFileInfo(folder).isSymLink() && QFileInfo(folder).isDir());
    QVERIFY(QFile::exists(folder + "/cp1252.txt") && QFile::exists(folder + "/wordtext"));
    // the first complete folder stays; nothing was written through a link; no private folder is left
    QCOMPARE(QFile::exists(folder + "/first"), before == "winner");
    QCOMPARE(QDir(outside).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"kept"});
    QFile kept(outside + "/kept");
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("not the converter's"));
    QCOMPARE(QDir(data()).entryList({".wordtext*"}, QDir::AllEntries | QDir::Hidden), QStringList());
}

void DocumentOpeningTest::hostilePathsAndDroppedFiles()
{
    qputenv("LINGUARO_SITE_URL", fileRoot().toUtf8());
    ScriptedPrompts prompts;
    MainWindow form;
    // quotes, blanks, $ and a command substitution are only characters of a name
    const QString folder = QString::fromUtf8("d\xc3\xbc \"q\" $(touch pwned) 'x'");
    const QString path = sample("book97.xls", folder + "/Bericht $HOME; rm -rf x.xls");
    open(form, prompts, path);
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join('|')));
    QVERIFY(ui(form).sourcePane()->toPlainText().split('\n').contains("Prices"));
    QVERIFY(QDir(m_home->path()).entryList({"pwned"}).isEmpty() && QDir().entryList({"pwned"}).isEmpty());

    // a file dropped on the source pane opens as File > Open opens it
    const QString slides = sample("slides.pptx", folder + "/dropped.pptx");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(slides)});
    QWidget* viewport = ui(form).sourcePane()->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QVERIFY(drop.isAccepted());
    QTRY_VERIFY(ui(form).sourcePane()->toPlainText().split('\n').contains("Annual meeting"));
    QCOMPARE(form.statusText(), slides + " loaded.");
    QCOMPARE(form.openDialog.FileName, slides);

    // a name written in Latin-1, not UTF-8, opens all the same
    const QByteArray latin1 = QFile::encodeName(m_home->filePath("docs/")) + "Pr\xe9sentation.ppt";
    QFile original(Samples + "/slides97.ppt");
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    FILE* copy = std::fopen(latin1.constData(), "wb");
    QVERIFY(copy && std::fwrite(bytes.constData(), 1, bytes.size(), copy) == std::size_t(bytes.size()));
    std::fclose(copy);
    ui(form).sourcePane()->setPlainText("before");
    QMimeData latin1Mime;
    latin1Mime.setUrls({QUrl::fromEncoded("file://" + latin1.toPercentEncoding("/"))});
    QDragEnterEvent latin1Enter(QPoint(5, 5), Qt::CopyAction, &latin1Mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &latin1Enter);
    QVERIFY(latin1Enter.isAccepted());
    QDropEvent latin1Drop(QPointF(5, 5), Qt::CopyAction, &latin1Mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &latin1Drop);
    QTRY_VERIFY2(ui(form).sourcePane()->toPlainText().split('\n').contains("Second box"),
                 qPrintable(prompts.messages.join('|') + form.statusText()));
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join('|')));
    QVERIFY(form.statusText().endsWith(QString::fromUtf8("Pr\xef\xbf\xbdsentation.ppt loaded.")));
}

void DocumentOpeningTest::aLongTextIsBuiltApartFromThePane()
{
    qputenv("LINGUARO_SITE_URL", fileRoot().toUtf8());
    ScriptedPrompts prompts;
    MainWindow form;
    ui(form).box(ObjectName::fontSizeBox)->setCurrentText("14");
    ui(form).sourcePane()->setFocus();
    QTest::keyClicks(ui(form).sourcePane(), "typed");
    QVERIFY(ui(form).item(ObjectName::undoItem)->isEnabled());
    QPointer<QTextDocument> before = ui(form).sourcePane()->document();

    QByteArray line = "A long line of an ordinary log file, with words and numbers 0123456789.\n";
    QByteArray text;
    while (text.size() < 3 * DocumentLoadJob::LongText)
        text += line;
    const QString path = write(m_home->filePath("docs/long.log"), text);
    open(form, prompts, path);
    QVERIFY(prompts.messages.isEmpty());
    QCOMPARE(ui(form).sourcePane()->toPlainText().size(), text.size());
    QCOMPARE(form.statusText(), path + " loaded.");
    // the pane took a new document with the same font and nothing to undo
    QVERIFY(ui(form).sourcePane()->document() != before);
    QCOMPARE(ui(form).sourcePane()->document()->defaultFont().pointSize(), 14);
    QVERIFY(!ui(form).item(ObjectName::undoItem)->isEnabled());
    QTest::keyClicks(ui(form).sourcePane(), "x");
    QVERIFY(ui(form).item(ObjectName::undoItem)->isEnabled());

    // a document given earlier goes when the next long text comes
    before = ui(form).sourcePane()->document();
    open(form, prompts, path);
    QVERIFY(before.isNull());
    QCOMPARE(ui(form).sourcePane()->toPlainText().size(), text.size());
}

void DocumentOpeningTest::aSecondOpenCancelsTheFirst()
{
    qputenv("LINGUARO_SITE_URL", fileRoot().toUtf8());
    // a converter that would go on for a minute, and tells who it is
    write(data() + "/xls-extract", "#!/bin/sh\necho $$ > \"$(dirname \"$0\")/running\"\nexec sleep 60\n");
    const QString slow = write(m_home->filePath("docs/slow.xls"), "a workbook");
    const QString plain = write(m_home->filePath("docs/plain.txt"), "the second choice");
    ScriptedPrompts prompts;
    MainWindow form;
    QSignalSpy ended(&form.opening(), &DocumentOpening::finished);
    prompts.openAnswers << slow;
    ui(form).item(ObjectName::openItem)->trigger();
    // the window stays live while the converter runs
    QTRY_COMPARE_WITH_TIMEOUT(form.statusText(), "Loading " + slow + ", please wait...", 30 * 1000);
    QTRY_VERIFY(QFile::exists(data() + "/running") && QFile(data() + "/running").size() > 0);
    QVERIFY(form.opening().busy());

    open(form, prompts, plain);
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.first().first().toBool(), true);
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join('|')));
    QCOMPARE(ui(form).sourcePane()->toPlainText(), QString("the second choice"));
    QCOMPARE(form.statusText(), plain + " loaded.");
    QCOMPARE(form.OpenedFileName, plain);
    QVERIFY(!form.opening().busy());
    // the first converter was stopped, not left running
    QFile running(data() + "/running");
    QVERIFY(running.open(QIODevice::ReadOnly));
    const pid_t converter = running.readAll().trimmed().toInt();
    QVERIFY(converter > 0);
    QTRY_VERIFY(::kill(converter, 0) != 0);
}

void DocumentOpeningTest::aConverterIsHeldWithinItsLimits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("misbehaving");  // the misbehaving converter stands for the format's own
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("line");  // a line the pane then holds; empty: the pane is as it was

    const QString memory = "The document needs more memory than allowed (256 MB).";
    const QString cpu = "The converter took too long and was stopped after 1 second of processor time.";
    const QString crash = "The converter crashed or ran out of memory (signal 6, Aborted).";
    QTest::newRow("takes memory without end") << "big.xls" << QByteArray("allocate") << true << memory << "";
    QTest::newRow("an allocation fails") << "big.pdf" << QByteArray("throw") << true << memory << "";
    QTest::newRow("computes for ever") << "loop.ppt" << QByteArray("spin") << true << cpu << "";
    QTest::newRow("aborts") << "abort.pdf" << QByteArray("abort") << true << crash << "";

    // documents that poppler cannot read within bounds, read by the real converter
    QTest::newRow("graphics states nested a million deep")
        << "deep.pdf" << pdf(1, textLines("Deep", 1) + QByteArray("q ").repeated(1000000)) << false << memory << "";
    QList<QByteArray> forms;
    for (int i = 0; i < 40; ++i)
        forms += stream("/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /XObject << /N "
                            + QByteArray::number(6 + i) + " 0 R >> >>",
                        "/N Do /N Do", false);
    forms += stream("/Type /XObject /Subtype /Form /BBox [0 0 612 792]", "0 0 m 1 1 l S", false);
    QTest::newRow("forms drawing forms") << "forms.pdf" << pdf(1, textLines("Forms", 1) + "/X5 Do", forms) << false
                                         << cpu << "";
    QTest::newRow("two thousand pages drawing one long content stream")
        << "shared.pdf" << pdf(2000, textLines("Shared page text", 400)) << false
        << "of 2000 pages were read: reading them all would take longer than allowed"
        << "Shared page text";
    QTest::newRow("a text longer than a converter may write")
        << "long.pdf" << pdf(60, textLines("A line of a long document", 60)) << false << "the text is longer than 64 KB"
        << "A line of a long document";
}

void DocumentOpeningTest::aConverterIsHeldWithinItsLimits()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, misbehaving);
    QFETCH(QString, message);
    QFETCH(QString, line);
    qputenv("LINGUARO_SITE_URL", fileRoot().toUtf8());
    // the converters' private folders are made here, and must all be gone afterwards (the
    // sound system keeps a folder of its own there)
    const QString temporary = m_home->filePath("tmp");
    QDir().mkpath(temporary);
    qputenv("TMPDIR", QFile::encodeName(temporary));
    const QString tag = DocumentLoadJob::formatTag(name);
    if (misbehaving) {
        QDir().mkpath(data());
        QVERIFY(QFile::copy(Misbehaving, data() + '/' + DocumentLoadJob::converterName(tag)));
    }
    const QString path = write(m_home->filePath("docs/" + name), content);

    ScriptedPrompts prompts;
    MainWindow form;
    // lower than an opening's own, so that each limit is soon reached; the clock's limit is
    // far off: the processor-time limit must stop what computes
    Shell::Limits& limits = form.opening().ConverterLimits;
    limits = Shell::Limits::confined(256 << 20, 60 * 1000, name == "long.pdf" ? 64 << 10 : limits.outputCap);
    limits.cpuSeconds = 1;
    ui(form).sourcePane()->setPlainText("the user's text");
    open(form, prompts, path);
    qunsetenv("TMPDIR");

    QCOMPARE(prompts.messages.size(), 1);
    const QString said = prompts.messages.first();
    QVERIFY2(said.contains(message), qPrintable(said));
    const QString opening =
        line.isEmpty() ? "\"%1\" could not be converted.\n" : "Only the beginning of \"%1\" was loaded.\n";
    QVERIFY2(said.startsWith(opening.arg(path)), qPrintable(said));
    if (line.isEmpty()) {
        // what the converter wrote before it was stopped went nowhere
        QCOMPARE(ui(form).sourcePane()->toPlainText(), QString("the user's text"));
        QCOMPARE(form.statusText(), QString("Ready."));
    } else {
        const QStringList pane = ui(form).sourcePane()->toPlainText().split('\n');
        QVERIFY(pane.contains(line));
        QVERIFY(!pane.contains("the user's text"));
        QCOMPARE(form.statusText(), path + " loaded.");
    }
    QCOMPARE(QDir(temporary).entryList({"linguaro-*"}, QDir::AllEntries | QDir::Hidden).join('|'), QString());
    QVERIFY(!QFile::exists(data() + "/istmp.txt"));
}

QTEST_MAIN(DocumentOpeningTest)
#include "test_document_opening.moc"
