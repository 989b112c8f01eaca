#pragma once

#include "TForm1.h"

#include <QTest>

// Presses Translate and lets the window run until the translation has ended
// (its messages answered by the test's prompts). False when it did not end in time.
inline bool translateInWindow(TForm1& form, int timeoutMs = 120000)
{
    form.toolButton20Click();
    return QTest::qWaitFor([&form] { return !form.translating(); }, timeoutMs);
}
