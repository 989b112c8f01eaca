#include "AppFixture.h"
#include "WindowDriver.h"
#include "DocumentTranslationCommands.h"
#include "ServiceProcess.h"
#include "WindowTranslation.h"

#include <QComboBox>
#include <QMenu>
#include <QProcess>
#include <QPointer>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>

#include <unistd.h>

// File > Translate document... and Options > Misc > Keep formatting in the window, against the
// real translation service program on loopback.
class TestDocumentWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_service.reset(); }
    void init()
    {
        m_fixture = std::make_unique<AppFixture>();
        qputenv("LINGUARO_SERVICE_URL", m_service->endpoint().toUtf8());
    }
    void cleanup() { m_fixture.reset(); }

    void translatesADocumentAndAsksBeforeReplacing();
    void cancelWritesNothing();
    void unwritableFolderIsTold();
    void damagedDocumentIsTold();
    void olderFormatsBecomeTranslatedText();
    void keepFormattingKeepsBoldInTheTargetPane();
    void longDocumentShowsItsPercent();

private:
    static constexpr int Spanish = 3;
    // Chooses `source` in the Open dialog, and waits until the command is over.
    bool translateDocument(MainWindow& form, const QString& source);
    QString copySample(const QString& sample, const QString& name);
    static QByteArray read(const QString& path);

    std::unique_ptr<ServiceProcess> m_service;
    std::unique_ptr<AppFixture> m_fixture;
};

void TestDocumentWindow::initTestCase()
{
    // converters come from the site the build makes
    qputenv("LINGUARO_SITE_URL", QUrl::fromLocalFile(QStringLiteral(LINGUARO_BINARY_DIR "/site/")).toString().toUtf8());
    m_service = std::make_unique<ServiceProcess>();
    QVERIFY2(m_service->running(), qPrintable(m_service->startError()));
}

bool TestDocumentWindow::translateDocument(MainWindow& form, const QString& source)
{
    m_fixture->prompts.openAnswers = {source};
    ui(form).targetList()->setCurrentIndex(Spanish);
    form.translateDocument();
    return QTest::qWaitFor([&form] { return !form.documentTranslation().busy(); }, 120000);
}

QString TestDocumentWindow::copySample(const QString& sample, const QString& name)
{
    const QString path = m_fixture->home.filePath(name);
    QFile::copy(QStringLiteral(LINGUARO_SOURCE_DIR "/tests/data/translate-documents/") + sample, path);
    return path;
}

QByteArray TestDocumentWindow::read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The whole command: a progress dialog that leaves the window usable, the name proposed
// beside the original, a question before anything is replaced (a link planted at the name is
// replaced itself, never written through), the document translated with its bold run, the
// original untouched and the status line saying where the file went.
void TestDocumentWindow::translatesADocumentAndAsksBeforeReplacing()
{
    MainWindow form;
    form.show();
    ScriptedPrompts& prompts = m_fixture->prompts;
    const QString source = copySample("sample.docx", QString::fromUtf8("my r\u00e9p'ort.docx"));
    const QByteArray original = read(source);
    const QString proposed = m_fixture->home.filePath(QString::fromUtf8("my r\u00e9p'ort.es.docx"));
    const QString victim = m_fixture->home.filePath("victim.txt");
    QFile secret(victim);
    QVERIFY(secret.open(QIODevice::WriteOnly) && secret.write("secret") == 6);
    secret.close();
    QVERIFY(QFile::link(victim, proposed));
    // first no to replacing, then the same name again and yes; no to opening the result
    prompts.saveAnswers = {proposed, proposed};
    prompts.answers = {UserPrompts::Answer::No, UserPrompts::Answer::Yes, UserPrompts::Answer::No};

    prompts.openAnswers = {source};
    ui(form).targetList()->setCurrentIndex(Spanish);
    form.translateDocument();
    QProgressDialog* progress = form.documentTranslation().progressDialog();
    QVERIFY(progress && progress->isVisible() && !progress->isModal());
    QVERIFY2(progress->labelText().contains("from English to Spanish"), qPrintable(progress->labelText()));
    QVERIFY(QTest::qWaitFor([&form] { return !form.documentTranslation().busy(); }, 120000));

    QCOMPARE(prompts.errors, QStringList());
    QCOMPARE(prompts.openDialogs.size(), 1);
    QVERIFY(prompts.openDialogs[0].contains("*.docx") && prompts.openDialogs[0].contains("*.pdf"));
    QCOMPARE(prompts.saveProposals, QStringList({proposed, proposed}));
    QCOMPARE(prompts.messages.size(), 3);
    QVERIFY2(prompts.messages[0].contains("already exists"), qPrintable(prompts.messages[0]));
    QCOMPARE(read(victim), QByteArray("secret"));
    QVERIFY(!QFileInfo(proposed).isSymLink());
    QCOMPARE(form.statusText(), QString("The translated document was saved as %1.").arg(proposed));
    QCOMPARE(read(source), original);
    QCOMPARE(form.documentTranslation().progressDialog(), nullptr);

    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {"-p", proposed, "word/document.xml"});
    QVERIFY(unzip.waitForFinished(60000));
    const QString xml = QString::fromUtf8(unzip.readAllStandardOutput());
    QVERIFY2(xml.contains("El gato negro") && xml.contains("<w:b/></w:rPr><w:t>es</w:t>") && xml.contains("1234.56"),
             qPrintable(xml));
    // nothing but the original, the victim and the result: no half-written file beside them
    QCOMPARE(QDir(m_fixture->home.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

// Cancel in the progress dialog stops the translation: no Save dialog, no file.
void TestDocumentWindow::cancelWritesNothing()
{
    MainWindow form;
    form.show();
    const QString source = copySample("sample.odt", "cancelled.odt");
    m_fixture->prompts.openAnswers = {source};
    ui(form).targetList()->setCurrentIndex(Spanish);
    form.translateDocument();
    QProgressDialog* progress = form.documentTranslation().progressDialog();
    QVERIFY(progress);
    QPushButton* cancel = progress->findChild<QPushButton*>();
    QVERIFY(cancel && cancel->text() == "Cancel");
    cancel->click();
    QVERIFY(QTest::qWaitFor([&form] { return !form.documentTranslation().busy(); }, 10000));
    QCOMPARE(form.statusText(), QString("Stopped."));
    QCOMPARE(m_fixture->prompts.saveDialogs, QStringList());
    QCOMPARE(m_fixture->prompts.messages + m_fixture->prompts.errors, QStringList());
    QCOMPARE(QDir(m_fixture->home.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"cancelled.odt"}));
}

// A folder that takes no file: the user is told why and asked for another name.
void TestDocumentWindow::unwritableFolderIsTold()
{
    MainWindow form;
    const QString source = copySample("sample.html", "page.html");
    const QString locked = m_fixture->home.filePath("locked");
    QVERIFY(QDir().mkpath(locked));
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    // the superuser writes into any folder of a disk: there, a folder of the kernel's takes no file
    const QString folder = ::geteuid() == 0 ? QStringLiteral("/sys") : locked;
    const QString target = folder + "/page.es.html";
    m_fixture->prompts.saveAnswers = {target};  // then the second Save dialog is cancelled
    QVERIFY(translateDocument(form, source));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(m_fixture->prompts.errors, QStringList());
    QCOMPARE(m_fixture->prompts.saveDialogs.size(), 2);
    QCOMPARE(m_fixture->prompts.messages.size(), 1);
    QVERIFY2(m_fixture->prompts.messages[0].startsWith("Cannot write " + target + ": Permission denied"),
             qPrintable(m_fixture->prompts.messages[0]));
    QVERIFY(!QFileInfo::exists(target));
    QCOMPARE(QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(form.statusText(), QString("The translation of page.html was not saved."));
}

// A .docx that is really text: the service's reason is shown, no Save dialog, nothing written.
void TestDocumentWindow::damagedDocumentIsTold()
{
    MainWindow form;
    const QString source = copySample("not-a-zip.docx", "not a zip.docx");
    QVERIFY(translateDocument(form, source));
    QCOMPARE(m_fixture->prompts.errors, QStringList());
    QCOMPARE(m_fixture->prompts.saveDialogs, QStringList());
    QCOMPARE(m_fixture->prompts.messages.size(), 1);
    QVERIFY2(m_fixture->prompts.messages[0].startsWith(source + " could not be translated.\n")
                 && m_fixture->prompts.messages[0].contains("400"),
             qPrintable(m_fixture->prompts.messages[0]));
    QCOMPARE(QDir(m_fixture->home.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"not a zip.docx"}));
}

// A PDF has no layout-keeping path: after a question saying so, its text goes through the Open
// command's converter (the source pane keeps its text) and comes back as translated plain text.
void TestDocumentWindow::olderFormatsBecomeTranslatedText()
{
    MainWindow form;
    ui(form).sourcePane()->setPlainText("kept");
    const QString source = m_fixture->home.filePath("report.pdf");
    QVERIFY(QFile::copy(QStringLiteral(LINGUARO_SOURCE_DIR "/tests/data/documents/report.pdf"), source));
    const QString proposed = m_fixture->home.filePath("report.es.txt");
    m_fixture->prompts.answers = {UserPrompts::Answer::Yes, UserPrompts::Answer::No};
    m_fixture->prompts.saveAnswers = {proposed};
    QVERIFY(translateDocument(form, source));

    QCOMPARE(m_fixture->prompts.errors, QStringList());
    QCOMPARE(m_fixture->prompts.messages.size(), 2);
    QVERIFY2(m_fixture->prompts.messages[0].startsWith("report.pdf cannot be rebuilt with its layout"),
             qPrintable(m_fixture->prompts.messages[0]));
    QCOMPARE(m_fixture->prompts.saveProposals, QStringList{proposed});
    const QString text = QString::fromUtf8(read(proposed));
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral("\\b(casa|Cafeter)"))) && !text.contains('\r'),
             qPrintable(text.left(300)));
    QCOMPARE(ui(form).sourcePane()->toPlainText(), QString("kept"));
    QCOMPARE(form.statusText(), QString("The translated document was saved as %1.").arg(proposed));
}

// With Keep formatting on, a bold word inside a sentence stays bold in the target pane;
// the option waits for the service to say the route takes HTML, and off changes nothing.
void TestDocumentWindow::keepFormattingKeepsBoldInTheTargetPane()
{
    // on from the last run: the service is asked at once, not only when the Misc menu opens
    m_fixture->writeStore("\"trg\"=dword:00000003\n\"KeepFormatting\"=dword:00000001\n");
    MainWindow form;
    form.show();
    QVERIFY(ui(form).item(ObjectName::keepFormatting)->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(ui(form).item(ObjectName::keepFormatting)->isEnabled(), 60000);
    // the second paragraph is longer than a piece: it goes alone and whole, after the first
    ui(form).sourcePane()->setHtml("<p>My name <b>is</b> Michael.</p><p>"
                                   + QString("The black cat &amp; the house. ").repeated(120) + "</p>");
    QVERIFY(translateInWindow(form));
    const QStringList told = m_fixture->prompts.errors + m_fixture->prompts.messages;
    QVERIFY2(told.isEmpty(), qPrintable(told.join('\n')));
    QCOMPARE(form.statusText(), QString("Done."));
    QString bold, plain;
    for (QTextBlock block = ui(form).targetPane()->document()->begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            (fragment.fragment().charFormat().fontWeight() >= QFont::Bold ? bold : plain) += fragment.fragment().text();
    QCOMPARE(bold.trimmed(), QString("es"));
    QCOMPARE(ui(form).targetPane()->document()->blockCount(), 2);
    QCOMPARE(plain.count("El gato negro"), 120);
    QVERIFY2(plain.startsWith("Mi nombre") && plain.contains("&"), qPrintable(plain));

    // off: the plain-text run, nothing bold
    ui(form).item(ObjectName::keepFormatting)->setChecked(false);
    ui(form).targetPane()->clear();
    QVERIFY(translateInWindow(form));
    QVERIFY2(ui(form).targetPane()->toPlainText().contains("Mi nombre es Michael"),
             qPrintable(ui(form).targetPane()->toPlainText()));
    QVERIFY(!ui(form).targetPane()->toHtml().contains("font-weight:700"));

    // off from the start: offered once the Misc menu has asked the service
    form.close();
    MainWindow plainForm;
    QVERIFY(!ui(plainForm).item(ObjectName::keepFormatting)->isChecked()
            && !ui(plainForm).item(ObjectName::keepFormatting)->isEnabled());
    emit ui(plainForm).menu(ObjectName::miscMenu)->aboutToShow();
    QTRY_VERIFY_WITH_TIMEOUT(ui(plainForm).item(ObjectName::keepFormatting)->isEnabled(), 60000);
}

// A document of many pieces: the busy indicator turns into a bar with the
// percent the service tells, in the label too; Cancel still ends it at once.
void TestDocumentWindow::longDocumentShowsItsPercent()
{
    MainWindow form;
    form.show();
    // some seconds of the engine's work, far longer than the half second between two questions
    QByteArray html = "<html><body>\n";
    for (int i = 0; html.size() < 400 * 1024; ++i)
        html += "<p>The black cat sleeps in the big house number " + QByteArray::number(i)
                + ". The coffee shop is open and the street is quiet.</p>\n\n";
    const QString source = m_fixture->home.filePath("long.html");
    QFile file(source);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(html + "</body></html>\n") > 0);
    file.close();
    m_fixture->prompts.openAnswers = {source};
    ui(form).targetList()->setCurrentIndex(Spanish);
    form.translateDocument();
    QPointer<QProgressDialog> progress = form.documentTranslation().progressDialog();
    QVERIFY(progress);
    QCOMPARE(progress->maximum(), 0);
    QVERIFY(QTest::qWaitFor([&] { return !progress || (progress->maximum() == 100 && progress->value() > 0); }, 60000));
    QVERIFY2(progress, "the document was done before a percent was shown");
    const QRegularExpression percent(
        QStringLiteral("^Translating long\\.html from English to Spanish\\.\\.\\. (\\d+)%$"));
    const QRegularExpressionMatch shown = percent.match(progress->labelText());
    QVERIFY2(shown.hasMatch(), qPrintable(progress->labelText()));
    QCOMPARE(shown.captured(1).toInt(), progress->value());
    progress->findChild<QPushButton*>()->click();
    QVERIFY(QTest::qWaitFor([&form] { return !form.documentTranslation().busy(); }, 10000));
    QCOMPARE(form.statusText(), QString("Stopped."));
}

QTEST_MAIN(TestDocumentWindow)
#include "test_document_window.moc"
