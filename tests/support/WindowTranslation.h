#pragma once

#include "MainWindow.h"

#include <QTest>

// Presses Translate and lets the window run until the translation has ended
// (its messages answered by the test's prompts). False when it did not end in time.
inline bool translateInWindow(MainWindow& form, int timeoutMs = 120000)
{
    form.translateOrStop();
    return QTest::qWaitFor([&form] { return !form.translating(); }, timeoutMs);
}
