#include "PaneColours.h"

namespace PaneColours {

QList<NamedColour> all(const QPalette& palette)
{
    QList<NamedColour> colours = {
        {QStringLiteral("Black"), QColor(0x00, 0x00, 0x00)},
        {QStringLiteral("Maroon"), QColor(0x80, 0x00, 0x00)},
        {QStringLiteral("Green"), QColor(0x00, 0x80, 0x00)},
        {QStringLiteral("Olive"), QColor(0x80, 0x80, 0x00)},
        {QStringLiteral("Navy"), QColor(0x00, 0x00, 0x80)},
        {QStringLiteral("Purple"), QColor(0x80, 0x00, 0x80)},
        {QStringLiteral("Teal"), QColor(0x00, 0x80, 0x80)},
        {QStringLiteral("Gray"), QColor(0x80, 0x80, 0x80)},
        {QStringLiteral("Silver"), QColor(0xC0, 0xC0, 0xC0)},
        {QStringLiteral("Red"), QColor(0xFF, 0x00, 0x00)},
        {QStringLiteral("Lime"), QColor(0x00, 0xFF, 0x00)},
        {QStringLiteral("Yellow"), QColor(0xFF, 0xFF, 0x00)},
        {QStringLiteral("Blue"), QColor(0x00, 0x00, 0xFF)},
        {QStringLiteral("Fuchsia"), QColor(0xFF, 0x00, 0xFF)},
        {QStringLiteral("Aqua"), QColor(0x00, 0xFF, 0xFF)},
        {QStringLiteral("White"), QColor(0xFF, 0xFF, 0xFF)},
        {QStringLiteral("Money Green"), QColor(0xC0, 0xDC, 0xC0)},
        {QStringLiteral("Sky Blue"), QColor(0xA6, 0xCA, 0xF0)},
        {QStringLiteral("Cream"), QColor(0xFF, 0xFB, 0xF0)},
        {QStringLiteral("Medium Gray"), QColor(0xA0, 0xA0, 0xA4)},
    };
    using R = QPalette::ColorRole;
    const std::pair<const char*, R> system[] = {
        {"Scroll Bar", R::Button},
        {"Background", R::Dark},
        {"Active Caption", R::Highlight},
        {"Inactive Caption", R::Mid},
        {"Menu", R::Window},
        {"Window", R::Base},
        {"Window Frame", R::Shadow},
        {"Menu Text", R::WindowText},
        {"Window Text", R::Text},
        {"Caption Text", R::HighlightedText},
        {"Active Border", R::Window},
        {"Inactive Border", R::Window},
        {"Application Workspace", R::Dark},
        {"Highlight", R::Highlight},
        {"Highlight Text", R::HighlightedText},
        {"Button Face", R::Button},
        {"Button Shadow", R::Mid},
        {"Gray Text", R::PlaceholderText},
        {"Button Text", R::ButtonText},
        {"Inactive Caption Text", R::PlaceholderText},
        {"Button Highlight", R::Light},
        {"3D Dark Shadow", R::Shadow},
        {"3D Light", R::Midlight},
        {"Info Text", R::ToolTipText},
        {"Info Background", R::ToolTipBase},
        {"Hot Light", R::Link},
        {"Menu Highlight", R::Highlight},
        {"Menu Bar", R::Window},
    };
    for (const auto& [name, role] : system)
        colours.append({QLatin1String(name), palette.color(QPalette::Active, role)});
    return colours;
}

}  // namespace PaneColours
