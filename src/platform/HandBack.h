#pragma once

#include <QObject>

#include <memory>
#include <mutex>
#include <utility>

// The way back from a worker thread to an object's own thread: post() runs a function there
// from the object's event loop, and does nothing once the object is gone.
class HandBack {
public:
    // Made on the target's thread.
    explicit HandBack(QObject* target) : m_box(std::make_shared<Box>())
    {
        m_box->target = target;
        QObject::connect(target, &QObject::destroyed, [box = m_box] {
            std::lock_guard lock(box->mutex);
            box->target = nullptr;
        });
    }

    // From any thread. The function is copied; a move-only value goes in a shared_ptr.
    template <class Function>
    void post(Function function) const
    {
        // held while posting, so the target cannot go between the look and the post
        std::lock_guard lock(m_box->mutex);
        if (m_box->target)
            QMetaObject::invokeMethod(m_box->target, std::move(function), Qt::QueuedConnection);
    }

private:
    struct Box {
        std::mutex mutex;
        QObject* target = nullptr;
    };
    std::shared_ptr<Box> m_box;
};
