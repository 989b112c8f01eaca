// Documents through the real service program and the real engine: each
// format comes back translated with its bold runs, tables and numbers where
// they were, on a direct and a pivot route; bad documents get a clear refusal.
#include "PrometheusText.h"
#include "ServiceSuite.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString kSamples = QStringLiteral(LINGUARO_SOURCE_DIR "/tests/data/translate-documents/");

std::string readSample(const QString& name)
{
    QFile file(kSamples + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll().toStdString();
}

// One part of a zip package, read back with the unzip program.
QString unzipPart(const std::string& package, const QString& part)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("package")));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(package.data(), static_cast<qint64>(package.size()));
    file.close();
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), file.fileName(), part});
    unzip.waitForFinished(60000);
    return QString::fromUtf8(unzip.readAllStandardOutput());
}

// The text an installed office suite reads in a document.
QString officeText(const QString& office, const std::string& document, const QString& format)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("translated.") + format));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(document.data(), static_cast<qint64>(document.size()));
    file.close();
    QProcess convert;
    convert.start(office,
                  {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(dir.filePath("profile")).toString(),
                   "--headless", "--convert-to", "txt:Text (encoded):UTF8", "--outdir", dir.path(), file.fileName()});
    convert.waitForFinished(120000);
    QFile text(dir.filePath(QStringLiteral("translated.txt")));
    return text.open(QIODevice::ReadOnly) ? QString::fromUtf8(text.readAll()) : QString();
}

// A file made by a Python script given its path: zips from zipfile, a compound file.
std::string makeZip(const QString& script)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bomb.zip"));
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, path});
    python.waitForFinished(300000);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

// A plain TCP connection to the service, for requests sent and left as no HTTP library would; -1 when refused.
int connectTo(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

class ServiceDocuments : public ServiceSuite {
protected:
    // the service's scratch folders go to a folder of the test's own, to be seen removed
    static void SetUpTestSuite()
    {
        s_scratch = new QTemporaryDir;
        qputenv("TMPDIR", QFile::encodeName(s_scratch->path()));
        startService();
        qunsetenv("TMPDIR");
    }
    static void TearDownTestSuite()
    {
        ServiceSuite::TearDownTestSuite();
        delete s_scratch;
    }
    // What is still in the scratch folder once the service has finished with
    // it: a folder goes when its connection's request ends, just after the reply.
    static QStringList scratchLeft()
    {
        QStringList left;
        for (QDeadlineTimer deadline(10000); !deadline.hasExpired(); QThread::msleep(10)) {
            left = QDir(s_scratch->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
            if (left.isEmpty())
                break;
        }
        return left;
    }
    inline static QTemporaryDir* s_scratch = nullptr;

    static httplib::Result send(const std::string& body, const std::string& format, const std::string& from = "en",
                                const std::string& to = "es", const std::string& more = {})
    {
        httplib::Client client("127.0.0.1", s_service->port());
        client.set_read_timeout(300, 0);
        return client.Post("/translate-document?format=" + format + "&from=" + from + "&to=" + to + more, body,
                           "application/octet-stream");
    }
};

TEST_F(ServiceDocuments, EachFormatComesBackTranslatedWithItsLayout)
{
    // bold and table: patterns of the part; table also stands for numbers and formulas left as they were
    struct Case {
        QString sample, format, part, mediaType, to;
        QStringList translated;
        QString bold, table;
    };
    const QString docx = "application/vnd.openxmlformats-officedocument.wordprocessingml.document";
    const QString pptx = "application/vnd.openxmlformats-officedocument.presentationml.presentation";
    const QString odText = R"(<text:span text:style-name="T1">es</text:span>)";
    const QList<Case> cases{
        {"sample.docx",
         "docx",
         "word/document.xml",
         docx,
         "es",
         {"El gato negro", "la casa es grande", "La cafetería"},
         R"(<w:b/></w:rPr><w:t>es</w:t>)",
         R"(<w:tbl>.*<w:t>1234\.56</w:t>.*</w:tbl>)"},
        {"sample.odt",
         "odt",
         "content.xml",
         "application/vnd.oasis.opendocument.text",
         "es",
         {"El gato negro", "la casa es grande", "La cafetería"},
         odText,
         R"(<table:table .*<text:p>1234\.56</text:p>.*</table:table>)"},
        // the header lives in another part of the package
        {"sample.odt",
         "odt",
         "styles.xml",
         "application/vnd.oasis.opendocument.text",
         "es",
         {"La casa blanca"},
         {},
         {}},
        {"sample.html",
         "html",
         {},
         "text/html",
         "es",
         {"El gato negro", "la casa es grande", "La cafetería es abierta. La cafetería es grande."},
         "<b>es</b>",
         R"(<table>.*<td>1234\.56</td>.*</table>)"},
        {"slides.pptx",
         "pptx",
         "ppt/slides/slide1.xml",
         pptx,
         "es",
         {"El gato negro", "la casa es grande", "La cafetería"},
         R"(<a:rPr b="1"[^>]*>.*?</a:rPr><a:t>es</a:t>)",
         R"(<a:tbl>.*<a:t>1234\.56</a:t>.*</a:tbl>)"},
        // the engine's own path leaves the speaker notes out
        {"slides.pptx", "pptx", "ppt/notesSlides/notesSlide1.xml", pptx, "es", {"La casa blanca es vieja."}, {}, {}},
        {"slides.odp",
         "odp",
         "content.xml",
         "application/vnd.oasis.opendocument.presentation",
         "es",
         {"El gato negro", "la casa es grande", "La cafetería", "La casa blanca es vieja."},
         odText,
         R"(<table:table>.*<text:p>1234\.56</text:p>.*</table:table>)"},
        {"book.xlsx",
         "xlsx",
         "xl/sharedStrings.xml",
         "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
         "es",
         {"El gato negro", "la casa es grande", "La cafetería"},
         R"(<b val="true"/>.*?<t xml:space="preserve">es</t>)",
         {}},
        {"book.xlsx",
         "xlsx",
         "xl/worksheets/sheet1.xml",
         "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
         "es",
         {},
         {},
         R"(<v>1234\.56</v>.*<f aca="false">B1\*2</f><v>2469\.12</v>.*<f aca="false">&quot;The house&quot;</f><v>The house</v>)"},
        {"book.ods",
         "ods",
         "content.xml",
         "application/vnd.oasis.opendocument.spreadsheet",
         "es",
         {"El gato negro", "la casa es grande", "La cafetería es abierta."},
         odText,
         R"(office:value="1234\.56"[^>]*><text:p>1234\.56</text:p>.*table:formula="of:=\[\.B1\]\*2"[^>]*><text:p>2469\.12</text:p>)"
         R"(.*table:formula="of:=&quot;The house&quot;"[^>]*><text:p>The house</text:p>)"},
        // accented letters as the engine cannot read them, and font names it must not translate
        {"letter.rtf",
         "rtf",
         {},
         "application/rtf",
         "es",
         {"El gato negro", "la casa es grande", R"(La cafeter\u237?a es abierta)", "Times New Roman;"},
         R"(\\b\\f5\\loch\s*es\})",
         R"(\\trowd.*1234\.56\}\\cell\\row)"},
        // English to French goes through Spanish: deformatted once, both steps on the stream
        {"sample.docx",
         "docx",
         "word/document.xml",
         docx,
         "fr",
         {"Le chat noir", "la maison est grande"},
         R"(<w:b/></w:rPr><w:t>est</w:t>)",
         R"(<w:tbl>.*<w:t>1234\.56</w:t>.*</w:tbl>)"},
        {"slides.pptx",
         "pptx",
         "ppt/slides/slide1.xml",
         pptx,
         "fr",
         {"Le chat noir", "la maison est grande"},
         R"(<a:rPr b="1"[^>]*>.*?</a:rPr><a:t>est</a:t>)",
         {}},
    };
    const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    for (const Case& c : cases) {
        SCOPED_TRACE((c.sample + " to " + c.to + " " + c.part).toStdString());
        const auto reply = send(readSample(c.sample), c.format.toStdString(), "en", c.to.toStdString());
        ASSERT_TRUE(reply);
        ASSERT_EQ(reply->status, 200) << reply->body;
        EXPECT_EQ(reply->get_header_value("Content-Type"), c.mediaType.toStdString());
        const QString text = c.part.isEmpty() ? QString::fromStdString(reply->body) : unzipPart(reply->body, c.part);
        if (!c.part.isEmpty()) {
            QXmlStreamReader xml(text);
            while (!xml.atEnd())
                xml.readNext();
            EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        }
        for (const QString& words : c.translated)
            EXPECT_TRUE(text.contains(words)) << words.toStdString() << " in " << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("black cat")));
        // the engine's own HTML and RTF paths turn accented letters into broken bytes
        EXPECT_FALSE(text.contains(QChar(0xFFC3)) || text.contains(QChar(0xFFFD))) << text.toStdString();
        if (c.format == "rtf") {
            EXPECT_TRUE(std::all_of(reply->body.begin(), reply->body.end(), [](char b) { return b > 0; }));
        }
        for (const QString& pattern : {c.bold, c.table}) {
            const QRegularExpression expression(pattern, QRegularExpression::DotMatchesEverythingOption);
            EXPECT_TRUE(pattern.isEmpty() || expression.match(text).hasMatch()) << pattern.toStdString();
        }
        // and the office suite, when installed, reads the translated text documents
        if (!office.isEmpty() && QStringList{"docx", "odt", "rtf"}.contains(c.format) && !c.table.isEmpty()) {
            const QString read = officeText(office, reply->body, c.format);
            EXPECT_TRUE(read.contains(c.translated.first()) && read.contains(QStringLiteral("Michael")))
                << read.toStdString();
        }
    }
}

TEST_F(ServiceDocuments, SerbianIsWrittenInCyrillicWhenAsked)
{
    // the markup (a link's "#", the bold run) stays as it was in either script
    const std::string page = "<html><body><p>The <b>river</b> is long. <a href=\"#top\">@home</a></p></body></html>\n";
    const auto latin = send(page, "html", "en", "sr");
    const auto cyrillic = send(page, "html", "en", "sr", "&serbian=cyrillic");
    ASSERT_TRUE(latin && cyrillic);
    ASSERT_EQ(latin->status, 200) << latin->body;
    ASSERT_EQ(cyrillic->status, 200) << cyrillic->body;
    EXPECT_NE(latin->body.find("<b>rijeka</b>"), std::string::npos) << latin->body;
    EXPECT_FALSE(
        QString::fromStdString(latin->body).contains(QRegularExpression(QStringLiteral("[\\x{0400}-\\x{04ff}]"))));
    EXPECT_NE(cyrillic->body.find("<b>ријека</b>"), std::string::npos) << cyrillic->body;
    EXPECT_NE(cyrillic->body.find("href=\"#top\""), std::string::npos) << cyrillic->body;
}

TEST_F(ServiceDocuments, PairsNameTheFormatsOfEveryRoute)
{
    httplib::Client client("127.0.0.1", s_service->port());
    const auto reply = client.Get("/pairs");
    ASSERT_TRUE(reply);
    const QJsonArray pairs = QJsonDocument::fromJson(QByteArray::fromStdString(reply->body))["pairs"].toArray();
    ASSERT_FALSE(pairs.isEmpty());
    for (const QJsonValue& pair : pairs) {
        const QJsonArray formats = pair["formats"].toArray();
        for (const char* format : {"txt", "docx", "odt", "odp", "ods", "pptx", "xlsx", "html", "rtf"})
            EXPECT_TRUE(formats.contains(QString::fromLatin1(format))) << format;
    }
}

TEST_F(ServiceDocuments, BadDocumentsAreRefusedWithAClearMessage)
{
    const std::string docx = readSample(QStringLiteral("sample.docx"));
    const QString bomb = QStringLiteral("import sys, zipfile\n"
                                        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                                        "    z.writestr('word/document.xml', b'')\n"
                                        "    with z.open('word/media/zeros.bin', 'w') as f:\n"
                                        "        block = bytes(1 << 20)\n"
                                        "        for _ in range(501): f.write(block)\n");
    // well under the service's total, but packed as no office file is: the converters' limit holds here too
    const QString dense = QStringLiteral("import sys, zipfile\n"
                                         "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                                         "    z.writestr('word/document.xml', b'')\n"
                                         "    z.writestr('word/media/zeros.bin', bytes(20 << 20))\n");
    const QString entries = QStringLiteral("import sys, zipfile\n"
                                           "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                           "    z.writestr('word/document.xml', b'')\n"
                                           "    for i in range(10000): z.writestr('word/e%d.bin' % i, b'')\n");
    // laid out as Office stores a password-protected 2007+ document: a compound
    // file of two streams, EncryptionInfo and EncryptedPackage, in 512-byte sectors
    const std::string encryptedOoxml = makeZip(QStringLiteral(
        "import struct, sys\n"
        "end, free = 0xFFFFFFFE, 0xFFFFFFFF\n"
        "def entry(name, kind, start, size, right=free, child=free):\n"
        "    n = (name.encode('utf-16-le') + b'\\0\\0') if name else b''\n"
        "    return (n.ljust(64, b'\\0') + struct.pack('<HBBIII', len(n), kind, 1, free, right, child)\n"
        "            + bytes(36) + struct.pack('<IQ', start, size))\n"
        "header = (bytes.fromhex('D0CF11E0A1B11AE1') + bytes(16) + struct.pack('<HHHHH', 0x3E, 3, 0xFFFE, 9, 6) + "
        "bytes(6)\n"
        "          + struct.pack('<9I', 0, 1, 1, 0, 4096, end, 0, end, 0) + struct.pack('<109I', 0, *[free] * 108))\n"
        "fat = [0xFFFFFFFD, end] + list(range(3, 10)) + [end] + list(range(11, 18)) + [end]\n"
        "fat += [free] * (128 - len(fat))\n"
        "directory = (entry('Root Entry', 5, end, 0, child=1) + entry('EncryptionInfo', 2, 2, 4096, right=2)\n"
        "             + entry('EncryptedPackage', 2, 10, 4096) + bytes(128))\n"
        "info = (b'\\x04\\0\\x04\\0\\x40\\0\\0\\0<?xml version=\"1.0\"?><encryption/>').ljust(4096, b'\\0')\n"
        "package = struct.pack('<Q', 5000) + bytes(range(256)) * 15 + bytes(248)\n"
        "open(sys.argv[1], 'wb').write(header + struct.pack('<128I', *fat) + directory + info + package)\n"));
    ASSERT_EQ(encryptedOoxml.size(), 512u * 19);
    struct Case {
        const char* name;
        std::string body, format;
        int status;
        const char* message;
    };
    const std::vector<Case> cases{
        {"damaged zip", docx.substr(0, docx.size() / 2), "docx", 400, "is damaged"},
        {"text named .docx", "Just some text, not a document.", "docx", 400, "not a readable zip package"},
        {"zip without a document",
         makeZip(QStringLiteral("import sys, zipfile\n"
                                "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                "    z.writestr('notes.txt', 'hello')\n")),
         "odt", 400, "has no content.xml"},
        {"zip bomb", makeZip(bomb), "docx", 413, "unpacks to more than 500 MB"},
        {"too many entries", makeZip(entries), "docx", 413, "more than 10000 files"},
        {"densely packed part", makeZip(dense), "docx", 413, "zeros.bin unpacks to more than 200 times its packed size"},
        {"encrypted Word document", encryptedOoxml, "docx", 400, "is protected by a password (encrypted)"},
        {"encrypted OpenDocument",
         makeZip(QStringLiteral("import sys, zipfile\n"
                                "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                "    z.writestr('mimetype', 'application/vnd.oasis.opendocument.spreadsheet')\n"
                                "    z.writestr('content.xml', bytes(range(256)))\n"
                                "    z.writestr('META-INF/manifest.xml', '<manifest:manifest "
                                "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
                                "<manifest:file-entry manifest:full-path=\"content.xml\"><manifest:encryption-data "
                                "manifest:checksum-type=\"SHA1/1K\"/>"
                                "</manifest:file-entry></manifest:manifest>')\n")),
         "ods", 400, "is protected by a password (encrypted)"},
        {"older Word document named .docx", readSample(QStringLiteral("../documents/report97.doc")), "docx", 400,
         "older binary format (.doc, .xls or .ppt)"},
        {"spreadsheet cells that are not XML",
         makeZip(QStringLiteral("import sys, zipfile\n"
                                "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                "    z.writestr('content.xml', '<office:document-content><table:table-cell>')\n")),
         "ods", 400, "the cells of the OpenDocument spreadsheet (.ods) cannot be read"},
        {"text named .rtf", "Just some text.", "rtf", 400, "is not a rich text (.rtf) document"},
        {"unknown format", "hello", "xyz", 400, "is unknown"},
        {"format not kept", "hello", "pdf", 422, "cannot be translated with their layout kept"},
        {"no route", docx, "docx", 400, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.body.empty());
        const auto reply =
            std::string(c.name) == "no route" ? send(c.body, c.format, "en", "zz") : send(c.body, c.format);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, c.status) << reply->body;
        EXPECT_NE(reply->body.find(c.message), std::string::npos) << reply->body;
    }
    // a workbook of numbers only comes back as it was
    const std::string numbers =
        makeZip(QStringLiteral("import sys, zipfile\n"
                               "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                               "    z.writestr('xl/workbook.xml', '<workbook/>')\n"
                               "    z.writestr('xl/worksheets/sheet1.xml', "
                               "'<worksheet><sheetData><row><c><v>42</v></c></row></sheetData></worksheet>')\n"));
    const auto unchanged = send(numbers, "xlsx");
    ASSERT_TRUE(unchanged);
    EXPECT_EQ(unchanged->status, 200);
    EXPECT_TRUE(unchanged->body == numbers);
    EXPECT_EQ(scratchLeft(), QStringList());
}

// With --parallel 1 a document still arriving holds the one place: another
// is told to come back later, and the place is free again once the first
// connection is gone.
TEST_F(ServiceDocuments, DocumentsBeyondTheParallelLimitAreToldToRetry)
{
    const std::string html = readSample(QStringLiteral("sample.html"));
    // the service takes in connections at its own pace: ask until the answer comes
    const auto askUntil = [&](int status) {
        httplib::Response last;
        for (int i = 0; i < 200 && last.status != status; ++i) {
            const auto reply = send(html, "html");
            if (!reply)
                break;
            last = *reply;
        }
        return last;
    };
    {
        const int fd = connectTo(s_service->port());
        ASSERT_GE(fd, 0);
        const std::string head = "POST /translate-document?format=html&from=en&to=es HTTP/1.1\r\nHost: test\r\n"
                                 "Content-Length: 100000\r\n\r\n<p>The dog";
        ASSERT_EQ(::send(fd, head.data(), head.size(), MSG_NOSIGNAL), static_cast<ssize_t>(head.size()));
        const httplib::Response refused = askUntil(503);
        EXPECT_EQ(refused.status, 503) << refused.body;
        EXPECT_EQ(refused.get_header_value("Retry-After"), "5");
        ::close(fd);
    }
    const httplib::Response again = askUntil(200);
    EXPECT_EQ(again.status, 200) << again.body;
    EXPECT_EQ(scratchLeft(), QStringList());
}

// A document sent with a job token tells how far it is while it is worked on:
// the count of pieces done only rises, reaches the total before the answer
// comes, and the token is unknown again once it has. A bad token is refused.
TEST_F(ServiceDocuments, ProgressRisesToTheTotalWhileTheDocumentIsWorkedOn)
{
    for (const std::string& bad : {std::string("short"), std::string(65, 'a'), std::string("job%20with%20space"),
                                   std::string("..%2F..%2Fjob-token")}) {
        SCOPED_TRACE(bad);
        httplib::Client client("127.0.0.1", s_service->port());
        const auto reply = client.Post("/translate-document?format=html&from=en&to=es&job=" + bad,
                                       readSample(QStringLiteral("sample.html")), "application/octet-stream");
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 400) << reply->body;
    }

    // far more than one piece of the engine's stream: paragraphs apart are where it may be cut
    std::string html = "<html><body>\n";
    int paragraphs = 0;
    for (; html.size() < 150 * 1024; ++paragraphs)
        html += "<p>The black cat sleeps in the big house number " + std::to_string(paragraphs)
                + ". The coffee shop is open and the street is quiet.</p>\n\n";
    html += "</body></html>\n";
    const std::string job = "Progress-Test-0042";
    const std::string progress = "/translate-document/progress?job=" + job;
    std::atomic<bool> answered{false};
    std::vector<std::pair<qint64, qint64>> seen;
    int refusedShape = 0;
    std::thread poller([&] {
        httplib::Client client("127.0.0.1", s_service->port());
        while (!answered) {
            const auto reply = client.Get(progress);
            if (!reply || reply->status != 200)
                continue;
            const QJsonObject counts = QJsonDocument::fromJson(QByteArray::fromStdString(reply->body)).object();
            if (!counts["done"].isDouble() || !counts["total"].isDouble())
                ++refusedShape;
            seen.emplace_back(counts["done"].toInteger(), counts["total"].toInteger());
        }
    });
    httplib::Client client("127.0.0.1", s_service->port());
    client.set_read_timeout(300, 0);
    const auto reply =
        client.Post("/translate-document?format=html&from=en&to=es&job=" + job, html, "application/octet-stream");
    answered = true;
    poller.join();
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->status, 200) << reply->body;
    // every piece came back once, in its place
    const QString translated = QString::fromStdString(reply->body);
    EXPECT_EQ(translated.count(QStringLiteral("La tienda de café es abierta")), paragraphs);
    EXPECT_TRUE(translated.contains(QStringLiteral("número de casa grande %1.").arg(paragraphs - 1)));
    EXPECT_EQ(refusedShape, 0);

    ASSERT_FALSE(seen.empty());
    const qint64 total = seen.back().second;
    EXPECT_GE(total, 5) << "pieces of about 32 KB";
    EXPECT_EQ(seen.back().first, total);
    for (size_t i = 1; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_GE(seen[i].first, seen[i - 1].first);
        EXPECT_LE(seen[i].first, seen[i].second);
        EXPECT_TRUE(seen[i - 1].second == 0 || seen[i].second == seen[i - 1].second);
    }
    const auto after = client.Get(progress);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 404);
}

// A document whose client goes away, by closing its connection or by DELETE of
// its job (for a proxy that keeps the connection open), stops being translated:
// the service counts the cancel, its engine chains are free, its private folder
// is gone, and the pair translates the next request whole.
TEST_F(ServiceDocuments, ACancelledDocumentStopsItsWork)
{
    // far more than the time it takes to cancel it: some seconds of the engine's work
    std::string html = "<html><body>\n";
    for (int i = 0; html.size() < 400 * 1024; ++i)
        html += "<p>The black cat sleeps in the big house number " + std::to_string(i)
                + ". The coffee shop is open and the street is quiet.</p>\n\n";
    html += "</body></html>\n";
    httplib::Client client("127.0.0.1", s_service->port());
    const auto metrics = [&client] {
        const auto reply = client.Get("/metrics");
        return PrometheusText(reply ? reply->body : std::string());
    };
    const std::string small = "<p>The coffee shop is open and the street is quiet.</p>\n";
    const auto before = send(small, "html");
    ASSERT_TRUE(before);
    ASSERT_EQ(before->status, 200) << before->body;
    const std::string cancels = "linguaro_requests_cancelled_total{route=\"/translate-document\"}";
    const std::string busy = "linguaro_engine_chains_busy{pair=\"eng-spa\"}";
    struct Case {
        const char* how;
        std::string job;
        bool byDelete;
    };
    for (const Case& c : {Case{"the connection closes", "Cancel-Test-Closed", false},
                          Case{"DELETE of its job", "Cancel-Test-Deleted", true}}) {
        SCOPED_TRACE(c.how);
        const double cancelledBefore = metrics()[cancels];
        const int fd = connectTo(s_service->port());
        ASSERT_GE(fd, 0);
        const timeval guard{60, 0};  // against a hang only
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
        const std::string request = "POST /translate-document?format=html&from=en&to=es&job=" + c.job
                                    + " HTTP/1.1\r\nHost: test\r\nContent-Length: " + std::to_string(html.size())
                                    + "\r\n\r\n" + html;
        ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
        // the engine is at work on it
        QDeadlineTimer underWay(120000);
        for (; !underWay.hasExpired(); QThread::msleep(20)) {
            const auto progress = client.Get("/translate-document/progress?job=" + c.job);
            if (progress && progress->status == 200
                && QJsonDocument::fromJson(QByteArray::fromStdString(progress->body))["done"].toInteger() > 0)
                break;
        }
        ASSERT_FALSE(underWay.hasExpired()) << "the document never reached the engine";
        if (c.byDelete) {
            const auto stopped = client.Delete("/translate-document/progress?job=" + c.job);
            ASSERT_TRUE(stopped);
            EXPECT_EQ(stopped->status, 202) << stopped->body;
            // the connection still open is told why no document comes, and closed
            std::string answer;
            char buffer[4096];
            for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
                answer.append(buffer, static_cast<size_t>(n));
            EXPECT_EQ(answer.rfind("HTTP/1.1 409", 0), 0u) << answer.substr(0, 200);
            EXPECT_NE(answer.find("stopped at its client's request"), std::string::npos) << answer.substr(0, 200);
        }
        ::close(fd);
        // the deadline only guards against a hang
        PrometheusText now = metrics();
        for (QDeadlineTimer stopped(60000); !stopped.hasExpired(); QThread::msleep(20)) {
            now = metrics();
            if (now[cancels] == cancelledBefore + 1 && now[busy] == 0)
                break;
        }
        EXPECT_EQ(now[cancels], cancelledBefore + 1);
        EXPECT_EQ(now[busy], 0);
        EXPECT_EQ(scratchLeft(), QStringList());
        EXPECT_EQ(client.Get("/translate-document/progress?job=" + c.job)->status, 404);
        EXPECT_EQ(client.Delete("/translate-document/progress?job=" + c.job)->status, 404);
    }
    // nothing of the stopped stream reaches the next request
    const auto after = send(small, "html");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200) << after->body;
    EXPECT_EQ(after->body, before->body);
}
