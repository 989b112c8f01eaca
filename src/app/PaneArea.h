#pragma once

#include <QWidget>

class QTextEdit;

// The window's client area below the toolbar: the source pane fills what the
// target pane, docked to the bottom, leaves. After each layout pass the
// window's resize handler may give the target pane a new height.
class PaneArea : public QWidget {
    Q_OBJECT
public:
    PaneArea(QTextEdit* source, QTextEdit* target, int targetHeight, QWidget* parent = nullptr);

    int targetHeight() const { return m_targetHeight; }
    // Lays the panes out again with this target height (no laidOut signal).
    void setTargetHeight(int height);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The panes have their new geometry after a resize.
    void laidOut();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutPanes();

    QTextEdit* m_source;
    QTextEdit* m_target;
    int m_targetHeight;
};
