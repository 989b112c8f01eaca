#pragma once

#include <QHash>
#include <QPointer>
#include <QRegion>
#include <QVariantAnimation>
#include <QWidget>

class CharacterCore;
#include <QMenu>

// The on-screen figure of one character: a frameless, translucent window
// that stays on top and paints the core's current frame and word balloon.
// Its shape is the figure's opaque pixels and the balloon, so clicks beside
// the figure reach the windows below even without a compositor. The window
// glides when the core moves, and the user can drag it, double-click it and
// open its menu of commands.
class CharacterWindow : public QWidget {
    Q_OBJECT
public:
    // The core must outlive the window.
    explicit CharacterWindow(CharacterCore& core, QWidget* parent = nullptr);
    ~CharacterWindow() override;

    // Where the figure sits inside the window.
    QRect figureRect() const;
    // Where the balloon is drawn inside the window; empty while none shows.
    QRect balloonRect() const;
    // The part of the window that takes clicks: the figure's opaque pixels and the balloon.
    QRegion inputRegion() const { return m_inputRegion; }
    // The window's top-left corner for a figure standing at a screen point.
    QPoint windowPositionFor(QPoint figurePosition) const;
    // The menu of the last right-click, while it is open.
    QMenu* commandMenu() const { return m_menu; }

    // room for the balloon above and below the figure, and its width
    static constexpr int BalloonWidth = 240;
    static constexpr int BalloonRoom = 118;
    // pixels at least this opaque belong to the figure
    static constexpr int OpaqueAlpha = 128;

signals:
    // Both come from inside the window's (or its menu's) event: a receiver that may wait for
    // anything (a download, a message box) connects queued.
    void doubleClicked();
    // The user chose a command of the menu: its name as added.
    void commandChosen(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void onFrameChanged();
    void onBalloonChanged();
    void onVisibleChanged(bool visible);
    void onMoveStarted(QPoint from, QPoint to, int duration);
    void onPositionChanged(QPoint position);
    void updateInputRegion();
    QRegion figureRegion(int image);
    bool onFigure(QPoint point) const { return m_inputRegion.contains(point); }
    QPainterPath balloonPath() const;

    CharacterCore& m_core;
    QVariantAnimation m_glide;
    QHash<int, QRegion> m_figureRegions;  // per picture of the character
    QRegion m_inputRegion;
    QRect m_balloonRect;
    bool m_balloonBelow = false;
    // dragging: where in the window the figure was taken
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_pressOffset;
    QPoint m_pressGlobal;
    QPointer<QMenu> m_menu;
};
