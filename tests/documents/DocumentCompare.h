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
            // one pass over the pattern, so a font named "%2" stays as it is
            const QString look =
                QStringLiteral("%1 %2pt%3%4%5%6 v%7 fg=%8 bg=%9")
                    .arg(family, QString::number(font.pointSizeF()), QString(font.bold() ? " bold" : ""),
                         QString(font.italic() ? " italic" : ""), QString(font.underline() ? " underline" : ""),
                         QString(font.strikeOut() ? " strike" : ""), QString::number(int(format.verticalAlignment())),
                         fg.style() == Qt::NoBrush ? QString("none") : fg.color().name(),
                         bg.style() == Qt::NoBrush ? QString("none") : bg.color().name());
            // neighbouring fragments that look the same are one run
            if (!lines.isEmpty() && lines.last().startsWith("  [") && lines.last().endsWith("] " + look)) {
                QString& last = lines.last();
                last.insert(last.size() - look.size() - 2, fragment.text());
            } else {
                lines << QStringLiteral("  [%1] %2").arg(fragment.text(), look);
            }
        }
    }
    return lines;
}
