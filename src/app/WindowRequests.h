#pragma once

#include "BusWindow.h"

#include <QObject>

class TForm1;

// The main window's side of the translator's bus service: bringing the window
// forward, and putting the selected text into the source pane to translate it.
class WindowRequests : public QObject, public BusWindow {
    Q_OBJECT
public:
    explicit WindowRequests(TForm1& form);

    void bringToFront() override;
    Selection translateSelection() override;
    ProxySettings proxy() const override;
    bool serbianCyrillic() const override;
    bool keepHistory() const override;
    bool reuseTranslations() const override;
    void historyNotice(const QString& text) override;

    // The X primary selection when it holds text, else the clipboard's text.
    static QString selectedText();

private:
    TForm1& m_form;
    bool m_queued = false;  // a selection waits to go into the panes
};
