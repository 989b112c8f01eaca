#include "UserPrompts.h"

#include <cstdio>

namespace {
UserPrompts* g_current = nullptr;

// Without a registered widget implementation (a core-only program) prompts go to stderr.
class StderrPrompts final : public UserPrompts {
public:
    void message(const QString& text, Kind, const QString&) override { print(text); }
    Answer question(const QString& text, const QString&) override
    {
        print(text);
        return Answer::No;
    }
    void errorReport(const QString& text) override { print(text); }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }

private:
    static void print(const QString& text) { fprintf(stderr, "%s\n", qPrintable(text)); }
};
}  // namespace

UserPrompts& UserPrompts::instance()
{
    if (g_current)
        return *g_current;
    static StderrPrompts fallback;
    return fallback;
}

void UserPrompts::setInstance(UserPrompts* prompts) { g_current = prompts; }
