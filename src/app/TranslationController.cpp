#include "TranslationController.h"

#include "HistoryRecorder.h"
#include "InterfaceCaptions.h"
#include "InterfaceLanguage.h"
#include "LanguageTable.h"
#include "ServiceFormats.h"
#include "SourceLanguageBar.h"
#include "MainWindow.h"
#include "TranslationJob.h"
#include "TranslationOptions.h"
#include "UserPrompts.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QToolButton>

using Outcome = TranslationResult::Outcome;

TranslationController::TranslationController(MainWindow& form) : QObject(&form), m_form(form)
{
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), &form);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, &TranslationController::stop);
    connect(m_form.SourceBar, &SourceLanguageBar::accepted, this,
            [this](const SourceSuggestion::Question& question) { answered(question, true); });
    connect(m_form.SourceBar, &SourceLanguageBar::kept, this,
            [this](const SourceSuggestion::Question& question) { answered(question, false); });
    m_formats = new ServiceFormats(this);
    connect(m_formats, &ServiceFormats::changed, this, &TranslationController::offerKeepFormatting);
    for (QComboBox* list : {static_cast<QComboBox*>(form.sourceList), static_cast<QComboBox*>(form.targetList)})
        connect(list, &QComboBox::currentIndexChanged, this, &TranslationController::offerKeepFormatting);
    connect(form.miscMenu, &QMenu::aboutToShow, this, &TranslationController::refreshKeepFormatting);
    // kept on from the last run: asked at once, so the first Translate already keeps the formatting
    connect(&form.options(), &TranslationOptions::formattingChosen, this,
            &TranslationController::refreshKeepFormatting);
}

void TranslationController::refreshKeepFormatting()
{
    m_formats->refresh({}, m_form.options().proxy);
    offerKeepFormatting();
}

void TranslationController::offerKeepFormatting()
{
    const TranslationRequest route = TranslationRequest::betweenPositions(
        {}, m_form.sourceList->currentIndex(), m_form.targetList->currentIndex(), m_form.options().proxy);
    m_form.options().offerFormatting(m_formats->offers(route.sourceCode, route.targetCode, QStringLiteral("html")));
}

TranslationController::~TranslationController() = default;

void TranslationController::translate()
{
    if (m_job)
        return;
    // the lists' positions become service codes here; the job knows only codes
    TranslationRequest request =
        TranslationRequest::betweenPositions(m_form.sourcePane->toPlainText(), m_form.sourceList->currentIndex(),
                                             m_form.targetList->currentIndex(), m_form.options().proxy);
    request.serbianCyrillic = m_form.options().serbianCyrillic();
    // a refused run says why as before; the bar asks only about a run that would go
    if (m_form.options().detectSource() && TranslationJob::failedCheck(request) == TranslationResult::Check::None
        && askSource(request.text))
        return;
    m_form.SourceBar->hide();
    const bool formatted = m_form.options().keepFormatting();
    if (formatted)
        request.html = m_form.sourcePane->toHtml();
    HistoryRecorder::equip(request, m_form.options().keepHistory(), m_form.options().reuseTranslations());
    m_job = Translator::start(request, this);
    connect(m_job, &TranslationJob::started, this, [this](const QString& status) {
        emit runStarted();
        m_form.setStatus(status, false);
    });
    connect(m_job, &TranslationJob::progress, this,
            [this](int, int, const QString& status) { m_form.setStatus(status, false); });
    if (formatted)
        connect(m_job, &TranslationJob::formattedParagraph, this,
                [this](int, const QString& html) { appendTargetHtml(html); });
    else
        connect(m_job, &TranslationJob::paragraph, this,
                [this](int, const QString& text) { appendTargetParagraph(text); });
    connect(m_job, &TranslationJob::finished, this, &TranslationController::finished);
    // after the run's own ending, so that what the history has to say stays in the status line
    if (m_form.options().keepHistory())
        HistoryRecorder::watch(
            *m_job, HistoryEntry::Origin::Window,
            [form = &m_form](const QString& notice) { form->setStatus(notice, false); }, &m_form);
    m_focus = m_form.focusWidget();
    m_form.translateButton->setText(QStringLiteral("Stop"));
    m_escape->setEnabled(true);
}

bool TranslationController::askSource(const QString& text)
{
    const LanguageDetector::Hints hints{LanguageTable::positionOf(m_form.InterfaceLanguage),
                                        m_form.sourceList->currentIndex()};
    const SourceSuggestion::Question question =
        m_suggestion.ask(text, m_form.sourceList->currentIndex(), m_form.targetList->currentIndex(), hints);
    if (question.offer == SourceSuggestion::Offer::None)
        return false;
    m_form.SourceBar->ask(question);
    return true;
}

void TranslationController::answered(const SourceSuggestion::Question& question, bool accepted)
{
    if (m_job)
        return;
    MainWindow::runHandler([&] {
        // the answer holds for the text as the pane has it now, which is what goes
        m_suggestion.remember(m_form.sourcePane->toPlainText());
        if (accepted && question.offer == SourceSuggestion::Offer::SwapLanguages)
            m_form.swapLanguages();
        else if (accepted)
            m_form.sourceList->setCurrentIndex(question.detected);
        translate();
    });
}

void TranslationController::stop()
{
    if (m_job)
        m_job->cancel();
}

void TranslationController::appendTargetParagraph(const QString& text)
{
    appendBlock([&text](QTextCursor& cursor) { cursor.insertText(text); });  // never read as markup
}

void TranslationController::appendTargetHtml(const QString& html)
{
    appendBlock([&html](QTextCursor& cursor) { cursor.insertFragment(QTextDocumentFragment::fromHtml(html)); });
}

void TranslationController::appendBlock(const std::function<void(QTextCursor&)>& insert)
{
    // An empty translation in an empty pane is a line too, though the pane
    // looks as empty as before: its one block is stamped with the document's
    // revision, and while nothing has edited the pane since, the next
    // translation goes below it.
    QTextEdit* pane = m_form.targetPane;
    QTextDocument* document = pane->document();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    if (!document->isEmpty() || document->firstBlock().userState() == document->revision())
        cursor.insertBlock();
    insert(cursor);
    if (document->isEmpty())
        document->firstBlock().setUserState(document->revision());
    if (!takeFocus())
        return;
    pane->setTextCursor(cursor);
    pane->ensureCursorVisible();
}

bool TranslationController::takeFocus()
{
    if (m_job && m_form.focusWidget() != m_focus)
        return false;
    m_form.targetPane->setFocus();
    m_focus = m_form.targetPane;
    return true;
}

void TranslationController::caretToTargetStart()
{
    QTextEdit* pane = m_form.targetPane;
    QTextCursor cursor = pane->textCursor();
    cursor.movePosition(QTextCursor::Start);
    pane->setTextCursor(cursor);
    pane->ensureCursorVisible();
}

void TranslationController::copyTarget()
{
    QTextEdit* pane = m_form.targetPane;
    pane->selectAll();
    pane->copy();
    QTextCursor cursor = pane->textCursor();
    cursor.movePosition(QTextCursor::Start);
    pane->setTextCursor(cursor);
}

QString TranslationController::finishedText() const
{
    if (m_reused <= 0)
        return TranslationJob::DoneText;
    const QString reused = interfaceCaption("MemoryReused", interfaceLanguageColumn(m_form.InterfaceLanguage));
    return TranslationJob::DoneText + QLatin1Char(' ') + reused.arg(m_reused).arg(m_sentences);
}

void TranslationController::finished(const TranslationResult& result)
{
    m_reused = m_job->reusedSentences();
    m_sentences = m_job->sentenceCount();
    const bool focusKept = m_form.focusWidget() == m_focus;
    m_job->deleteLater();
    m_job = nullptr;
    m_escape->setEnabled(false);
    m_form.translateButton->setText(QStringLiteral("Translate"));
    MainWindow::runHandler([&] {
        switch (result.outcome) {
        case Outcome::Refused:
            UserPrompts::instance().message(result.message, UserPrompts::Kind::Information,
                                            QCoreApplication::applicationName());
            break;
        case Outcome::Failed:
            UserPrompts::instance().errorReport(result.message);
            break;
        case Outcome::Stopped:
            m_form.setStatus(TranslationJob::StoppedText, false);
            break;
        case Outcome::Done:
            if (focusKept)
                m_form.targetPane->setFocus();
            caretToTargetStart();
            m_form.setStatus(finishedText(), false);
            if (!m_form.AgentUnavailable && m_form.ReadAloud->isChecked()
                && m_form.targetPane->toPlainText().size() > 2) {
                emit readAloudWanted();
            }
            if (m_form.CopyToClipboard->isChecked())
                copyTarget();
            break;
        }
    });
    emit ended(result);
}
