#pragma once

#include "ProxyDialog.h"

#include <QApplication>
#include <QTimer>

#include <functional>
#include <memory>

// Acts on the proxy dialog once it is up as a modal window; open() then tells
// whether that happened. Create it just before the code that shows the dialog.
class ProxyDialogDriver {
public:
    explicit ProxyDialogDriver(std::function<void(ProxyDialog*)> user) : m_acted(std::make_shared<bool>(false))
    {
        QTimer::singleShot(0, [acted = m_acted, user = std::move(user)] {
            if (auto* dialog = qobject_cast<ProxyDialog*>(QApplication::activeModalWidget())) {
                *acted = true;
                user(dialog);
            }
        });
    }
    bool acted() const { return *m_acted; }

private:
    std::shared_ptr<bool> m_acted;
};
