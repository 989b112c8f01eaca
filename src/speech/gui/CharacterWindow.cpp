#include "CharacterWindow.h"

#include "CharacterCore.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyleHints>

#include <algorithm>

namespace {

constexpr int TextPadding = 9;
constexpr int TailHeight = 14;
constexpr int MinimumBalloonWidth = 64;
constexpr int BalloonFontPoints = 10;

QFont balloonFont()
{
    QFont font = QGuiApplication::font();
    font.setPointSize(BalloonFontPoints);
    return font;
}

}  // namespace

CharacterWindow::CharacterWindow(CharacterCore& core, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_core(core)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    // window lists and tools find the character by its ID
    setWindowTitle(core.id());
    const QSize frame = core.data().frameSize;
    setFixedSize(std::max(frame.width(), BalloonWidth), frame.height() + 2 * BalloonRoom);

    m_glide.setEasingCurve(QEasingCurve::InOutQuad);  // the core's glide follows the same curve
    connect(&m_glide, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) { move(value.toPoint()); });
    connect(&core, &CharacterCore::frameChanged, this, &CharacterWindow::onFrameChanged);
    connect(&core, &CharacterCore::balloonChanged, this, &CharacterWindow::onBalloonChanged);
    connect(&core, &CharacterCore::visibleChanged, this, &CharacterWindow::onVisibleChanged);
    connect(&core, &CharacterCore::moveStarted, this, &CharacterWindow::onMoveStarted);
    connect(&core, &CharacterCore::positionChanged, this, &CharacterWindow::onPositionChanged);

    move(windowPositionFor(core.position()));
    updateInputRegion();
    setVisible(core.isVisible());
}

CharacterWindow::~CharacterWindow()
{
    if (m_menu)
        delete m_menu.data();
}

QRect CharacterWindow::figureRect() const
{
    const QSize frame = m_core.data().frameSize;
    return QRect(QPoint((width() - frame.width()) / 2, BalloonRoom), frame);
}

QRect CharacterWindow::balloonRect() const { return m_balloonRect; }

QPoint CharacterWindow::windowPositionFor(QPoint figurePosition) const
{
    return figurePosition - figureRect().topLeft();
}

// --- what the core says ---

void CharacterWindow::onFrameChanged()
{
    updateInputRegion();
    update(figureRect());
}

void CharacterWindow::onBalloonChanged()
{
    const QRect old = m_balloonRect.adjusted(-2, -TailHeight - 2, 2, TailHeight + 2);
    m_balloonRect = QRect();
    if (m_core.balloonVisible() && !m_core.balloonText().isEmpty()) {
        // below the figure when there is no room above it on its screen, and never off its sides
        const QScreen* screen = this->screen();
        const QRect area = screen ? screen->availableGeometry().translated(-pos()) : rect();
        m_balloonBelow = figureRect().top() - BalloonRoom < area.top();

        const QFontMetrics metrics(balloonFont());
        const int textWidth = width() - 2 * TextPadding - 2;
        const QRect text =
            metrics.boundingRect(QRect(0, 0, textWidth, 1 << 20), Qt::TextWordWrap, m_core.balloonText());
        const int maxTextHeight = BalloonRoom - TailHeight - 2 * TextPadding - 4;
        const QSize size(std::max(text.width(), MinimumBalloonWidth) + 2 * TextPadding,
                         std::min(text.height(), maxTextHeight) + 2 * TextPadding);
        const QRect figure = figureRect();
        const int leftmost = std::max(1, area.left() + 1);
        const int rightmost = std::max(leftmost, std::min(width(), area.right()) - size.width() - 1);
        const int left = std::clamp(figure.center().x() - size.width() / 2, leftmost, rightmost);
        const int y = m_balloonBelow ? figure.bottom() + TailHeight + 2 : figure.top() - TailHeight - 2 - size.height();
        m_balloonRect = QRect(QPoint(left, y), size);
    }
    updateInputRegion();
    update(old.united(m_balloonRect.adjusted(-2, -TailHeight - 2, 2, TailHeight + 2)));
}

void CharacterWindow::onVisibleChanged(bool visible)
{
    if (!visible)
        m_glide.stop();
    setVisible(visible);
}

void CharacterWindow::onMoveStarted(QPoint from, QPoint to, int duration)
{
    m_glide.stop();
    m_glide.setStartValue(windowPositionFor(from));
    m_glide.setEndValue(windowPositionFor(to));
    m_glide.setDuration(duration);
    m_glide.start();
}

void CharacterWindow::onPositionChanged(QPoint position)
{
    m_glide.stop();
    if (pos() != windowPositionFor(position))
        move(windowPositionFor(position));
}

// --- shape ---

QRegion CharacterWindow::figureRegion(int image)
{
    auto found = m_figureRegions.constFind(image);
    if (found != m_figureRegions.constEnd())
        return *found;
    const QImage& picture = m_core.data().images[size_t(image)];
    QList<QRect> runs;
    for (int y = 0; y < picture.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width();) {
            if (qAlpha(line[x]) < OpaqueAlpha) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < picture.width() && qAlpha(line[x]) >= OpaqueAlpha)
                ++x;
            runs.append(QRect(start, y, x - start, 1));
        }
    }
    QRegion region;
    region.setRects(runs.constData(), int(runs.size()));
    return *m_figureRegions.insert(image, region);
}

QPainterPath CharacterWindow::balloonPath() const
{
    QPainterPath path;
    if (m_balloonRect.isEmpty())
        return path;
    const QRectF box = QRectF(m_balloonRect).adjusted(0.5, 0.5, -0.5, -0.5);
    path.addRoundedRect(box, 9, 9);
    // the tail points at the top (or the foot) of the figure
    const QRect figure = figureRect();
    const double x = std::clamp(double(figure.center().x()), box.left() + 16, box.right() - 30);
    QPainterPath tail;
    if (m_balloonBelow) {
        tail.moveTo(x, box.top() + 1);
        tail.lineTo(x + 14, box.top() + 1);
        tail.lineTo(x - 4, box.top() - TailHeight);
    } else {
        tail.moveTo(x, box.bottom() - 1);
        tail.lineTo(x + 14, box.bottom() - 1);
        tail.lineTo(x - 4, box.bottom() + TailHeight);
    }
    tail.closeSubpath();
    return path.united(tail);
}

void CharacterWindow::updateInputRegion()
{
    QRegion region = figureRegion(m_core.currentImage()).translated(figureRect().topLeft());
    if (!m_balloonRect.isEmpty())
        region += QRegion(balloonPath().toFillPolygon().toPolygon(), Qt::WindingFill);
    if (region == m_inputRegion && !mask().isEmpty())
        return;
    m_inputRegion = region;
    // an empty mask would mean no mask at all: keep one transparent pixel instead
    setMask(region.isEmpty() ? QRegion(0, 0, 1, 1) : region);
}

// --- painting ---

void CharacterWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_balloonRect.isEmpty()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(60, 60, 70), 1.2));
        painter.setBrush(QColor(255, 253, 238));
        painter.drawPath(balloonPath());
        painter.setFont(balloonFont());
        painter.setPen(QColor(25, 25, 30));
        const QRect textArea = m_balloonRect.adjusted(TextPadding, TextPadding, -TextPadding, -TextPadding);
        const QString text = m_core.balloonText();
        const QRect needed =
            painter.boundingRect(QRect(textArea.topLeft(), QSize(textArea.width(), 1 << 20)), Qt::TextWordWrap, text);
        // when the page is taller than the balloon, its newest lines show
        painter.setClipRect(textArea);
        painter.drawText(QRect(textArea.left(), textArea.top() - std::max(0, needed.height() - textArea.height()),
                               textArea.width(), needed.height()),
                         Qt::TextWordWrap, text);
        painter.setClipping(false);
    }
    painter.drawImage(figureRect().topLeft(), m_core.currentFrame());
}

// --- the user ---

void CharacterWindow::mousePressEvent(QMouseEvent* event)
{
    // the shape lets these through on most screens; on the others the window passes them on itself
    if (!onFigure(event->position().toPoint())) {
        event->ignore();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        m_dragging = false;
        m_pressGlobal = event->globalPosition().toPoint();
        m_pressOffset = m_pressGlobal - pos();
    }
}

void CharacterWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed)
        return;
    const QPoint global = event->globalPosition().toPoint();
    if (!m_dragging && (global - m_pressGlobal).manhattanLength() < QGuiApplication::styleHints()->startDragDistance())
        return;
    m_dragging = true;
    m_glide.stop();
    move(global - m_pressOffset);
    m_core.setPosition(pos() + figureRect().topLeft());
}

void CharacterWindow::mouseReleaseEvent(QMouseEvent*)
{
    m_pressed = false;
    m_dragging = false;
}

void CharacterWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !onFigure(event->position().toPoint())) {
        event->ignore();
        return;
    }
    emit doubleClicked();
}

void CharacterWindow::contextMenuEvent(QContextMenuEvent* event)
{
    if (!onFigure(event->pos())) {
        event->ignore();
        return;
    }
    if (m_menu)
        delete m_menu.data();
    m_menu = new QMenu(this);
    for (const CharacterCore::Command& command : m_core.commands()) {
        if (!command.visible)
            continue;
        QAction* action = m_menu->addAction(command.caption);
        action->setEnabled(command.enabled);
        const QString name = command.name;
        connect(action, &QAction::triggered, this, [this, name] { emit commandChosen(name); });
    }
    if (m_menu->isEmpty()) {
        delete m_menu.data();
        return;
    }
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    m_menu->popup(event->globalPos());
}

void CharacterWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    // the balloon may need to change sides at the top of the screen
    if (m_core.balloonVisible() && m_glide.state() == QAbstractAnimation::Stopped)
        onBalloonChanged();
}
