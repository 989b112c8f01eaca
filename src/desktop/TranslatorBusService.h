#pragma once

#include "DesktopBus.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QSet>

class BusWindow;
class TranslationJob;

// The translator on the session bus: interface com.brenmark.Linguaro at
// /com/brenmark/Linguaro. Each Translate call is a translation job of its own
// whose reply is sent when it ends, so the window never waits for another
// program's text and a long text never holds up the bus. A caller that
// leaves the bus stops its job.
class TranslatorBusService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.brenmark.Linguaro")
    // what other programs read about the interface, with the arguments named
    Q_CLASSINFO("D-Bus Introspection", "  <interface name=\"com.brenmark.Linguaro\">\n"
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
                                       "    <method name=\"DetectLanguage\">\n"
                                       "      <arg name=\"text\" type=\"s\" direction=\"in\"/>\n"
                                       "      <arg name=\"code\" type=\"s\" direction=\"out\"/>\n"
                                       "      <arg name=\"percent\" type=\"u\" direction=\"out\"/>\n"
                                       "    </method>\n"
                                       "  </interface>\n")
public:
    explicit TranslatorBusService(QObject* parent = nullptr);
    ~TranslatorBusService() override;

    // The window the calls act on. A request to show it or to translate the
    // selection that came while it was being made is carried out now.
    void attach(BusWindow* window);

    // Translate calls under way beyond the first before the next is turned away.
    static constexpr int QueueLimit = 8;
    // Translate calls whose reply has not been sent yet.
    int translationsUnderWay() const { return int(m_jobs.size()); }

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
    // The list code (lower case) of the language `text` is written in and the
    // share of its letters in that language; an empty code and 0 when that
    // cannot be told.
    Q_SCRIPTABLE QString DetectLanguage(const QString& text, uint& percent);

private:
    void translateApart(const QDBusConnection& connection, const QDBusMessage& call, const QString& text, int source,
                        int target);

    BusWindow* m_window = nullptr;
    bool m_pendingShow = false;
    bool m_pendingSelection = false;
    QSet<TranslationJob*> m_jobs;
};
