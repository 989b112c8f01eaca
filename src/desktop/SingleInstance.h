#pragma once

#include <QString>

class QObject;

// One translator window per session. The first program to start registers the
// translator's object and name on the session bus and serves them; a later
// start hands its request to that one and ends, so two windows never fight
// over the settings file and the built-in service. Without a session bus
// every start runs alone.
class SingleInstance {
public:
    enum class Role {
        Alone,   // no session bus, or it refused the name: run without it
        First,   // this program holds the name
        Second,  // another program holds it: forward() the request
    };
    enum class Request { ShowWindow, TranslateSelection };

    // Registers `service` (the exported object) and asks for the name.
    explicit SingleInstance(QObject* service);
    Role role() const { return m_role; }

    // Asks the running program to carry out `request`. Returns the exit code:
    // 0 when it did, 1 with a message on standard error when it did not or
    // gave no answer within timeoutMs. When that program ended in the meantime,
    // the name is asked for once more and role() may become First (exit code -1).
    int forward(Request request, int timeoutMs = DefaultTimeoutMs);

    // Gives the name up once the window has closed, so a start while this
    // program ends opens a window of its own instead of asking this one.
    void release();

    static constexpr int DefaultTimeoutMs = 10000;

private:
    Role claim();

    QObject* m_service;
    Role m_role = Role::Alone;
};
