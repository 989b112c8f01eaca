#pragma once

#include <QString>

// The files of File > Translate document...: which documents come back in their own
// format, which only as translated plain text, and the name the result is offered under.
namespace TranslatedDocument {

// Legacy Word, Excel, PowerPoint and PDF files: their text is translated into a .txt file.
bool TextOnly(const QString& path);

// The Open dialog's filter rows.
QString OpenFilter();

// Why a legacy document comes back as plain text, in one sentence.
QString TextOnlyReason(const QString& path);

// `<folder>/<name>.<target code>.<ext>` beside the document ("report.es.docx"), with the
// extension "txt" for a legacy one; the code in lower case.
QString ProposedName(const QString& path, const QString& targetCode);

// The Save dialog's filter and default extension for the result of `path`.
QString SaveFilter(const QString& path);
QString SaveExtension(const QString& path);

}  // namespace TranslatedDocument
