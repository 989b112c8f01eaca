#pragma once

#include "LanguageListDelegate.h"
#include "WindowObjectNames.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QTextEdit>
#include <QToolButton>
#include <QWidget>

// Finds the main window's panes, lists, buttons and menu items by their object names, as a
// user finds them on screen; one that is not there stops the program with its name.
class WindowDriver {
public:
    explicit WindowDriver(const QWidget& window) : m_window(window) {}

    template <class T>
    T* find(const char* name) const
    {
        T* found = m_window.findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("the window has no %s named %s", T::staticMetaObject.className(), name);
        return found;
    }

    QTextEdit* sourcePane() const { return find<QTextEdit>(ObjectName::sourcePane); }
    QTextEdit* targetPane() const { return find<QTextEdit>(ObjectName::targetPane); }
    LanguageComboBox* sourceList() const { return find<LanguageComboBox>(ObjectName::sourceList); }
    LanguageComboBox* targetList() const { return find<LanguageComboBox>(ObjectName::targetList); }
    QToolButton* button(const char* name) const { return find<QToolButton>(name); }
    QComboBox* box(const char* name) const { return find<QComboBox>(name); }
    QMenu* menu(const char* name) const { return find<QMenu>(name); }
    QAction* item(const char* name) const { return find<QAction>(name); }

private:
    const QWidget& m_window;
};

inline WindowDriver ui(const QWidget& window) { return WindowDriver(window); }
