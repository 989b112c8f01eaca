#pragma once

#include <QList>
#include <QString>

// The Open dialog's settings: title, default extension, the filter rows and the file
// name it proposes. The name is kept between opens, so the next dialog starts at the
// document chosen last.
struct FileOpenDialog {
    struct FilterRow {
        QString description;
        QString patterns;  // separated by ";"
    };

    QString Title = QStringLiteral("Open a file");
    QString DefaultExt = QStringLiteral("txt");
    QList<FilterRow> Filter = defaultFilter();
    QString FileName;

    static QList<FilterRow> defaultFilter();
    // The rows as a file dialog's name filters ("description (patterns)", one per line
    // in the ";;" form); the dialog shows the descriptions.
    QString nameFilters() const;
};
