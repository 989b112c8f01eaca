#pragma once

#include "ProxySettings.h"

#include <QObject>

class QAction;
struct WindowSettings;

// What a translation of the window follows besides its text and languages: the proxy, and the
// Misc menu's check items for the Serbian script, the history, reuse, detection and formatting.
// The check items hold the choices; start-up sets them from the settings and shut-down keeps them.
class TranslationOptions : public QObject {
    Q_OBJECT
public:
    struct Items {
        QAction* serbianCyrillic;
        QAction* keepHistory;
        QAction* reuseTranslations;
        QAction* detectSource;
        QAction* keepFormatting;
    };
    TranslationOptions(const Items& items, QObject* parent);

    ProxySettings proxy;

    bool serbianCyrillic() const;
    bool keepHistory() const;
    bool reuseTranslations() const;
    bool detectSource() const;
    // chosen, and the service's route takes formatted documents
    bool keepFormatting() const;
    void offerFormatting(bool offered);

    void readFrom(const WindowSettings& settings);
    void writeTo(WindowSettings& settings) const;

signals:
    // Keep formatting was turned on, by the user or by start-up.
    void formattingChosen();

private:
    Items m_items;
};
