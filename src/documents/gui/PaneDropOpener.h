#pragma once

#include <QObject>

#include <functional>

class QTextEdit;

// Files dropped on a pane are opened as the Open command opens them; other drops (text
// dragged from elsewhere) reach the pane as before.
class PaneDropOpener : public QObject {
    Q_OBJECT
public:
    using Open = std::function<void(const QString& path)>;
    // `mayOpen` says whether an open can start now; while it cannot, files are not taken.
    PaneDropOpener(QTextEdit* pane, Open open, std::function<bool()> mayOpen);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Open m_open;
    std::function<bool()> m_mayOpen;
};
