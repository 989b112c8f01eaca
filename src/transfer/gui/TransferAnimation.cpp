#include "TransferAnimation.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int FrameCount = 20;
constexpr int FrameMilliseconds = 80;
}  // namespace

TransferAnimation::TransferAnimation(QWidget* parent) : QWidget(parent)
{
    setFixedSize(ClipWidth, ClipHeight);
    m_timer.setInterval(FrameMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % FrameCount;
        update();
    });
}

void TransferAnimation::setClip(TTransferClip clip)
{
    m_clip = clip;
    m_frame = 0;
    update();
}

void TransferAnimation::start() { m_timer.start(); }

void TransferAnimation::stop()
{
    m_timer.stop();
    update();
}

void TransferAnimation::drawFolder(QPainter& p, const QRect& r) const
{
    p.setPen(QColor(150, 110, 20));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(r.adjusted(0, r.height() / 5, 0, 0));
    p.drawRect(QRect(r.left(), r.top(), r.width() / 2, r.height() / 5));
}

void TransferAnimation::drawGlobe(QPainter& p, const QRect& r) const
{
    p.setPen(QColor(20, 70, 140));
    p.setBrush(QColor(90, 150, 220));
    p.drawEllipse(r);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.adjusted(r.width() / 4, 0, -r.width() / 4, 0));
    p.drawLine(r.left(), r.center().y(), r.right(), r.center().y());
}

void TransferAnimation::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect left(8, 12, 40, 36);
    const QRect right(ClipWidth - 48, 12, 40, 36);
    if (m_clip == TTransferClip::CopyFiles)
        drawFolder(p, left);
    else
        drawGlobe(p, left);
    drawFolder(p, right);

    // The page flies along an arc; uploads fly the other way.
    if (!m_timer.isActive())
        return;
    const double t = double(m_frame) / (FrameCount - 1);
    const double along = m_clip == TTransferClip::Upload ? 1.0 - t : t;
    const int x0 = left.right() + 4;
    const int x1 = right.left() - 20;
    const int x = x0 + int((x1 - x0) * along);
    const int y = 20 - int(16 * 4 * along * (1 - along));
    QPainterPath page;
    page.addRect(x, y + 6, 16, 20);
    p.setPen(Qt::darkGray);
    p.setBrush(Qt::white);
    p.drawPath(page);
    for (int line = 0; line < 3; ++line)
        p.drawLine(x + 3, y + 11 + 5 * line, x + 13, y + 11 + 5 * line);
}
