#include "FileOpenDialog.h"

QList<FileOpenDialog::FilterRow> FileOpenDialog::defaultFilter()
{
    // the newer formats and the templates open through the same converters as their older kin
    return {
        {QStringLiteral("All supported files (*.txt;*.rtf;*.doc;*.xls;*.ppt;*.pdf;*.htm)"),
         QStringLiteral("*.txt;*.rtf;*.doc;*.docx;*.xls;*.xlsx;*.ppt;*.pptx;*.pdf;*.htm;*.html;"
                        "*.dot;*.dotx;*.xlt;*.xltx;*.pot;*.potx")},
        {QStringLiteral("Text File (*.txt)"), QStringLiteral("*.txt")},
        {QStringLiteral("Rich Text File (*.rtf)"), QStringLiteral("*.rtf")},
        {QStringLiteral("Microsoft Word Document (*.doc)"), QStringLiteral("*.doc;*.docx;*.dot;*.dotx")},
        {QStringLiteral("Microsoft Excel Document (*.xls)"), QStringLiteral("*.xls;*.xlsx;*.xlt;*.xltx")},
        {QStringLiteral("Microsoft PowerPoint File (*.ppt)"), QStringLiteral("*.ppt;*.pptx;*.pot;*.potx")},
        {QStringLiteral("Adobe PDF File (*.pdf)"), QStringLiteral("*.pdf")},
        {QStringLiteral("Web pages (*.htm)"), QStringLiteral("*.htm;*.html")},
        {QStringLiteral("All Files (*.*)"), QStringLiteral("*")},
    };
}

QString FileOpenDialog::nameFilters() const
{
    QStringList filters;
    for (const FilterRow& row : Filter) {
        // the dialog reads the patterns from the last brackets and hides them
        filters << row.description + QStringLiteral(" (") + QString(row.patterns).replace(u';', u' ') + u')';
    }
    return filters.join(QStringLiteral(";;"));
}
