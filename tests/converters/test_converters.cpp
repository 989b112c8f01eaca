// The five converters as the translator runs them, on documents made by an office suite and a
// browser, and on documents they cannot read.
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <sys/resource.h>
#include <zip.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kSamples = QStringLiteral(LINGUARO_SOURCE_DIR "/tests/data/documents/");
const QString kSite = QStringLiteral(LINGUARO_BINARY_DIR "/site/");
constexpr rlim_t kConverterMemory = 512u << 20;

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

QByteArray le(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xff);
    return out;
}

// A ZIP package holding the parts, deflated or stored as they are.
void writePackage(const QString& path, const QList<QPair<const char*, QByteArray>>& parts, bool stored = false)
{
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(archive);
    for (const auto& [name, data] : parts) {
        zip_source_t* source = zip_source_buffer(archive, data.constData(), zip_uint64_t(data.size()), 0);
        const zip_int64_t index = zip_file_add(archive, name, source, 0);
        QVERIFY(index >= 0);
        zip_set_file_compression(archive, zip_uint64_t(index), stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    QCOMPARE(zip_close(archive), 0);
}

// An office package: its main part, what that part relates to by "rId1", and that part.
void writeOfficePackage(const QString& path, const char* main, const QByteArray& mainContent, const char* kind,
                        const char* related, const QByteArray& relatedContent, bool stored = false)
{
    const QByteArray schema("http://schemas.openxmlformats.org/");
    auto relationships = [&](const QByteArray& type, const QByteArray& target) {
        return "<Relationships xmlns=\"" + schema + "package/2006/relationships\"><Relationship Id=\"rId1\" Type=\""
               + schema + "officeDocument/2006/relationships/" + type + "\" Target=\"" + target
               + "\"/></Relationships>";
    };
    const QByteArray mainName(main);
    const int slash = mainName.lastIndexOf('/');
    const QByteArray mainRels = mainName.left(slash + 1) + "_rels/" + mainName.mid(slash + 1) + ".rels";
    const QByteArray target = QByteArray(related).mid(slash + 1);
    QList<QPair<const char*, QByteArray>> parts{{"_rels/.rels", relationships("officeDocument", mainName)},
                                                {main, mainContent}};
    if (related)
        parts << qMakePair(mainRels.constData(), relationships(kind, target)) << qMakePair(related, relatedContent);
    writePackage(path, parts, stored);
}

QByteArray biffRecord(quint16 type, const QByteArray& body) { return le(type, 2) + le(quint32(body.size()), 2) + body; }

QByteArray pptRecord(quint16 versionAndInstance, quint16 type, const QByteArray& body)
{
    return le(versionAndInstance, 2) + le(type, 2) + le(quint32(body.size()), 4) + body;
}

// A presentation whose document lists the slides with these persist ids; the directory maps
// `slideIds` ids from 1 on to one slide holding `lines`, and the document's own id after them.
// `saves` saves all name that one directory.
void writePresentation(const QString& path, quint32 slideIds, const QByteArray& lines, int saves)
{
    const QByteArray slide = pptRecord(0x000f, 0x03ee, pptRecord(0, 0x0fa8, lines));
    QByteArray listed;
    for (quint32 id = 1; id <= slideIds; ++id)
        listed += pptRecord(0, 0x03f3, le(id, 4) + QByteArray(16, '\0'));
    const quint32 documentAt = quint32(slide.size());
    const QByteArray document = pptRecord(0x000f, 0x03e8, pptRecord(0x000f, 0x0ff0, listed));
    QByteArray entries;
    for (quint32 id = 1; id <= slideIds; id += 4095) {
        const quint32 count = std::min<quint32>(4095, slideIds - id + 1);
        entries += le(id | (count << 20), 4) + QByteArray(int(4 * count), '\0');
    }
    entries += le((slideIds + 1) | (1u << 20), 4) + le(documentAt, 4);
    QByteArray stream = slide + document;
    const quint32 directoryAt = quint32(stream.size());
    stream += pptRecord(0, 0x1772, entries);
    quint32 previous = 0;
    for (int i = 0; i < saves; ++i) {
        const quint32 at = quint32(stream.size());
        stream += pptRecord(0, 0x0ff5,
                            le(0, 4) + le(0, 4) + le(previous, 4) + le(directoryAt, 4) + le(slideIds + 1, 4)
                                + QByteArray(8, '\0'));
        previous = at;
    }
    const QByteArray user = pptRecord(0, 0x0ff6, le(20, 4) + le(0xe391c05f, 4) + le(previous, 4) + QByteArray(8, '\0'));
    writeCompoundFile(path, {{"PowerPoint Document", stream}, {"Current User", user}});
}

// A Word 97 document: `text` in one 8-bit piece after a header of 0x800 bytes, found through the
// piece table this puts into `table`.
QByteArray word97Document(const QByteArray& text, QByteArray& table)
{
    QByteArray word97(0x800, '\0');
    put16(word97, 0x00, 0xa5ec);
    put16(word97, 0x02, 0xc1);
    put16(word97, 0x0a, 0x0200);  // the table stream is 1Table
    put16(word97, 0x20, 14);
    put16(word97, 0x3e, 22);
    put32(word97, 0x4c, quint32(text.size()));
    put16(word97, 0x98, 93);
    put32(word97, 0x1a2, 0);
    put32(word97, 0x1a6, 21);
    word97 += text;
    table = QByteArray(21, '\0');
    table[0] = 2;
    put32(table, 1, 16);
    put32(table, 9, quint32(text.size()));
    put32(table, 15, 0x40000000 | (0x800 * 2));
    return word97;
}

struct Run {
    int exitCode = -1;
    QString text;  // what the contract says the text goes to, header lines included
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
    void hostileDocumentsEndBounded_data();
    void hostileDocumentsEndBounded();
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
    const QStringList files =
        QDir(m_wordFolder).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot);
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
    // the limits the translator sets: a converter that reads a part again and again runs out of
    // them instead of taking the machine
    process.setChildProcessModifier([] {
        const rlimit space{kConverterMemory, kConverterMemory};
        const rlimit seconds{20, 20};
        ::setrlimit(RLIMIT_AS, &space);
        ::setrlimit(RLIMIT_CPU, &seconds);
    });
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

    const QStringList report{"Quarterly report",
                             "Café crème, naïve façade, Ærøskøbing and Łódź.",
                             "Ελληνικά: Η γρήγορη καφέ αλεπού πηδά.",
                             "Русский: Съешь же ещё этих мягких французских булок.",
                             "日本語：これは日本語の文章です。中文：这是中文。",
                             "Region\tSales\tGrowth",
                             "North\t1200\tΕλλάδα",
                             "South\tМосква\t東京",
                             "East\t\tFirst line second line",
                             "Closing paragraph after the table.",
                             "Footnote text here.",
                             "Text in a box"};
    const QStringList oneLine{"^.+: Word .*document.*$"};
    QTest::newRow("Word 97-2003") << "doc"
                                  << "report97.doc" << oneLine << report << QStringList{};
    QTest::newRow("Word 97-2003 template") << "doc"
                                           << "report-template.dot" << oneLine << report << QStringList{};
    QTest::newRow("Word 2007 XML") << "doc"
                                   << "report.docx" << oneLine << report << QStringList{};
    QTest::newRow("Office Open XML text") << "doc"
                                          << "report-ooxml.docx" << oneLine << report << QStringList{};
    QTest::newRow("Word, Latin text only")
        << "doc"
        << "letter-latin.doc" << oneLine
        << QStringList{"Dear Ms. Müller,", "José Peña",
                       "thank you for your letter of 3 March. The café on the Boulevard Saint-Germain is open again; "
                       "its crème brûlée costs 7,50 €."}
        << QStringList{};

    const QStringList book{"Prices",
                           "Item\tPrice\tDate\tNote",
                           "Café crème\t3.5\t2024-03-01\tΕλληνικά",
                           "Борщ\t12\t\t日本語のメモ",
                           "Total\t15.5",
                           "Πίνακας",
                           "Second sheet\t\tafter a gap"};
    const QStringList sheets{"^.+: 2 sheets$"};
    QTest::newRow("Excel 97-2003") << "xls"
                                   << "book97.xls" << sheets << book << QStringList{};
    QTest::newRow("Excel 97-2003 template") << "xls"
                                            << "book-template.xlt" << sheets << book << QStringList{};
    QTest::newRow("Excel 2007 XML") << "xls"
                                    << "book.xlsx" << sheets << book << QStringList{};
    QTest::newRow("Excel, strings over several records")
        << "xls"
        << "inventory.xls" << QStringList{"^.+: 1 sheet$"}
        << QStringList{"Code\tName\tCount", "K0001\tРусский item number 1 with a longer description\t3",
                       "K0400\tΕλληνικά item number 400 with a longer description\t1200",
                       "K0800\tΕλληνικά item number 800 with a longer description\t2400"}
        << QStringList{};

    const QStringList slides{
        "Annual meeting", "Café and croissants at nine", "Agenda",        "Ελληνικά θέματα", "Русские вопросы",
        "日本語の議題",   "Speaker note on the agenda",  "Free text box", "Second box"};
    const QStringList twoLines{"^slides.*\\.pptx?$", "^3 slides$"};
    // the masters' prompts are no text of the slides
    QTest::newRow("PowerPoint 97-2003") << "ppt"
                                        << "slides97.ppt" << twoLines << slides << QStringList{"Click to"};
    QTest::newRow("PowerPoint 2007 XML") << "ppt"
                                         << "slides.pptx" << twoLines << slides << QStringList{"Click to"};

    QTest::newRow("PDF of a text") << "pdf"
                                   << "report.pdf" << QStringList{}
                                   << QStringList{"Ελληνικά: Η γρήγορη καφέ αλεπού πηδά.",
                                                  "日本語：これは日本語の文章です。中文：这是中文。", "Москва",
                                                  "Footnote text here.", "Text in a box"}
                                   << QStringList{};
    QTest::newRow("PDF of slides") << "pdf"
                                   << "slides.pdf" << QStringList{}
                                   << QStringList{"Annual meeting", "Русские вопросы", "Free text box"}
                                   << QStringList{"\uf095"};

    QTest::newRow("page in windows-1251")
        << "htm"
        << "page-cyrillic.htm" << QStringList{}
        << QStringList{"Новости дня",      "Москва — столица России. Цены в € и «кавычки» & амперсанд.",
                       "Блок без абзаца",  "вторая строка",
                       "Город\tНаселение", "Москва\t12 655 050",
                       "Второй пункт"}
        << QStringList{"hiddenScriptText", "never", "color: red", "Включите", "Verdana"};
    QTest::newRow("page in Shift_JIS") << "htm"
                                       << "page-japanese.html" << QStringList{}
                                       << QStringList{"お知らせ", "東京の天気は晴れです。", "月曜日\t晴れ",
                                                      "火曜日\t雨"}
                                       << QStringList{"スクリプト"};
    QTest::newRow("XHTML page in ISO-8859-7")
        << "htm"
        << "page-greek.htm" << QStringList{}
        << QStringList{"Ανακοίνωση", "Το γραφείο είναι κλειστό την Δευτέρα.", "Ώρες:  09:00-17:00"} << QStringList{};
    QTest::newRow("page saved by the office suite")
        << "htm"
        << "report-writer.html" << QStringList{}
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

    QTest::newRow("doc: empty") << "doc"
                                << "hostile/empty.doc"
                                << "the file is empty";
    QTest::newRow("doc: text renamed") << "doc"
                                       << "hostile/text-renamed.doc"
                                       << "not a Word document: the file holds plain text";
    QTest::newRow("doc: truncated") << "doc"
                                    << "hostile/truncated.doc"
                                    << "the file is damaged";
    QTest::newRow("doc: a workbook") << "doc"
                                     << "book97.xls"
                                     << "not a Word document: the file is an Excel workbook";
    QTest::newRow("xls: text renamed") << "xls"
                                       << "hostile/text-renamed.xls"
                                       << "plain text";
    QTest::newRow("xls: truncated") << "xls"
                                    << "hostile/truncated.xlsx"
                                    << "the file is damaged";
    QTest::newRow("xls: a Word document") << "xls"
                                          << "report.docx"
                                          << "not an Excel workbook: the file is a Word document";
    QTest::newRow("ppt: text renamed") << "ppt"
                                       << "hostile/text-renamed.ppt"
                                       << "plain text";
    QTest::newRow("ppt: a Word document") << "ppt"
                                          << "report97.doc"
                                          << "not a PowerPoint presentation";
    QTest::newRow("pdf: empty") << "pdf"
                                << "hostile/empty.pdf"
                                << "the file is empty";
    QTest::newRow("pdf: encrypted") << "pdf"
                                    << "hostile/encrypted.pdf"
                                    << "protected by a password";
    QTest::newRow("pdf: truncated") << "pdf"
                                    << "hostile/truncated.pdf"
                                    << "the file is damaged";
    QTest::newRow("pdf: no pages") << "pdf"
                                   << "hostile/no-pages.pdf"
                                   << "the document has no pages";
    QTest::newRow("pdf: scanned") << "pdf"
                                  << "hostile/image-only.pdf"
                                  << "holds no text";
    QTest::newRow("pdf: text renamed") << "pdf"
                                       << "hostile/text-renamed.doc"
                                       << "not a PDF document";
    for (const char* format : {"doc", "xls", "ppt"})
        QTest::newRow(qPrintable(QString(format) + ": password-protected"))
            << format << m_dir.filePath("protected.docx") << "the document is protected by a password";
    QTest::newRow("htm: empty") << "htm"
                                << "hostile/empty.doc"
                                << "the file is empty";
    // bytes that no character set defines, whatever the page is taken for
    const QString unreadable = m_dir.filePath("unreadable.htm");
    QFile page(unreadable);
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<meta charset=\"utf-32\"><p>\x81\x8d\x8f\x90\x9d</p>");
    page.close();
    QTest::newRow("htm: nothing readable") << "htm" << unreadable << "the page holds no readable text";
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
    // labels that do not fit the bytes give way to what the bytes are
    QTest::newRow("one-byte page labelled UTF-32") << QByteArray("<meta charset=\"utf-32\"><p>Hello</p>") << "Hello\n";
    QTest::newRow("one-byte page labelled UCS-2")
        << QByteArray("<meta http-equiv=Content-Type content='text/html; charset=ucs-2'><p>caf\xc3\xa9</p>")
        << "café\n";
    QTest::newRow("windows-1252 page labelled UTF-8")
        << QByteArray("<meta charset=utf-8><p>caf\xe9 cr\xe8me \x93quoted\x94</p>") << "café crème “quoted”\n";
    QByteArray utf16be;
    QByteArray utf32le;
    for (QChar c : QStringLiteral("<meta charset=\"utf-16\"><p>Ελληνικά</p>")) {
        utf16be += char(c.unicode() >> 8), utf16be += char(c.unicode() & 0xff);
        utf32le += char(c.unicode() & 0xff), utf32le += char(c.unicode() >> 8), utf32le += QByteArray(2, '\0');
    }
    QTest::newRow("UTF-16 without its mark") << utf16be << "Ελληνικά\n";
    QTest::newRow("UTF-32 without its mark") << utf32le << "Ελληνικά\n";
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

void ConvertersTest::hostileDocumentsEndBounded_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");  // why the converter refuses it; empty when it converts
    QTest::addColumn<QString>("start");   // the start of the text it converts to
    QTest::addColumn<int>("lines");       // how many lines that text has

    const QByteArray line(200, 'x');
    const QString lineText = QString::fromLatin1(line);
    const QString xlsx = m_dir.filePath("many-sheets.xlsx");
    {
        const QByteArray sheets = R"(<sheet name="S" sheetId="1" r:id="rId1"/>)";
        const QByteArray cell = "<row><c t=\"inlineStr\"><is><t>" + line + "</t></is></c></row>";
        writeOfficePackage(xlsx, "xl/workbook.xml",
                           R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
                           R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)"
                               + sheets.repeated(1000) + "</sheets></workbook>",
                           "worksheet", "xl/worksheets/sheet1.xml",
                           R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)"
                               + cell.repeated(5000) + "</sheetData></worksheet>");
    }
    QTest::newRow("xlsx: 1,000 sheets naming one part")
        << "xls" << xlsx << QString() << "many-sheets.xlsx: 1 sheet\nS\n" + lineText + "\n" + lineText + "\n"
        << 5002;

    const QString xls = m_dir.filePath("many-sheets.xls");
    {
        const QByteArray globalsStart = biffRecord(0x0809, le(0x0600, 2) + le(0x0005, 2) + QByteArray(12, '\0'));
        const int sheetsSize = 4000 * (4 + 9);
        const quint32 sheetAt = quint32(globalsStart.size() + sheetsSize + 4);
        const QByteArray boundSheet =
            biffRecord(0x0085, le(sheetAt, 4) + QByteArray(2, '\0') + QByteArray("\x01\x00S", 3));
        const QByteArray label =
            biffRecord(0x0204, le(0, 2) + le(0, 2) + le(0, 2) + le(200, 2) + QByteArray(1, '\0') + line);
        QByteArray cells;
        for (int row = 0; row < 2000; ++row) {
            QByteArray cell = label;
            put16(cell, 4, quint16(row));
            cells += cell;
        }
        const QByteArray stream = globalsStart + boundSheet.repeated(4000) + biffRecord(0x000a, {})
                                  + biffRecord(0x0809, le(0x0600, 2) + le(0x0010, 2) + QByteArray(12, '\0')) + cells
                                  + biffRecord(0x000a, {});
        QCOMPARE(stream.indexOf(cells) - 20, int(sheetAt));
        writeCompoundFile(xls, {{"Workbook", stream}});
    }
    QTest::newRow("xls: 4,000 sheet records naming one sheet")
        << "xls" << xls << QString() << "many-sheets.xls: 1 sheet\nS\n" + lineText + "\n"
        << 2002;

    QByteArray slideLines;
    for (int i = 0; i < 1000; ++i)
        slideLines += line + "\r";
    const QString pptx = m_dir.filePath("many-slides.pptx");
    {
        const QByteArray paragraph = "<a:p><a:r><a:t>" + line + "</a:t></a:r></a:p>";
        writeOfficePackage(
            pptx, "ppt/presentation.xml",
            R"(<p:presentation xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main" )"
            R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><p:sldIdLst>)"
                + QByteArray(R"(<p:sldId id="256" r:id="rId1"/>)").repeated(5000) + "</p:sldIdLst></p:presentation>",
            "slide", "ppt/slides/slide1.xml",
            R"(<p:sld xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main" )"
            R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main"><p:cSld><p:spTree><p:sp><p:txBody>)"
                + paragraph.repeated(1000) + "</p:txBody></p:sp></p:spTree></p:cSld></p:sld>");
    }
    QTest::newRow("pptx: 5,000 slide ids naming one slide")
        << "ppt" << pptx << QString() << "many-slides.pptx\n1 slide\n" + lineText + "\n"
        << 1002;
    const QString ppt = m_dir.filePath("many-ids.ppt");
    writePresentation(ppt, 20000, slideLines, 1);
    QTest::newRow("ppt: 20,000 persist ids naming one slide")
        << "ppt" << ppt << QString() << "many-ids.ppt\n1 slide\n" + lineText + "\n"
        << 1002;
    const QString saves = m_dir.filePath("many-saves.ppt");
    writePresentation(saves, 100000, "Only slide", 10000);
    QTest::newRow("ppt: 10,000 saves naming one long directory")
        << "ppt" << saves << QString() << "many-saves.ppt\n1 slide\nOnly slide\n"
        << 3;

    // the tree of five million empty paragraphs takes far more memory than the budget
    const QByteArray paragraphs =
        R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)"
        + QByteArray("<w:p/>").repeated(5000000) + "</w:body></w:document>";
    const QString stored = m_dir.filePath("deep-tree.docx");
    writeOfficePackage(stored, "word/document.xml", paragraphs, nullptr, nullptr, {}, true);
    QTest::newRow("docx: a part whose tree is too large")
        << "doc" << stored << "the document is too large to convert" << QString() << 0;
    const QString bomb = m_dir.filePath("bomb.docx");
    writeOfficePackage(bomb, "word/document.xml", paragraphs, nullptr, nullptr, {});
    QTest::newRow("docx: a ZIP bomb")
        << "doc" << bomb
        << "the document is too large to convert: its part word/document.xml unpacks to more than 200 times"
        << QString() << 0;
    // the limits are the service's too: a package of too many parts is refused before any is read
    const QString crowded = m_dir.filePath("crowded.docx");
    QList<QByteArray> names;
    for (int i = 0; i < 10000; ++i)
        names << "word/media/part" + QByteArray::number(i) + ".bin";
    QList<QPair<const char*, QByteArray>> parts{{"word/document.xml", paragraphs.left(200)}};
    for (const QByteArray& name : names)
        parts << qMakePair(name.constData(), QByteArray());
    writePackage(crowded, parts, true);
    QTest::newRow("docx: more parts than a package may hold")
        << "doc" << crowded << "the document is too large to convert: it holds more than 10000 files" << QString()
        << 0;

    const QString nested = m_dir.filePath("nested.docx");
    writeOfficePackage(nested, "word/document.xml",
                       R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)"
                           + QByteArray("<w:p>").repeated(100000) + "deep",
                       nullptr, nullptr, {});
    QTest::newRow("docx: elements nested 100,000 deep")
        << "doc" << nested << QString("the file is damaged: its part word/document.xml is not well-formed XML")
        << QString() << 0;

    // 1.5 million entries of the paragraph properties all name one page of 29 runs
    const QString doc = m_dir.filePath("one-page.doc");
    {
        QByteArray table;
        QByteArray word = word97Document("Only paragraph\r", table);
        for (int run = 0; run <= 29; ++run)
            put32(word, 0x400 + 4 * run, quint32(run));
        word[0x5ff] = 29;
        const int entries = 1500000;
        put32(word, 0x9a + 8 * 13, quint32(table.size()));
        put32(word, 0x9a + 8 * 13 + 4, quint32(8 * entries + 4));
        table += QByteArray(4 * (entries + 1), '\0') + le(2, 4).repeated(entries);
        writeCompoundFile(doc, {{"WordDocument", word}, {"1Table", table}});
    }
    QTest::newRow("doc: paragraph properties naming one page")
        << "doc" << doc << QString() << "one-page.doc: Word 97-2003 document\nOnly paragraph\n"
        << 2;
}

// Files of a few kilobytes whose references name one part, sheet, slide or page thousands of
// times, or that unpack to far more than they hold: within the memory and time the translator
// allows, each converts to its text once over, or ends with a clear reason.
void ConvertersTest::hostileDocumentsEndBounded()
{
    QFETCH(QString, format);
    QFETCH(QString, path);
    QFETCH(QString, reason);
    QFETCH(QString, start);
    QFETCH(int, lines);

    const Run result = run(format, path);
    if (!reason.isEmpty()) {
        QVERIFY2(result.errors.contains(reason), qPrintable(result.errors));
        QCOMPARE(result.exitCode, 1);
        QVERIFY(!result.wroteOutput);
        return;
    }
    QCOMPARE(result.errors, QString());
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.text.startsWith(start), qPrintable(result.text.left(300)));
    QCOMPARE(result.text.count('\n'), lines);
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
    QByteArray table;
    const QByteArray word97 = word97Document("Caf\xe9 cr\xe8me br\xfbl\xe9\x65 \x97 7,50 \x80\r", table);
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
    for (const auto& [path, table] :
         {qMakePair(russianPath, QStringLiteral("cp1251.txt")), qMakePair(latinPath, QStringLiteral("cp1252.txt"))}) {
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
