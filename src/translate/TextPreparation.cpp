#include "TextPreparation.h"

namespace TextPreparation {

QString ReplaceText(const QString& text, const QString&, const QString&) { return text; }
bool IsNothingToTranslate(const QString& paneText) { return paneText.isEmpty(); }
QString PrepareText(const QStringList& paneLines) { return paneLines.join(QString()); }
QStringList SplitIntoChunks(const QString& text, int) { return {text}; }
int ProgressPercent(int, int) { return 0; }
QString ProgressText(const QString&, const QString&, int, int) { return {}; }
QString StartText(const QString&, const QString&) { return {}; }

}  // namespace TextPreparation
