#pragma once

#include "ProxySettings.h"

#include <QString>
#include <QStringList>

class ServiceClient;

// What a translation run needs of the main window. The window implements it
// over its panes, lists, status line, options and character; tests implement
// it with a plain struct.
class TranslationView {
public:
    virtual ~TranslationView() = default;

    // Whole text of the source pane (paragraphs joined by "\n") and its lines.
    virtual QString sourcePaneText() = 0;
    virtual QStringList sourcePaneLines() = 0;
    // Selected list positions; -1 when nothing is selected.
    virtual int sourcePosition() = 0;
    virtual int targetPosition() = 0;
    // Text of the selected list items.
    virtual QString sourceDisplayName() = 0;
    virtual QString targetDisplayName() = 0;

    // A modal message box.
    virtual void showMessage(const QString& text) = 0;
    // First panel of the status bar; repaintNow repaints it before returning.
    virtual void setStatus(const QString& text, bool repaintNow) = 0;
    virtual void processPendingEvents() = 0;

    // New paragraph at the end of the target pane, focus, caret to the end, scrolled into view.
    virtual void appendTargetParagraph(const QString& text) = 0;
    // Focus on the target pane, caret at 0, scrolled into view.
    virtual void caretToTargetStart() = 0;
    virtual QString targetPaneText() = 0;
    // Select all of the target pane, copy, then caret at 0 with an empty selection.
    virtual void copyTargetToClipboard() = 0;

    // CurrentCharacter is present.
    virtual bool characterPresent() = 0;
    // Play "THINK", MoveTo the middle of the source pane at speed 1000, play "THINK".
    virtual void characterThinkOverSource() = 0;

    virtual bool agentUnavailable() = 0;
    // Menu options "Read aloud results after translation" and
    // "Copy results to clipboard after translation".
    virtual bool readAloudOption() = 0;
    virtual bool copyToClipboardOption() = 0;
    // Option "Read the target text".
    virtual void setReadTargetOption(bool on) = 0;
    // The read-aloud command (ToolButton22Click).
    virtual void readAloud() = 0;

    // Once the checks have passed, before anything else: the window starts
    // the built-in service here. Throws ServiceError when it cannot.
    virtual void prepareService() {}
};

// One run of the Translate command: validation, preparation, chunking, one
// exchange per chunk with progress in the status line, then the optional
// read-aloud and clipboard copy. A ServiceError from a chunk propagates to the
// caller (the window shows it in its error report); chunks already appended stay.
class TranslationRun {
public:
    TranslationRun(TranslationView& view, ServiceClient& client, const ProxySettings& proxy);

    void Run();

    // Messages shown when the run refuses to start.
    static const QString NothingToTranslate;
    static const QString NoSourceLanguage;
    static const QString NoTargetLanguage;
    static const QString SameLanguages;
    static const QString DoneText;

private:
    TranslationView& m_view;
    ServiceClient& m_client;
    const ProxySettings& m_proxy;
};
