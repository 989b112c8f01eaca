#include "UserPrompts.h"

#include <gtest/gtest.h>

namespace {
struct Recorder final : UserPrompts {
    QStringList seen;
    void message(const QString& text, Kind, const QString&) override { seen << text; }
    Answer question(const QString& text, const QString&) override
    {
        seen << text;
        return Answer::Yes;
    }
    void errorReport(const QString& text) override { seen << "error: " + text; }
    QString openFileName(const QString&, const QString&, const QString&) override { return "in.txt"; }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&) override { return "out.txt"; }
};
}  // namespace

TEST(UserPrompts, TestInstanceReplacesAndRestoresDefault)
{
    Recorder recorder;
    UserPrompts::setInstance(&recorder);
    UserPrompts::instance().message("hello");
    UserPrompts::instance().errorReport("boom");
    EXPECT_EQ(recorder.seen, QStringList({"hello", "error: boom"}));
    EXPECT_EQ(UserPrompts::instance().openFileName("t", "", ""), "in.txt");
    UserPrompts::setInstance(nullptr);
    EXPECT_NE(&UserPrompts::instance(), static_cast<UserPrompts*>(&recorder));
    // the fallback answers every dialog with a cancel
    EXPECT_TRUE(UserPrompts::instance().saveFileName("t", "", "", "txt").isEmpty());
}
