#pragma once

#include "BusWindow.h"

#include <QObject>

class MainWindow;

// The main window's side of the translator's bus service: bringing the window
// forward, and putting the selected text into the source pane to translate it.
class WindowRequests : public QObject, public BusWindow {
    Q_OBJECT
public:
    explicit WindowRequests(MainWindow& form);

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
    MainWindow& m_form;
    bool m_queued = false;  // a selection waits to go into the panes
};
