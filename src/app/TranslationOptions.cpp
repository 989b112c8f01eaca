#include "TranslationOptions.h"

#include "WindowSettings.h"

#include <QAction>

TranslationOptions::TranslationOptions(const Items& items, QObject* parent) : QObject(parent), m_items(items)
{
    connect(m_items.keepFormatting, &QAction::toggled, this, [this](bool on) {
        if (on)
            emit formattingChosen();
    });
}

bool TranslationOptions::serbianCyrillic() const { return m_items.serbianCyrillic->isChecked(); }
bool TranslationOptions::keepHistory() const { return m_items.keepHistory->isChecked(); }
bool TranslationOptions::reuseTranslations() const { return m_items.reuseTranslations->isChecked(); }
bool TranslationOptions::detectSource() const { return m_items.detectSource->isChecked(); }

bool TranslationOptions::keepFormatting() const
{
    return m_items.keepFormatting->isChecked() && m_items.keepFormatting->isEnabled();
}

void TranslationOptions::offerFormatting(bool offered) { m_items.keepFormatting->setEnabled(offered); }

void TranslationOptions::readFrom(const WindowSettings& settings)
{
    proxy = settings.Proxy;
    m_items.serbianCyrillic->setChecked(settings.SerbianCyrillic);
    m_items.keepHistory->setChecked(settings.KeepHistory);
    m_items.reuseTranslations->setChecked(settings.ReuseTranslations);
    m_items.detectSource->setChecked(settings.DetectSource);
    m_items.keepFormatting->setChecked(settings.KeepFormatting);
}

void TranslationOptions::writeTo(WindowSettings& settings) const
{
    settings.Proxy = proxy;
    settings.SerbianCyrillic = serbianCyrillic();
    settings.KeepHistory = keepHistory();
    settings.ReuseTranslations = reuseTranslations();
    settings.DetectSource = detectSource();
    // the choice is kept even while the route does not offer it
    settings.KeepFormatting = m_items.keepFormatting->isChecked();
}
