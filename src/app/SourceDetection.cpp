#include "SourceDetection.h"

#include "LanguageDetector.h"
#include "LanguageTable.h"
#include "MainWindow.h"

#include <QComboBox>
#include <QTextEdit>

void SourceDetection::detectLanguage()
{
    const LanguageDetector::Hints hints{LanguageTable::positionOf(m_form.InterfaceLanguage),
                                        m_form.sourceList->currentIndex()};
    const auto result = LanguageDetector::detect(m_form.sourcePane->toPlainText(), hints);
    // the list names a few languages twice: an entry of the detected code already chosen stays.
    // Croatian and Serbian are told apart: only text marked Serbian is read from Cyrillic.
    if (result.detected() && LanguageTable::serviceCode(m_form.sourceList->currentIndex()) != result.best().code)
        m_form.sourceList->setCurrentIndex(result.best().position);
    m_form.setStatus(LanguageDetector::describe(result), false);
}
