#pragma once

#include <QString>

// Help > Manual and Help > Homepage: pages of the site, opened in the desktop's browser.
namespace HelpLinks {

inline const QString ManualPage = QStringLiteral("linguaro-manual.html");
inline const QString HomePage = QStringLiteral("linguaro-translator.html");

// Opens the page without waiting for the browser; a desktop with no way to open it is told so.
void open(const QString& page);

}  // namespace HelpLinks
