// The five converters as the translator runs them, on documents made by an office suite and a
// browser, and on documents they cannot read.
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kSamples = QStringLiteral(LINGUARO_SOURCE_DIR "/tests/data/documents/");
const QString kSite = QStringLiteral(LINGUARO_BINARY_DIR "/site/");

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A compound file with the given streams, written with libgsf.
void writeCompoundFile(const QString& path, const QList<QPair<const char*, QByteArray>>& streams)
{
    gsf_init();
    GsfOutput* file = gsf_output_stdio_new(QFile::encodeName(path).constData(), nullptr);
    GsfOutfile* storage = gsf_outfile_msole_new(file);
    g_object_unref(file);
    for (const auto& [name, data] : streams) {
        GsfOutput* stream = gsf_outfile_new_child(storage, name, FALSE);
        gsf_output_write(stream, data.size(), reinterpret_cast<const guint8*>(data.constData()));
        gsf_output_close(stream);
        g_object_unref(stream);
    }
    gsf_output_close(GSF_OUTPUT(storage));
    g_object_unref(storage);
}

void put16(QByteArray& data, int at, quint16 value)
{
    data[at] = char(value & 0xff);
    data[at + 1] = char(value >> 8);
}

void put32(QByteArray& data, int at, quint32 value)
{
    put16(data, at, quint16(value & 0xffff));
    put16(data, at + 2, quint16(value >> 16));
}

struct Run {
    int exitCode = -1;
    QString text;      // what the contract says the text goes to, header lines included
    QString errors;
    bool wroteOutput;  // a file beside the document or at the output path exists afterwards
};

}  // namespace

class ConvertersTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void convertsDocuments_data();
    void convertsDocuments();
    void refusesDocumentsItCannotRead_data();
    void refusesDocumentsItCannotRead();
    void readsThePagesCharacterSet_data();
    void readsThePagesCharacterSet();
    void outputReplacesALinkPlantedThere();
    void wordConverterNeedsItsMappingFiles();

private:
    Run run(const QString& format, const QString& sample);

    QTemporaryDir m_dir;
    QString m_wordFolder;
};

// The Word converter's package unpacks into a folder with a space in its name, replacing a
// symbolic link planted where its program goes without writing through it.
void ConvertersTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // what office suites write for a password-protected .docx, .xlsx or .pptx
    writeCompoundFile(m_dir.filePath("protected.docx"),
                      {{"EncryptionInfo", QByteArray(64, '\4')}, {"EncryptedPackage", QByteArray(4096, '\x5a')}});
    m_wordFolder = m_dir.filePath("word text");
    QVERIFY(QDir().mkpath(m_wordFolder));
    const QString outsider = m_dir.filePath("outsider");
    QFile(outsider).open(QIODevice::WriteOnly) && QFile(outsider).size() == 0;
    QVERIFY(QFile::link(outsider, m_wordFolder + "/wordtext"));
    QVERIFY(QFile::copy(kSite + "doc-extract", m_wordFolder + "/doc-extract"));

    QProcess package;
    package.setWorkingDirectory(m_wordFolder);
    package.start(m_wordFolder + "/doc-extract", {});
    QVERIFY(package.waitForFinished(60000));
    QCOMPARE(package.exitCode(), 0);
    QCOMPARE(package.readAllStandardError(), QByteArray());

    QCOMPARE(QFileInfo(outsider).size(), 0);
    const QFileInfo program(m_wordFolder + "/wordtext");
    QVERIFY(!program.isSymLink());
    QVERIFY(program.isExecutable());
    QVERIFY(QFileInfo(m_wordFolder + "/cp1252.txt").size() > 0);
    const QStringList files = QDir(m_wordFolder).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(files.filter(QRegularExpression("^cp\\d+\\.txt$")).size(), 15);
    QCOMPARE(files.size(), 17);  // the package, the program and the mapping files: nothing left over
}

Run ConvertersTest::run(const QString& format, const QString& sample)
{
    const QString source = sample.startsWith('/') ? sample : kSamples + sample;
    QProcess process;
    Run result;
    QString output;
    QStringList arguments{source};
    QString program = kSite + format + "-extract";
    if (format == "doc") {
        program = m_wordFolder + "/wordtext";
    } else if (format == "pdf") {
        output = m_dir.filePath("istmp.txt");
        QFile::remove(output);
        arguments << output;
    } else if (format == "htm") {
        // the page is converted where it lies, so a copy is given
        const QString copy = m_dir.filePath("page" + source.mid(source.lastIndexOf('.')));
        QFile::remove(copy);
        QFile::copy(source, copy);
        arguments = QStringList{copy};
        output = copy.left(copy.lastIndexOf('.')) + ".txt";
        QFile::remove(output);
    }
    process.start(program, arguments);
    process.waitForFinished(60000);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.errors = QString::fromUtf8(process.readAllStandardError());
    const QByteArray standardOutput = process.readAllStandardOutput();
    result.text = QString::fromUtf8(output.isEmpty() ? standardOutput : contents(output));
    result.wroteOutput = output.isEmpty() ? !standardOutput.isEmpty() : QFileInfo::exists(output);
    return result;
}

void ConvertersTest::convertsDocuments_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QStringList>("header");  // the lines the translator drops, as regular expressions
    QTest::addColumn<QStringList>("lines");   // lines that must be in the text, each whole
    QTest::addColumn<QStringList>("absent");  // what must not be in the text

    const QStringList report{"Quarterly report", "Café crème, naïve façade, Ærøskøbing and Łódź.",
                             "Ελληνικά: Η γρήγορη καφέ αλεπού πηδά.",
                             "Русский: Съешь же ещё этих мягких французских булок.",
                             "日本語：これは日本語の文章です。中文：这是中文。", "Region\tSales\tGrowth",
                             "North\t1200\tΕλλάδα", "South\tМосква\t東京", "East\t\tFirst line second line",
                             "Closing paragraph after the table.", "Footnote text here.", "Text in a box"};
    const QStringList oneLine{"^.+: Word .*document.*$"};
    QTest::newRow("Word 97-2003") << "doc" << "report97.doc" << oneLine << report << QStringList{};
    QTest::newRow("Word 97-2003 template") << "doc" << "report-template.dot" << oneLine << report << QStringList{};
    QTest::newRow("Word 2007 XML") << "doc" << "report.docx" << oneLine << report << QStringList{};
    QTest::newRow("Office Open XML text") << "doc" << "report-ooxml.docx" << oneLine << report << QStringList{};
    QTest::newRow("Word, Latin text only") << "doc" << "letter-latin.doc" << oneLine
        << QStringList{"Dear Ms. Müller,", "José Peña",
                       "thank you for your letter of 3 March. The café on the Boulevard Saint-Germain is open again; "
                       "its crème brûlée costs 7,50 €."}
        << QStringList{};

    const QStringList book{"Prices", "Item\tPrice\tDate\tNote", "Café crème\t3.5\t2024-03-01\tΕλληνικά",
                           "Борщ\t12\t\t日本語のメモ", "Total\t15.5", "Πίνακας", "Second sheet\t\tafter a gap"};
    const QStringList sheets{"^.+: 2 sheets$"};
    QTest::newRow("Excel 97-2003") << "xls" << "book97.xls" << sheets << book << QStringList{};
    QTest::newRow("Excel 97-2003 template") << "xls" << "book-template.xlt" << sheets << book << QStringList{};
    QTest::newRow("Excel 2007 XML") << "xls" << "book.xlsx" << sheets << book << QStringList{};
    QTest::newRow("Excel, strings over several records") << "xls" << "inventory.xls" << QStringList{"^.+: 1 sheet$"}
        << QStringList{"Code\tName\tCount", "K0001\tРусский item number 1 with a longer description\t3",
                       "K0400\tΕλληνικά item number 400 with a longer description\t1200",
                       "K0800\tΕλληνικά item number 800 with a longer description\t2400"}
        << QStringList{};

    const QStringList slides{"Annual meeting", "Café and croissants at nine", "Agenda", "Ελληνικά θέματα",
                             "Русские вопросы", "日本語の議題", "Speaker note on the agenda", "Free text box",
                             "Second box"};
    const QStringList twoLines{"^slides.*\\.pptx?$", "^3 slides$"};
    // the masters' prompts are no text of the slides
    QTest::newRow("PowerPoint 97-2003") << "ppt" << "slides97.ppt" << twoLines << slides << QStringList{"Click to"};
    QTest::newRow("PowerPoint 2007 XML") << "ppt" << "slides.pptx" << twoLines << slides << QStringList{"Click to"};

    QTest::newRow("PDF of a text") << "pdf" << "report.pdf" << QStringList{}
        << QStringList{"Ελληνικά: Η γρήγορη καφέ αλεπού πηδά.", "日本語：これは日本語の文章です。中文：这是中文。",
                       "Москва", "Footnote text here.", "Text in a box"}
        << QStringList{};
    QTest::newRow("PDF of slides") << "pdf" << "slides.pdf" << QStringList{}
        << QStringList{"Annual meeting", "Русские вопросы", "Free text box"} << QStringList{"\uf095"};

    QTest::newRow("page in windows-1251") << "htm" << "page-cyrillic.htm" << QStringList{}
        << QStringList{"Новости дня", "Москва — столица России. Цены в € и «кавычки» & амперсанд.",
                       "Блок без абзаца", "вторая строка", "Город\tНаселение", "Москва\t12 655 050", "Второй пункт"}
        << QStringList{"hiddenScriptText", "never", "color: red", "Включите", "Verdana"};
    QTest::newRow("page in Shift_JIS") << "htm" << "page-japanese.html" << QStringList{}
        << QStringList{"お知らせ", "東京の天気は晴れです。", "月曜日\t晴れ", "火曜日\t雨"} << QStringList{"スクリプト"};
    QTest::newRow("XHTML page in ISO-8859-7") << "htm" << "page-greek.htm" << QStringList{}
        << QStringList{"Ανακοίνωση", "Το γραφείο είναι κλειστό την Δευτέρα.", "Ώρες:  09:00-17:00"}
        << QStringList{};
    QTest::newRow("page saved by the office suite") << "htm" << "report-writer.html" << QStringList{}
        << QStringList{"Ελληνικά: Η γρήγορη καφέ αλεπού πηδά.", "Region\tSales\tGrowth",
                       "East\t\tFirst line second line"}
        << QStringList{};
}

void ConvertersTest::convertsDocuments()
{
    QFETCH(QString, format);
    QFETCH(QString, sample);
    QFETCH(QStringList, header);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, absent);

    const Run result = run(format, sample);
    QCOMPARE(result.errors, QString());
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.text.endsWith('\n'));
    QStringList got = result.text.split('\n');
    for (const QString& pattern : header) {
        QVERIFY2(!got.isEmpty() && QRegularExpression(pattern).match(got.first()).hasMatch(),
                 qPrintable("header line: " + got.value(0)));
        got.removeFirst();
    }
    for (const QString& line : lines)
        QVERIFY2(got.contains(line), qPrintable("missing line: " + line + "\n--- text:\n" + result.text));
    for (const QString& text : absent)
        QVERIFY2(!result.text.contains(text), qPrintable("should not be there: " + text));
}

void ConvertersTest::refusesDocumentsItCannotRead_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QString>("reason");

    QTest::newRow("doc: empty") << "doc" << "hostile/empty.doc" << "the file is empty";
    QTest::newRow("doc: text renamed") << "doc" << "hostile/text-renamed.doc" << "not a Word document: the file holds plain text";
    QTest::newRow("doc: truncated") << "doc" << "hostile/truncated.doc" << "the file is damaged";
    QTest::newRow("doc: a workbook") << "doc" << "book97.xls" << "not a Word document: the file is an Excel workbook";
    QTest::newRow("xls: text renamed") << "xls" << "hostile/text-renamed.xls" << "plain text";
    QTest::newRow("xls: truncated") << "xls" << "hostile/truncated.xlsx" << "the file is damaged";
    QTest::newRow("xls: a Word document") << "xls" << "report.docx" << "not an Excel workbook: the file is a Word document";
    QTest::newRow("ppt: text renamed") << "ppt" << "hostile/text-renamed.ppt" << "plain text";
    QTest::newRow("ppt: a Word document") << "ppt" << "report97.doc" << "not a PowerPoint presentation";
    QTest::newRow("pdf: empty") << "pdf" << "hostile/empty.pdf" << "the file is empty";
    QTest::newRow("pdf: encrypted") << "pdf" << "hostile/encrypted.pdf" << "protected by a password";
    QTest::newRow("pdf: truncated") << "pdf" << "hostile/truncated.pdf" << "the file is damaged";
    QTest::newRow("pdf: no pages") << "pdf" << "hostile/no-pages.pdf" << "the document has no pages";
    QTest::newRow("pdf: scanned") << "pdf" << "hostile/image-only.pdf" << "holds no text";
    QTest::newRow("pdf: text renamed") << "pdf" << "hostile/text-renamed.doc" << "not a PDF document";
    for (const char* format : {"doc", "xls", "ppt"})
        QTest::newRow(qPrintable(QString(format) + ": password-protected"))
            << format << m_dir.filePath("protected.docx") << "the document is protected by a password";
    QTest::newRow("htm: empty") << "htm" << "hostile/empty.doc" << "the file is empty";
}

// A clear reason on one line of standard error, a failing exit code, and no text anywhere.
void ConvertersTest::refusesDocumentsItCannotRead()
{
    QFETCH(QString, format);
    QFETCH(QString, sample);
    QFETCH(QString, reason);

    const Run result = run(format, sample);
    QCOMPARE(result.exitCode, 1);
    QVERIFY(!result.wroteOutput);
    QVERIFY2(result.errors.contains(reason), qPrintable(result.errors));
    QCOMPARE(result.errors.count('\n'), 1);
}

void ConvertersTest::readsThePagesCharacterSet_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("text");

    QByteArray utf16("\xff\xfe");
    for (QChar c : QStringLiteral("<p>Ελληνικά</p>"))
        utf16 += char(c.unicode() & 0xff), utf16 += char(c.unicode() >> 8);
    QTest::newRow("UTF-16 with its mark") << utf16 << "Ελληνικά\n";
    QTest::newRow("a byte-order mark wins over the label")
        << QByteArray("\xef\xbb\xbf<meta charset=windows-1251><p>\xce\x95\xce\xbb</p>") << "Ελ\n";
    QTest::newRow("Latin-1 label read as windows-1252")
        << QByteArray("<meta http-equiv=Content-Type content='text/html;charset=ISO-8859-1'><p>\x80 caf\xe9</p>")
        << "€ café\n";
    QTest::newRow("no label, not UTF-8") << QByteArray("<p>caf\xe9 \x93quoted\x94</p>") << "café “quoted”\n";
    QTest::newRow("no label, UTF-8") << QByteArray("<p>caf\xc3\xa9</p>") << "café\n";
    QTest::newRow("unknown label") << QByteArray("<meta charset=\"x-no-such-set\"><p>caf\xc3\xa9</p>") << "café\n";
    QTest::newRow("entities, white space and no-break spaces")
        << QByteArray("<p>  a&nbsp;b\n\t &lt;c&gt; &#x41;&#66;  </p><p>second</p>") << "a b <c> AB\nsecond\n";
    QTest::newRow("preformatted text keeps its spaces") << QByteArray("<pre>a  b\n  c</pre>") << "a  b\n  c\n";
}

// Pages as browsers read them: byte-order mark, then the declared character set, then UTF-8
// when the bytes are UTF-8 and windows-1252 when not.
void ConvertersTest::readsThePagesCharacterSet()
{
    QFETCH(QByteArray, page);
    QFETCH(QString, text);
    const QString path = m_dir.filePath("charset.htm");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(page);
    file.close();
    const Run result = run("htm", path);
    QCOMPARE(result.errors, QString());
    QCOMPARE(result.text, text);
}

// The text replaces a link planted at the output; the file the link points to is untouched.
void ConvertersTest::outputReplacesALinkPlantedThere()
{
    const QString victim = m_dir.filePath("victim");
    for (const QString& format : {QStringLiteral("pdf"), QStringLiteral("htm")}) {
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me");
        file.close();
        QString output = m_dir.filePath("linked.txt");
        QStringList arguments{kSamples + "report.pdf", output};
        if (format == "htm") {
            const QString page = m_dir.filePath("linked.htm");
            QFile::remove(page);
            QVERIFY(QFile::copy(kSamples + "page-cyrillic.htm", page));
            arguments = QStringList{page};
        }
        QFile::remove(output);
        QVERIFY(QFile::link(victim, output));
        QCOMPARE(QProcess::execute(kSite + format + "-extract", arguments), 0);
        QCOMPARE(contents(victim), QByteArray("keep me"));
        QVERIFY(!QFileInfo(output).isSymLink());
        QVERIFY(contents(output).contains("\xd0\x9c\xd0\xbe\xd1\x81\xd0\xba\xd0\xb2\xd0\xb0"));  // "Москва"
    }
}

// Word keeps text in a code page where it can: Word 95 all of it, in the code page of the
// document's language; Word 97 and later the pieces that fit code page 1252. No office suite
// here writes either, so these two documents are laid out by hand the way Word lays them out.
// The converter reads the code page from its mapping files and says which one is missing
// when it is not beside it.
void ConvertersTest::wordConverterNeedsItsMappingFiles()
{
    // Word 95, Russian: one run of text in code page 1251 at fcMin, a table row in it
    const QByteArray russian = QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2, \xec\xe8\xf0\r"
                                          "\xdf\xf7\xe5\xe9\xea\xe0\x07\xc2\xf2\xee\xf0\xe0\xff\x07\x07");
    QByteArray word95(0x400, '\0');
    put16(word95, 0x00, 0xa5dc);
    put16(word95, 0x02, 104);
    put16(word95, 0x06, 0x0419);
    put32(word95, 0x18, 0x400);
    put32(word95, 0x1c, 0x400 + quint32(russian.size()));
    put32(word95, 0x34, quint32(russian.size()));
    word95 += russian;
    const QString russianPath = m_dir.filePath("word95.doc");
    writeCompoundFile(russianPath, {{"WordDocument", word95}});

    // Word 97: one compressed piece, found through the piece table in the table stream
    const QByteArray latin("Caf\xe9 cr\xe8me br\xfbl\xe9\x65 \x97 7,50 \x80\r");
    QByteArray word97(0x800, '\0');
    put16(word97, 0x00, 0xa5ec);
    put16(word97, 0x02, 0xc1);
    put16(word97, 0x0a, 0x0200);  // the table stream is 1Table
    put16(word97, 0x20, 14);
    put16(word97, 0x3e, 22);
    put32(word97, 0x4c, quint32(latin.size()));
    put16(word97, 0x98, 93);
    put32(word97, 0x1a2, 0);
    put32(word97, 0x1a6, 21);
    word97 += latin;
    QByteArray table(21, '\0');
    table[0] = 2;
    put32(table, 1, 16);
    put32(table, 9, quint32(latin.size()));
    put32(table, 15, 0x40000000 | (0x800 * 2));
    const QString latinPath = m_dir.filePath("word97.doc");
    writeCompoundFile(latinPath, {{"WordDocument", word97}, {"1Table", table}});

    Run result = run("doc", russianPath);
    QCOMPARE(result.errors, QString());
    QCOMPARE(result.text, "word95.doc: Word 95 document\nПривет, мир\nЯчейка\tВторая\n");
    result = run("doc", latinPath);
    QCOMPARE(result.errors, QString());
    QCOMPARE(result.text, "word97.doc: Word 97-2003 document\nCafé crème brûlée — 7,50 €\n");

    const QString bare = m_dir.filePath("bare");
    QVERIFY(QDir().mkpath(bare));
    QVERIFY(QFile::copy(m_wordFolder + "/wordtext", bare + "/wordtext"));
    for (const auto& [path, table] : {qMakePair(russianPath, QStringLiteral("cp1251.txt")),
                                      qMakePair(latinPath, QStringLiteral("cp1252.txt"))}) {
        QProcess process;
        process.start(bare + "/wordtext", {path});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardOutput().isEmpty());
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(errors.contains("the character mapping file " + table + " is missing"), qPrintable(errors));
    }
}

QTEST_GUILESS_MAIN(ConvertersTest)
#include "test_converters.moc"
