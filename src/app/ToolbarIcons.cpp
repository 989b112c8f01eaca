#include "ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace ToolbarIcons {

namespace {

const char* themeName(Glyph glyph)
{
    switch (glyph) {
    case Glyph::New:
        return "document-new";
    case Glyph::Open:
        return "document-open";
    case Glyph::Save:
        return "document-save";
    case Glyph::Print:
        return "document-print";
    case Glyph::Cut:
        return "edit-cut";
    case Glyph::Copy:
        return "edit-copy";
    case Glyph::Paste:
        return "edit-paste";
    case Glyph::Bold:
        return "format-text-bold";
    case Glyph::Italic:
        return "format-text-italic";
    case Glyph::Underline:
        return "format-text-underline";
    case Glyph::Translate:
        return "accessories-dictionary";
    case Glyph::Swap:
        return "view-refresh";
    case Glyph::ReadAloud:
        return "audio-volume-high";
    case Glyph::AlignRight:
        return "format-justify-right";
    case Glyph::AlignCenter:
        return "format-justify-center";
    case Glyph::AlignLeft:
        return "format-justify-left";
    case Glyph::Bullets:
        return "format-list-unordered";
    // no theme has a document being translated: always our own drawing
    case Glyph::TranslateDocument:
        return "";
    }
    return "";
}

const QColor Ink(0x30, 0x30, 0x30);

void page(QPainter& p, const QRectF& r)
{
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 3.5, r.top());
    path.lineTo(r.right(), r.top() + 3.5);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - 3.5, r.top()), QPointF(r.right() - 3.5, r.top() + 3.5));
    p.drawLine(QPointF(r.right() - 3.5, r.top() + 3.5), QPointF(r.right(), r.top() + 3.5));
}

void textLines(QPainter& p, const QRectF& r, int count)
{
    p.setPen(QPen(QColor(0x70, 0x80, 0xa0), 1));
    for (int i = 0; i < count; ++i) {
        const qreal y = r.top() + 2.5 * i;
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    }
}

void letter(QPainter& p, const QString& text, bool bold, bool italic, bool underline)
{
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(14);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRectF(0, -1, 16, 16), Qt::AlignCenter, text);
}

// a bold white letter centred on a coloured badge
void whiteLabel(QPainter& p, const QRectF& r, int pixelSize, const QString& text)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, text);
}

void alignLines(QPainter& p, Qt::Alignment alignment)
{
    p.setPen(QPen(Ink, 1.4));
    const qreal widths[] = {12, 8, 12, 8, 12};
    for (int i = 0; i < 5; ++i) {
        const qreal w = widths[i];
        qreal x = 2;
        if (alignment == Qt::AlignRight)
            x = 14 - w;
        else if (alignment == Qt::AlignHCenter)
            x = 8 - w / 2;
        const qreal y = 3 + 2.5 * i;
        p.drawLine(QPointF(x, y), QPointF(x + w, y));
    }
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour)
{
    p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const qreal dir = to.x() > from.x() ? -1 : 1;
    p.drawLine(to, QPointF(to.x() + 3 * dir, to.y() - 3));
    p.drawLine(to, QPointF(to.x() + 3 * dir, to.y() + 3));
}

void draw(QPainter& p, Glyph glyph)
{
    switch (glyph) {
    case Glyph::New:
        page(p, QRectF(3.5, 1.5, 9, 13));
        textLines(p, QRectF(5.5, 7, 5, 0), 3);
        break;
    case Glyph::Open:
        p.setPen(QPen(QColor(0x9a, 0x6a, 0x10), 1));
        p.setBrush(QColor(0xf0, 0xc0, 0x50));
        p.drawRect(QRectF(1.5, 3.5, 6, 2));
        p.drawRect(QRectF(1.5, 5.5, 13, 8));
        p.setBrush(QColor(0xfa, 0xd8, 0x7a));
        p.drawPolygon(QPolygonF({QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
        break;
    case Glyph::Save:
        p.setPen(QPen(QColor(0x20, 0x30, 0x70), 1));
        p.setBrush(QColor(0x3a, 0x5a, 0xb0));
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(0xd0, 0xd0, 0xd0));
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
        break;
    case Glyph::Print:
        page(p, QRectF(4.5, 1.5, 7, 6));
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
        p.setBrush(QColor(0xa0, 0xa0, 0xa8));
        p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
        p.setPen(QColor(0x20, 0xc0, 0x20));
        p.drawPoint(QPointF(12.5, 8.5));
        break;
    case Glyph::Cut:
        p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.2));
        p.drawLine(QPointF(5, 1.5), QPointF(10, 10));
        p.drawLine(QPointF(11, 1.5), QPointF(6, 10));
        p.setPen(QPen(QColor(0xc0, 0x20, 0x20), 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(4.5, 12), 2.5, 2.5);
        p.drawEllipse(QPointF(11.5, 12), 2.5, 2.5);
        break;
    case Glyph::Copy:
        page(p, QRectF(1.5, 1.5, 8, 10));
        page(p, QRectF(6.5, 4.5, 8, 10));
        break;
    case Glyph::Paste:
        p.setPen(QPen(QColor(0x70, 0x48, 0x20), 1));
        p.setBrush(QColor(0xb8, 0x80, 0x40));
        p.drawRoundedRect(QRectF(1.5, 2.5, 10, 12), 1, 1);
        p.setBrush(QColor(0xc0, 0xc0, 0xc0));
        p.drawRect(QRectF(4.5, 1.5, 4, 2));
        page(p, QRectF(6.5, 5.5, 8, 10));
        break;
    case Glyph::Bold:
        letter(p, QStringLiteral("B"), true, false, false);
        break;
    case Glyph::Italic:
        letter(p, QStringLiteral("I"), false, true, false);
        break;
    case Glyph::Underline:
        letter(p, QStringLiteral("U"), false, false, true);
        break;
    case Glyph::TranslateDocument:
        page(p, QRectF(1.5, 1.5, 9, 13));
        textLines(p, QRectF(3.5, 5, 5, 0), 3);
        p.setBrush(QColor(0x2e, 0xa0, 0x4a));
        p.setPen(QPen(QColor(0x1c, 0x6b, 0x30), 1));
        p.drawRoundedRect(QRectF(6.5, 7.5, 9, 8), 2, 2);
        whiteLabel(p, QRectF(6.5, 7.5, 9, 8), 7, QStringLiteral("A"));
        break;
    case Glyph::Translate: {
        p.setPen(QPen(QColor(0x1d, 0x4e, 0x9e), 1));
        p.setBrush(QColor(0x3b, 0x7d, 0xdd));
        p.drawRoundedRect(QRectF(0.5, 0.5, 10, 9), 2, 2);
        p.setBrush(QColor(0x2e, 0xa0, 0x4a));
        p.setPen(QPen(QColor(0x1c, 0x6b, 0x30), 1));
        p.drawRoundedRect(QRectF(5.5, 6.5, 10, 9), 2, 2);
        whiteLabel(p, QRectF(0.5, 0.5, 10, 9), 8, QStringLiteral("A"));
        whiteLabel(p, QRectF(5.5, 6.5, 10, 9), 8, QStringLiteral("Z"));
        break;
    }
    case Glyph::Swap:
        arrow(p, QPointF(2, 5), QPointF(14, 5), QColor(0x1d, 0x5e, 0xbe));
        arrow(p, QPointF(14, 11), QPointF(2, 11), QColor(0x2e, 0x8a, 0x3a));
        break;
    case Glyph::ReadAloud:
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
        p.setBrush(QColor(0x50, 0x50, 0x58));
        p.drawPolygon(QPolygonF({QPointF(1.5, 5.5), QPointF(4.5, 5.5), QPointF(8.5, 2), QPointF(8.5, 14),
                                 QPointF(4.5, 10.5), QPointF(1.5, 10.5)}));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0x1d, 0x5e, 0xbe), 1.2));
        p.drawArc(QRectF(6, 5, 5, 6), -60 * 16, 120 * 16);
        p.drawArc(QRectF(5, 2.5, 9, 11), -60 * 16, 120 * 16);
        break;
    case Glyph::AlignRight:
        alignLines(p, Qt::AlignRight);
        break;
    case Glyph::AlignCenter:
        alignLines(p, Qt::AlignHCenter);
        break;
    case Glyph::AlignLeft:
        alignLines(p, Qt::AlignLeft);
        break;
    case Glyph::Bullets:
        for (int i = 0; i < 3; ++i) {
            p.setPen(Qt::NoPen);
            p.setBrush(Ink);
            p.drawEllipse(QPointF(3, 3.5 + 4.5 * i), 1.5, 1.5);
            p.setPen(QPen(Ink, 1.4));
            p.drawLine(QPointF(6, 3.5 + 4.5 * i), QPointF(14, 3.5 + 4.5 * i));
        }
        break;
    }
}

QPixmap render(int size, const std::function<void(QPainter&)>& paint)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 16.0, size / 16.0);
    paint(p);
    return pixmap;
}

}  // namespace

QIcon drawn(Glyph glyph)
{
    QIcon icon;
    for (int size : {16, 32})
        icon.addPixmap(render(size, [glyph](QPainter& p) { draw(p, glyph); }));
    return icon;
}

QIcon icon(Glyph glyph)
{
    const QString name = QString::fromLatin1(themeName(glyph));
    return !name.isEmpty() && QIcon::hasThemeIcon(name) ? QIcon::fromTheme(name) : drawn(glyph);
}

QIcon applicationIcon()
{
    // the same drawing as packaging/linguaro.svg, the icon the desktop shows in its menus
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(render(size, [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x1d, 0x5e, 0xbe));
            p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
            p.setBrush(Qt::white);
            const QPointF letter[] = {{3.5, 3}, {6, 3}, {6, 10}, {10, 10}, {10, 12.5}, {3.5, 12.5}};
            p.drawPolygon(letter, 6);
            p.setBrush(QColor(0x4c, 0xc0, 0x5e));
            p.drawEllipse(QPointF(11.5, 5), 2.5, 2.5);
        }));
    }
    return icon;
}

QIcon colourSwatch(const QColor& colour)
{
    return QIcon(render(16, [colour](QPainter& p) {
        p.setPen(QPen(Qt::black, 0.8));
        p.setBrush(colour);
        p.drawRect(QRectF(1.5, 3.5, 13, 9));
    }));
}

}  // namespace ToolbarIcons
