#include "LanguageFlags.h"

#include "LanguageTable.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>

namespace LanguageTable {
namespace {

// A flag fills a 16x12 band in the middle of the 16x16 image, like a small
// banner; the rows above and below stay transparent.
const QRectF Band(0, 2, 16, 12);

namespace Colour {
const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);
const QColor Red(206, 17, 38);
const QColor DarkRed(160, 20, 40);
const QColor Blue(0, 56, 168);
const QColor Navy(0, 40, 104);
const QColor SkyBlue(0, 114, 198);
const QColor Green(0, 135, 81);
const QColor DarkGreen(0, 98, 51);
const QColor Yellow(252, 209, 22);
const QColor Gold(255, 206, 0);
const QColor Orange(255, 136, 62);
const QColor Saffron(255, 153, 51);
const QColor Grey(150, 150, 150);
}  // namespace Colour

using Painter = void (*)(QPainter&);

struct Entry {
    const char* code;
    Painter flag;
};

// Bands of equal or weighted size across the flag, top to bottom.
void horizontal(QPainter& p, std::initializer_list<QColor> colours, std::initializer_list<int> weights = {})
{
    const int count = int(colours.size());
    int total = 0;
    for (int w : weights)
        total += w;
    if (total == 0)
        total = count;
    double y = Band.top();
    auto weight = weights.begin();
    for (const QColor& c : colours) {
        const int w = weights.size() ? *weight++ : 1;
        const double h = Band.height() * w / total;
        p.fillRect(QRectF(Band.left(), y, Band.width(), h), c);
        y += h;
    }
}

// Bands of equal size across the flag, hoist to fly.
void vertical(QPainter& p, std::initializer_list<QColor> colours)
{
    const double w = Band.width() / double(colours.size());
    double x = Band.left();
    for (const QColor& c : colours) {
        p.fillRect(QRectF(x, Band.top(), w, Band.height()), c);
        x += w;
    }
}

// The off-centre cross of the northern flags, optionally edged in a second colour.
void nordicCross(QPainter& p, const QColor& field, const QColor& cross, const QColor& edge = QColor())
{
    p.fillRect(Band, field);
    const double cx = Band.left() + 5, cy = Band.top() + 5;
    if (edge.isValid()) {
        p.fillRect(QRectF(cx - 1, Band.top(), 4, Band.height()), edge);
        p.fillRect(QRectF(Band.left(), cy - 1, Band.width(), 4), edge);
    }
    p.fillRect(QRectF(cx, Band.top(), 2, Band.height()), cross);
    p.fillRect(QRectF(Band.left(), cy, Band.width(), 2), cross);
}

void disc(QPainter& p, QPointF centre, double radius, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(centre, radius, radius);
}

void star(QPainter& p, QPointF centre, double radius, const QColor& c)
{
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const double r = (i % 2) ? radius * 0.4 : radius;
        const double a = -M_PI / 2 + i * M_PI / 5;
        star << QPointF(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(star);
}

void triangle(QPainter& p, QPointF a, QPointF b, QPointF c, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF{a, b, c});
}

void crescent(QPainter& p, QPointF centre, double radius, const QColor& moon, const QColor& field)
{
    disc(p, centre, radius, moon);
    disc(p, centre + QPointF(radius * 0.35, 0), radius * 0.8, field);
}

// Canton: the upper hoist quarter.
QRectF canton(double w = 7, double h = 6) { return QRectF(Band.left(), Band.top(), w, h); }

// The red tile with a white capital for the languages that have no single
// country flag; the strokes are drawn so the letter needs no font.
enum class Letter { H, G, P, Y };

void letterTile(QPainter& p, Letter letter)
{
    p.fillRect(Band, Colour::Red);
    const QColor w = Colour::White;
    switch (letter) {
    case Letter::H:
        p.fillRect(QRect(4, 4, 2, 8), w);
        p.fillRect(QRect(10, 4, 2, 8), w);
        p.fillRect(QRect(6, 7, 4, 2), w);
        break;
    case Letter::G:
        p.fillRect(QRect(5, 4, 6, 2), w);
        p.fillRect(QRect(4, 5, 2, 6), w);
        p.fillRect(QRect(5, 10, 6, 2), w);
        p.fillRect(QRect(10, 8, 2, 3), w);
        p.fillRect(QRect(8, 8, 2, 1), w);
        break;
    case Letter::P:
        p.fillRect(QRect(4, 4, 2, 8), w);
        p.fillRect(QRect(6, 4, 4, 2), w);
        p.fillRect(QRect(10, 5, 2, 3), w);
        p.fillRect(QRect(6, 7, 4, 2), w);
        break;
    case Letter::Y:
        p.fillRect(QRect(4, 4, 2, 2), w);
        p.fillRect(QRect(10, 4, 2, 2), w);
        p.fillRect(QRect(5, 6, 2, 2), w);
        p.fillRect(QRect(9, 6, 2, 2), w);
        p.fillRect(QRect(7, 7, 2, 5), w);
        break;
    }
}

void unitedStates(QPainter& p)
{
    for (int i = 0; i < 12; ++i)
        p.fillRect(QRectF(0, Band.top() + i, 16, 1), (i % 2) ? Colour::White : Colour::Red);
    p.fillRect(canton(7, 6), Colour::Navy);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            p.fillRect(QRectF(1 + 2 * x, Band.top() + 1 + 2 * y, 1, 1), Colour::White);
}

void netherlands(QPainter& p) { horizontal(p, {Colour::Red, Colour::White, Colour::Blue}); }

const std::array<Entry, Count> Entries = {{
    {"EN", unitedStates},
    {"FR",
     [](QPainter& p) {
         vertical(p, {Colour::Blue, Colour::White, Colour::Red});
     }},
    {"DE",
     [](QPainter& p) {
         horizontal(p, {Colour::Black, Colour::Red, Colour::Gold});
     }},
    {"ES",
     [](QPainter& p) {
         horizontal(p, {Colour::Red, Colour::Gold, Colour::Red}, {1, 2, 1});
     }},
    {"IT",
     [](QPainter& p) {
         vertical(p, {Colour::Green, Colour::White, Colour::Red});
     }},
    {"PT",
     [](QPainter& p) {
         p.fillRect(Band, Colour::Red);
         p.fillRect(QRectF(0, Band.top(), 6, Band.height()), Colour::DarkGreen);
         disc(p, QPointF(6, Band.center().y()), 2.5, Colour::Gold);
     }},
    {"NL", netherlands},
    {"EL",
     [](QPainter& p) {
         horizontal(p, {Colour::SkyBlue, Colour::White, Colour::SkyBlue, Colour::White, Colour::SkyBlue, Colour::White,
                        Colour::SkyBlue, Colour::White, Colour::SkyBlue});
         p.fillRect(canton(7, 6), Colour::SkyBlue);
         p.fillRect(QRectF(3, Band.top(), 1, 6), Colour::White);
         p.fillRect(QRectF(0, Band.top() + 2.5, 7, 1), Colour::White);
     }},
    {"KO",
     [](QPainter& p) {
         p.fillRect(Band, Colour::White);
         p.setPen(Qt::NoPen);
         p.setBrush(Colour::Red);
         p.drawPie(QRectF(4.5, 4.5, 7, 7), 0, 180 * 16);
         p.setBrush(Colour::Blue);
         p.drawPie(QRectF(4.5, 4.5, 7, 7), 180 * 16, 180 * 16);
         p.fillRect(QRectF(1, 4, 2, 1), Colour::Black);
         p.fillRect(QRectF(13, 4, 2, 1), Colour::Black);
         p.fillRect(QRectF(1, 11, 2, 1), Colour::Black);
         p.fillRect(QRectF(13, 11, 2, 1), Colour::Black);
     }},
    {"RU",
     [](QPainter& p) {
         horizontal(p, {Colour::White, Colour::Blue, Colour::Red});
     }},
    {"JA",
     [](QPainter& p) {
         p.fillRect(Band, Colour::White);
         disc(p, Band.center(), 3.5, Colour::Red);
     }},
    {"ZH",
     [](QPainter& p) {
         p.fillRect(Band, Colour::Red);
         star(p, QPointF(3.5, Band.top() + 3.5), 2.6, Colour::Yellow);
         for (QPointF s : {QPointF(7, 3.5), QPointF(8, 5.5), QPointF(8, 8), QPointF(7, 10)})
             star(p, s, 0.9, Colour::Yellow);
     }},
    {"ZH-TW",
     [](QPainter& p) {
         p.fillRect(Band, Colour::Red);
         p.fillRect(canton(8, 6), Colour::Navy);
         disc(p, QPointF(4, Band.top() + 3), 1.8, Colour::White);
     }},
    {"HU",
     [](QPainter& p) {
         horizontal(p, {Colour::Red, Colour::White, Colour::Green});
     }},
    {"DA", [](QPainter& p) { nordicCross(p, Colour::Red, Colour::White); }},
    {"NL", netherlands},
    {"FI", [](QPainter& p) { nordicCross(p, Colour::White, Colour::Navy); }},
    {"SV", [](QPainter& p) { nordicCross(p, Colour::SkyBlue, Colour::Yellow); }},
    {"AR",
     [](QPainter& p) {
         p.fillRect(Band, Colour::DarkGreen);
         p.fillRect(QRectF(3, 5, 10, 2), Colour::White);
         p.fillRect(QRectF(4, 9, 8, 1), Colour::White);
     }},
    {"CA",
     [](QPainter& p) {
         horizontal(p, {Colour::Gold, Colour::Red, Colour::Gold, Colour::Red, Colour::Gold, Colour::Red, Colour::Gold,
                        Colour::Red, Colour::Gold});
     }},
    {"HR",
     [](QPainter& p) {
         horizontal(p, {Colour::Red, Colour::White, Colour::Blue});
         for (int y = 0; y < 4; ++y)
             for (int x = 0; x < 4; ++x)
                 p.fillRect(QRectF(6 + x, 4 + y, 1, 1), (x + y) % 2 ? Colour::White : Colour::Red);
     }},
    {"CS",
     [](QPainter& p) {
         horizontal(p, {Colour::White, Colour::Red});
         triangle(p, Band.topLeft(), Band.bottomLeft(), QPointF(8, Band.center().y()), Colour::Blue);
     }},
    {"IW", [](QPainter& p) { letterTile(p, Letter::H); }},
    {"NO", [](QPainter& p) { nordicCross(p, Colour::Red, Colour::Navy, Colour::White); }},
    {"AF",
     [](QPainter& p) {
         horizontal(p, {Colour::Red, Colour::Blue});
         p.fillRect(QRectF(0, 7, 16, 2), Colour::Green);
         triangle(p, Band.topLeft(), Band.bottomLeft(), QPointF(7, Band.center().y()), Colour::Green);
         triangle(p, QPointF(0, 4), QPointF(0, 12), QPointF(5, Band.center().y()), Colour::Black);
     }},
    {"SQ",
     [](QPainter& p) {
         p.fillRect(Band, Colour::Red);
         p.fillRect(QRectF(7, 4, 2, 8), Colour::Black);
         triangle(p, QPointF(3, 5), QPointF(13, 5), QPointF(8, 9), Colour::Black);
     }},
    {"BE",
     [](QPainter& p) {
         horizontal(p, {Colour::Red, Colour::Green}, {2, 1});
         p.fillRect(QRectF(0, Band.top(), 3, Band.height()), Colour::White);
         for (int y = 0; y < 12; y += 3)
             p.fillRect(QRectF(1, Band.top() + y, 1, 2), Colour::Red);
     }},
    {"BG",
     [](QPainter& p) {
         horizontal(p, {Colour::White, Colour::Green, Colour::Red});
     }},
    {"ET",
     [](QPainter& p) {
         horizontal(p, {Colour::SkyBlue, Colour::Black, Colour::White});
     }},
    {"TL",
     [](QPainter& p) {
         horizontal(p, {Colour::Blue, Colour::Red});
         triangle(p, Band.topLeft(), Band.bottomLeft(), QPointF(9, Band.center().y()), Colour::White);
         disc(p, QPointF(3, Band.center().y()), 1.5, Colour::Gold);
     }},
    {"GL", [](QPainter& p) { letterTile(p, Letter::G); }},
    {"HT",
     [](QPainter& p) {
         horizontal(p, {Colour::Blue, Colour::Red});
         p.fillRect(QRectF(5, 5, 6, 6), Colour::White);
         p.fillRect(QRectF(7, 7, 2, 3), Colour::Green);
     }},
    {"HI",
     [](QPainter& p) {
         horizontal(p, {Colour::Saffron, Colour::White, Colour::Green});
         disc(p, Band.center(), 1.6, Colour::Navy);
     }},
    {"IS", [](QPainter& p) { nordicCross(p, Colour::Blue, Colour::Red, Colour::White); }},
    {"ID",
     [](QPainter& p) {
         horizontal(p, {Colour::Red, Colour::White});
     }},
    {"GA",
     [](QPainter& p) {
         vertical(p, {Colour::Green, Colour::White, Colour::Orange});
     }},
    {"LV",
     [](QPainter& p) {
         horizontal(p, {Colour::DarkRed, Colour::White, Colour::DarkRed}, {2, 1, 2});
     }},
    {"LT",
     [](QPainter& p) {
         horizontal(p, {Colour::Gold, Colour::Green, Colour::Red});
     }},
    {"MK",
     [](QPainter& p) {
         p.fillRect(Band, Colour::Red);
         p.setPen(QPen(Colour::Yellow, 1.5));
         const QPointF c = Band.center();
         p.drawLine(Band.topLeft(), Band.bottomRight());
         p.drawLine(Band.bottomLeft(), Band.topRight());
         p.drawLine(QPointF(c.x(), Band.top()), QPointF(c.x(), Band.bottom()));
         p.drawLine(QPointF(Band.left(), c.y()), QPointF(Band.right(), c.y()));
         disc(p, c, 2.5, Colour::Yellow);
     }},
    {"MS",
     [](QPainter& p) {
         for (int i = 0; i < 12; ++i)
             p.fillRect(QRectF(0, Band.top() + i, 16, 1), (i % 2) ? Colour::White : Colour::Red);
         p.fillRect(canton(8, 7), Colour::Navy);
         crescent(p, QPointF(3, Band.top() + 3.5), 2.5, Colour::Yellow, Colour::Navy);
         star(p, QPointF(6, Band.top() + 3.5), 1.3, Colour::Yellow);
     }},
    {"MT",
     [](QPainter& p) {
         vertical(p, {Colour::White, Colour::Red});
         p.fillRect(QRectF(2, Band.top() + 2, 3, 1), Colour::Grey);
         p.fillRect(QRectF(3, Band.top() + 1, 1, 3), Colour::Grey);
     }},
    {"FA", [](QPainter& p) { letterTile(p, Letter::P); }},
    {"PL",
     [](QPainter& p) {
         horizontal(p, {Colour::White, Colour::Red});
     }},
    {"RO",
     [](QPainter& p) {
         vertical(p, {Colour::Blue, Colour::Yellow, Colour::Red});
     }},
    {"SR",
     [](QPainter& p) {
         horizontal(p, {Colour::Red, Colour::Blue, Colour::White});
         p.fillRect(QRectF(4, 4, 3, 6), Colour::DarkRed);
         p.fillRect(QRectF(5, 5, 1, 4), Colour::White);
     }},
    {"SK",
     [](QPainter& p) {
         horizontal(p, {Colour::White, Colour::Blue, Colour::Red});
         p.fillRect(QRectF(3, 4, 5, 7), Colour::White);
         p.fillRect(QRectF(4, 5, 3, 5), Colour::Red);
         p.fillRect(QRectF(5, 5, 1, 4), Colour::White);
     }},
    {"SL",
     [](QPainter& p) {
         horizontal(p, {Colour::White, Colour::Blue, Colour::Red});
         p.fillRect(QRectF(3, 3, 4, 5), Colour::Blue);
         p.fillRect(QRectF(3, 3, 4, 1), Colour::Red);
         p.fillRect(QRectF(4, 5, 2, 2), Colour::White);
     }},
    {"SW",
     [](QPainter& p) {
         horizontal(p, {Colour::Black, Colour::White, Colour::Red, Colour::White, Colour::Green}, {3, 1, 4, 1, 3});
         disc(p, Band.center(), 2.5, Colour::Black);
         p.fillRect(QRectF(7.5, 5, 1, 6), Colour::White);
     }},
    {"TH",
     [](QPainter& p) {
         horizontal(p, {Colour::Red, Colour::White, Colour::Navy, Colour::White, Colour::Red}, {1, 1, 2, 1, 1});
     }},
    {"TR",
     [](QPainter& p) {
         p.fillRect(Band, Colour::Red);
         crescent(p, QPointF(6, Band.center().y()), 3.5, Colour::White, Colour::Red);
         star(p, QPointF(10.5, Band.center().y()), 1.6, Colour::White);
     }},
    {"UK",
     [](QPainter& p) {
         horizontal(p, {Colour::SkyBlue, Colour::Gold});
     }},
    {"VI",
     [](QPainter& p) {
         p.fillRect(Band, Colour::Red);
         star(p, Band.center(), 4.5, Colour::Yellow);
     }},
    {"CY",
     [](QPainter& p) {
         horizontal(p, {Colour::White, Colour::Green});
         p.fillRect(QRectF(4, 6, 8, 3), Colour::Red);
         p.fillRect(QRectF(11, 4, 2, 3), Colour::Red);
         p.fillRect(QRectF(4, 9, 1, 2), Colour::Red);
         p.fillRect(QRectF(10, 9, 1, 2), Colour::Red);
     }},
    {"YI", [](QPainter& p) { letterTile(p, Letter::Y); }},
}};

}  // namespace

QImage flagImage(int position)
{
    if (position < 0 || position >= Count)
        return {};
    // drawn once; the lists ask for a flag on every item they paint
    static const std::array<QImage, Count> flags = [] {
        std::array<QImage, Count> drawn;
        for (int i = 0; i < Count; ++i) {
            // by code, so the two tables need not be kept in the same order
            const QString code = serviceCode(i);
            const auto entry = std::find_if(Entries.begin(), Entries.end(),
                                            [&code](const Entry& e) { return code == QLatin1String(e.code); });
            QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            if (entry != Entries.end()) {
                QPainter painter(&image);
                painter.setRenderHint(QPainter::Antialiasing, true);
                entry->flag(painter);
            }
            drawn[i] = image;
        }
        return drawn;
    }();
    return flags[position];
}

}  // namespace LanguageTable
