#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

// A line per character run and per paragraph, with formatting resolved against the document's
// default font, so two documents compare equal exactly when they look the same.
inline QStringList describeDocument(const QTextDocument& document)
{
    QStringList lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextList* list = block.textList();
        lines << QStringLiteral("paragraph align=%1 list=%2")
                     .arg(int(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask))
                     .arg(list ? int(list->format().style()) : 0);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            const QFont font = format.font().resolve(document.defaultFont());
            const QString family = font.families().isEmpty() ? font.family() : font.families().first();
            const QBrush fg = format.foreground();
            const QBrush bg = format.background();
            lines << QStringLiteral("  [%1] %2 %3pt%4%5%6%7 v%8 fg=%9 bg=%10")
                         .arg(fragment.text(), family)
                         .arg(font.pointSizeF())
                         .arg(font.bold() ? " bold" : "", font.italic() ? " italic" : "",
                              font.underline() ? " underline" : "", font.strikeOut() ? " strike" : "")
                         .arg(int(format.verticalAlignment()))
                         .arg(fg.style() == Qt::NoBrush ? QString("none") : fg.color().name(),
                              bg.style() == Qt::NoBrush ? QString("none") : bg.color().name());
        }
    }
    return lines;
}
