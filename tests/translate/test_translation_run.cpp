#include "TranslationRun.h"

#include "LanguageTable.h"
#include "LoopbackService.h"
#include "QtPrinting.h"
#include "ServiceExchange.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

// The window as the run sees it: plain state, and every call logged in order.
struct TestView : TranslationView {
    QStringList sourceLines;
    int source = 0;
    int target = 1;
    bool character = false;
    bool agentOff = false;
    bool readAloudAfter = false;
    bool copyAfter = false;
    QStringList targetParagraphs;
    QStringList log;

    QString sourcePaneText() override { return sourceLines.join('\n'); }
    QStringList sourcePaneLines() override { return sourceLines; }
    int sourcePosition() override { return source; }
    int targetPosition() override { return target; }
    QString sourceDisplayName() override { return LanguageTable::DisplayName(source); }
    QString targetDisplayName() override { return LanguageTable::DisplayName(target); }
    void showMessage(const QString& text) override { log << "message:" + text; }
    void setStatus(const QString& text, bool repaintNow) override
    {
        log << "status:" + text + (repaintNow ? "|repaint" : "");
    }
    void processPendingEvents() override { log << "process"; }
    void appendTargetParagraph(const QString& text) override
    {
        targetParagraphs << text;
        log << "append:" + text;
    }
    void caretToTargetStart() override { log << "caretStart"; }
    QString targetPaneText() override { return targetParagraphs.join('\n'); }
    void copyTargetToClipboard() override { log << "copy"; }
    bool characterPresent() override { return character; }
    void characterThinkOverSource() override { log << "think"; }
    bool agentUnavailable() override { return agentOff; }
    bool readAloudOption() override { return readAloudAfter; }
    bool copyToClipboardOption() override { return copyAfter; }
    void setReadTargetOption(bool on) override { log << QStringLiteral("readTarget:%1").arg(on); }
    void readAloud() override { log << "readAloud"; }

    QStringList statuses() const { return log.filter(QRegularExpression("^status:")); }
};


class TranslationRunTest : public ::testing::Test {
protected:
    LoopbackService service;
    ServiceClient client{service.qurl("/translate")};
    ProxySettings proxy;
    TestView view;

    void run() { TranslationRun(view, client, proxy).Run(); }
};

}  // namespace

TEST_F(TranslationRunTest, RefusesNothingToTranslate)
{
    for (const QStringList& lines : {QStringList{}, QStringList{" "}, QStringList{"", ""}}) {
        view.log.clear();
        view.sourceLines = lines;
        run();
        EXPECT_EQ(view.log, QStringList{"message:Nothing to translate!"});
    }
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(TranslationRunTest, RefusesMissingOrEqualLanguages)
{
    view.sourceLines = {"Hello"};
    struct Case {
        int source, target;
        const char* message;
    };
    for (const Case& c : {Case{-1, 1, "ERROR: Please select the source language!"},
                          Case{0, 54, "ERROR: Please select the destination language!"},
                          Case{-1, -1, "ERROR: Please select the source language!"},
                          Case{6, 15, "ERROR: Source language is the same as the destination language!"},
                          Case{3, 3, "ERROR: Source language is the same as the destination language!"}}) {
        view.log.clear();
        view.source = c.source;
        view.target = c.target;
        view.character = true;
        run();
        EXPECT_EQ(view.log, QStringList{QStringLiteral("message:") + c.message}) << c.source << "->" << c.target;
    }
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(TranslationRunTest, OneChunkFromStartToDone)
{
    view.sourceLines = {"Salt & pepper", "   ", "Bye"};
    view.target = 12;
    view.character = true;
    run();
    const QString translation = "zh-tw:Salt & pepper  Bye ";
    EXPECT_EQ(view.log, (QStringList{"think", "status:Translating English to Chinese(T) ...",
                                     "status:Translating from English to Chinese(T)... [0% Completed]|repaint",
                                     "process", "append:" + translation, "caretStart", "status:Done."}));
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].param("q"), "Salt & pepper\r\n\r\nBye\r\n");
    EXPECT_EQ(requests[0].param("from"), "en");
    EXPECT_EQ(requests[0].param("to"), "zh-tw");
}

TEST_F(TranslationRunTest, TwoSpacesAreSentAsABareLineEnd)
{
    view.sourceLines = {"  "};
    run();
    ASSERT_EQ(service.requests().size(), 1u);
    EXPECT_EQ(service.requests()[0].param("q"), "\r\n");
    EXPECT_EQ(view.statuses().last(), "status:Done.");
}

TEST_F(TranslationRunTest, ProgressOverEightChunks)
{
    // each line with its line end fills one chunk exactly
    for (int i = 0; i < 8; ++i)
        view.sourceLines << QString(2998, QChar('a' + i));
    run();
    QStringList percents;
    for (const QString& s : view.statuses())
        if (s.contains("Completed"))
            percents << s.section('[', 1).section('%', 0, 0);
    EXPECT_EQ(percents, (QStringList{"0", "12", "25", "38", "50", "62", "75", "88"}));
    ASSERT_EQ(view.targetParagraphs.size(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(view.targetParagraphs[i], "fr:" + QString(2998, QChar('a' + i)) + " ");
    EXPECT_EQ(view.log.count("process"), 8);
}

TEST_F(TranslationRunTest, FailedChunkKeepsEarlierOnesAndTheProgressText)
{
    view.sourceLines = {QString(2998, 'a'), "FAIL" + QString(2994, 'b'), QString(2998, 'c')};
    view.readAloudAfter = true;
    view.copyAfter = true;
    EXPECT_THROW(run(), ServiceError);
    EXPECT_EQ(view.targetParagraphs, QStringList{"fr:" + QString(2998, 'a') + " "});
    EXPECT_EQ(view.log.last(), "status:Translating from English to French... [33% Completed]|repaint");
    EXPECT_FALSE(view.log.contains("caretStart"));
    EXPECT_EQ(service.requests().size(), 2u);
}

TEST_F(TranslationRunTest, RunsAppendBelowEarlierResults)
{
    view.sourceLines = {"first"};
    run();
    view.sourceLines = {"second"};
    run();
    EXPECT_EQ(view.targetParagraphs, (QStringList{"fr:first ", "fr:second "}));
}

TEST_F(TranslationRunTest, ReadAloudAndCopyAfterwards)
{
    view.sourceLines = {"Hello"};
    view.readAloudAfter = true;
    view.copyAfter = true;
    run();
    const qsizetype done = view.log.indexOf("status:Done.");
    ASSERT_GE(done, 0);
    EXPECT_EQ(view.log.mid(done + 1), (QStringList{"readTarget:1", "readAloud", "copy"}));

    // without the agent nothing is read, but the copy still happens
    view.log.clear();
    view.agentOff = true;
    run();
    EXPECT_FALSE(view.log.contains("readAloud"));
    EXPECT_TRUE(view.log.contains("copy"));
}

TEST_F(TranslationRunTest, ShortTargetIsNotReadAloud)
{
    view.sourceLines = {"x"};
    view.readAloudAfter = true;
    // a reply that extracts to nothing leaves an empty paragraph
    ServiceClient empty(service.qurl("/big"));
    TranslationRun(view, empty, proxy).Run();
    EXPECT_EQ(view.targetParagraphs, QStringList{""});
    EXPECT_FALSE(view.log.contains("readAloud"));
}

TEST_F(TranslationRunTest, RequestsGoThroughTheWindowsProxy)
{
    RecordingProxy recorder;
    view.sourceLines = {"Hello"};
    // a service elsewhere: one on this machine would be reached without the proxy
    ServiceClient remote(QStringLiteral("http://service.linguaro.test/translate"));
    TranslationRun translation(view, remote, proxy);
    // the run reads the window's proxy state as it is when the request goes out
    proxy = {true, "127.0.0.1", QString::number(recorder.port()), "", ""};
    translation.Run();
    EXPECT_EQ(recorder.requests().size(), 1u);
    EXPECT_TRUE(service.requests().empty());
    EXPECT_EQ(view.targetParagraphs, QStringList{"via proxy"});
}
