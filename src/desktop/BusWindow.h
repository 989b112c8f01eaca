#pragma once

#include "ProxySettings.h"

#include <QString>

// What the translator's bus service asks of the main window.
class BusWindow {
public:
    enum class Selection {
        Started,  // the selected text is in the source pane and its translation starts
        Busy,     // a translation is under way; nothing was changed
        Empty,    // neither the selection nor the clipboard holds text
    };

    // What the window and the bus reply say when there is nothing to translate.
    static inline const QString NothingSelected =
        QStringLiteral("No text is selected, and the clipboard holds no text.");

    virtual ~BusWindow() = default;

    // Shows the window, restores it when minimised, raises and activates it.
    virtual void bringToFront() = 0;
    // Brings the window to the front and translates the X primary selection,
    // else the clipboard. Returns before the translation runs.
    virtual Selection translateSelection() = 0;
    // The proxy the window's own translations go through.
    virtual ProxySettings proxy() const = 0;
    // Whether the window's translations write Serbian in Cyrillic.
    virtual bool serbianCyrillic() const = 0;
    // Whether translations go into the history.
    virtual bool keepHistory() const = 0;
    // Options > Misc > Reuse earlier translations
    virtual bool reuseTranslations() const = 0;
    // Shows what the user should know about the history (it is unavailable, and why).
    virtual void historyNotice(const QString& text) = 0;
};
