// The document job against a loopback test service that holds the document.
#include "DocumentTranslationJob.h"

#include "LoopbackService.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestDocumentTranslationJob : public QObject {
    Q_OBJECT

private slots:
    void cancelAsksTheServiceToStopTheDocument();

private:
    LoopbackService m_service;
};

// Cancel ends the job at once; the job then asks the service to stop the
// document with DELETE of the job it sent it with, since a proxy may keep the
// service's side of the closed connection open.
void TestDocumentTranslationJob::cancelAsksTheServiceToStopTheDocument()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("report.html"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("<p>The dog is big.</p>\n") > 0);
    file.close();
    DocumentRequest request;
    request.path = path;
    request.languages.sourceCode = QStringLiteral("en");
    request.languages.targetCode = QStringLiteral("es");
    request.languages.endpoint = m_service.qurl("/held/translate");
    const std::unique_ptr<DocumentTranslationJob> job(DocumentTranslationJob::start(request));
    QSignalSpy finished(job.get(), &DocumentTranslationJob::finished);
    QSignalSpy progress(job.get(), &DocumentTranslationJob::progress);
    // the document is with the service and the job has been told it is under way
    QVERIFY(progress.wait(30000));
    QTRY_COMPARE_WITH_TIMEOUT(m_service.requests().size(), 1u, 30000);
    const auto posted = m_service.requests();
    QCOMPARE(posted[0].method, std::string("POST"));
    const std::string token = posted[0].param("job");
    QVERIFY(!token.empty());

    job->cancel();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(job->result().outcome, TranslationResult::Outcome::Stopped);
    QTRY_COMPARE_WITH_TIMEOUT(m_service.requests().size(), 2u, 30000);
    const RecordedRequest stop = m_service.requests().back();
    QCOMPARE(stop.method, std::string("DELETE"));
    QVERIFY2(stop.target.rfind("/held/translate-document/progress?", 0) == 0, stop.target.c_str());
    QCOMPARE(stop.param("job"), token);
    QCOMPARE(finished.size(), 1);
}

QTEST_GUILESS_MAIN(TestDocumentTranslationJob)
#include "test_document_translation_job.moc"
