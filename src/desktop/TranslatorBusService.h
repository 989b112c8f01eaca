#pragma once

#include "DesktopBus.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <memory>

class BusWindow;
class ServiceClient;
class ServiceLauncher;

// The translator on the session bus: interface com.brenmark.Linguaro at
// /com/brenmark/Linguaro. Translate runs on a thread of its own, one request
// after another, so the window never waits for another program's text and a
// long text never holds up the bus.
class TranslatorBusService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.brenmark.Linguaro")
    // what other programs read about the interface, with the arguments named
    Q_CLASSINFO("D-Bus Introspection",
                "  <interface name=\"com.brenmark.Linguaro\">\n"
                "    <method name=\"Translate\">\n"
                "      <arg name=\"text\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"from\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"to\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"translation\" type=\"s\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"TranslateSelection\"/>\n"
                "    <method name=\"ShowWindow\"/>\n"
                "    <method name=\"Languages\">\n"
                "      <arg name=\"languages\" type=\"a(ss)\" direction=\"out\"/>\n"
                "    </method>\n"
                "  </interface>\n")
public:
    explicit TranslatorBusService(QObject* parent = nullptr);
    ~TranslatorBusService() override;

    // The window the calls act on. A request to show it or to translate the
    // selection that came while it was being made is carried out now.
    void attach(BusWindow* window);

    // Translate calls that may wait behind the one under way before the next is turned away.
    static constexpr int QueueLimit = 8;

public slots:
    // The translation of `text` as the target pane would show it; `from` and
    // `to` are list codes or names ("en", "zh-tw", "Spanish").
    Q_SCRIPTABLE QString Translate(const QString& text, const QString& from, const QString& to);
    // The window comes to the front and translates the selection (the X
    // primary selection, else the clipboard). Answers before translating.
    Q_SCRIPTABLE void TranslateSelection();
    Q_SCRIPTABLE void ShowWindow();
    // The window's language list, (code, name) in list order.
    Q_SCRIPTABLE LanguageEntries Languages();

private:
    void translateApart(const QDBusConnection& connection, const QDBusMessage& call, const QString& text,
                        int source, int target);

    BusWindow* m_window = nullptr;
    bool m_pendingShow = false;
    bool m_pendingSelection = false;
    std::unique_ptr<ServiceClient> m_client;  // used by the worker only, one request at a time
    std::unique_ptr<ServiceLauncher> m_launcher;
    QThreadPool m_worker;
    std::atomic<int> m_queued{0};
    std::atomic<bool> m_stopping{false};
};
