#include "LanguageTable.h"

namespace LanguageTable {

QString DisplayName(int) { return {}; }
QString ServiceCode(int) { return {}; }
QStringList DisplayNames() { return {}; }
QStringList DomainNames() { return {}; }
QImage FlagImage(int) { return {}; }

}  // namespace LanguageTable
