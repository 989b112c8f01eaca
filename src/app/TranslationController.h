#pragma once

#include "SourceSuggestion.h"
#include "TranslationJob.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QShortcut;
class ServiceFormats;
class QTextCursor;
class QWidget;
class MainWindow;

// The window's side of a translation: takes the panes' text and the lists'
// choices to a translation job and shows what the job says in the panes, the
// status line and the character; afterwards it reads aloud and copies as the
// options say. The window stays live throughout; while a run goes the
// Translate button reads "Stop", and it or Escape stops the run. With the
// option on, a text clearly in another language than the source is not sent
// before the bar above the panes has asked which language it is read from.
class TranslationController : public QObject {
    Q_OBJECT
public:
    explicit TranslationController(MainWindow& form);
    ~TranslationController() override;

    // A run with the window's text and choices; nothing while one goes.
    void translate();
    // Ends the run under way; what it appended stays.
    void stop();
    bool running() const { return m_job != nullptr; }

    // A new line below what the target pane holds (an empty translation too).
    void appendTargetParagraph(const QString& text);
    // The same for a translation with its formatting, given as HTML.
    void appendTargetHtml(const QString& html);

    // Options > Misc > Keep formatting is offered only where the service's route takes HTML
    // documents; this asks the service (in the background) unless it has told already.
    void refreshKeepFormatting();

signals:
    // A run has ended, after its read-aloud and copy.
    void ended(const TranslationResult& result);
    // A run has ended with a translation that Options > Misc says is to be read aloud.
    void readAloudWanted();
    // A run has started; the character on screen, if there is one, thinks the source over.
    void runStarted();

private:
    // Shows the bar when the text asks for it; true when it did and the run waits for the answer.
    bool askSource(const QString& text);
    void answered(const SourceSuggestion::Question& question, bool accepted);
    void finished(const TranslationResult& result);
    // "Done.", and how many paragraphs the memory gave when it gave any
    QString finishedText() const;
    // The focus goes to the target pane unless the user put it elsewhere during the run.
    bool takeFocus();
    void caretToTargetStart();
    void copyTarget();
    void offerKeepFormatting();
    void appendBlock(const std::function<void(QTextCursor&)>& insert);

    MainWindow& m_form;
    TranslationJob* m_job = nullptr;
    SourceSuggestion m_suggestion;
    QShortcut* m_escape = nullptr;
    ServiceFormats* m_formats = nullptr;
    // where the focus was when the run began, then the target pane once a run moved it there
    QPointer<QWidget> m_focus;
    int m_reused = 0;  // of the run that ended last
    int m_sentences = 0;
};
