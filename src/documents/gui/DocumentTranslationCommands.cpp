#include "DocumentTranslationCommands.h"

#include "DocumentTranslationJob.h"
#include "Shell.h"
#include "TranslatedDocument.h"
#include "UserPrompts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProgressDialog>

using Outcome = TranslationResult::Outcome;

const QString DocumentTranslationCommands::OpenTitle = QStringLiteral("Translate a document");
const QString DocumentTranslationCommands::SaveTitle = QStringLiteral("Save the translated document");

DocumentTranslationCommands::DocumentTranslationCommands(QWidget* dialogParent, TTransfer& transfer,
                                                         Languages languages, StatusLine status)
    : m_dialogParent(dialogParent), m_transfer(transfer), m_languages(std::move(languages)), m_status(std::move(status))
{}

DocumentTranslationCommands::~DocumentTranslationCommands() { delete m_progress; }

void DocumentTranslationCommands::translateDocument()
{
    if (m_busy) {
        if (m_progress)
            m_progress->raise();
        return;
    }
    UserPrompts& prompts = UserPrompts::instance();
    const QString path = prompts.openDocumentName(OpenTitle, m_lastPath, TranslatedDocument::openFilter(), QString());
    if (path.isEmpty())
        return;
    m_lastPath = path;
    const QString unreadable = DocumentLoadJob::unreadable(path);
    if (!unreadable.isEmpty()) {
        prompts.message(QStringLiteral("Failed to open %1: %2.").arg(path, unreadable), UserPrompts::Kind::Error);
        return;
    }
    if (DocumentTranslationJob::formatOf(path).isEmpty() && !TranslatedDocument::textOnly(path)) {
        prompts.message(QStringLiteral("%1 is not a document that can be translated here: choose a .docx, .odt, "
                                       ".pptx, .odp, .xlsx, .ods, .html, .htm, .rtf, .doc, .xls, .ppt or .pdf file.")
                            .arg(QFileInfo(path).fileName()),
                        UserPrompts::Kind::Information);
        return;
    }
    if (TranslatedDocument::textOnly(path)
        && prompts.question(TranslatedDocument::textOnlyReason(path) + QStringLiteral("\n\nTranslate it?"), OpenTitle)
               != UserPrompts::Answer::Yes)
        return;
    start(path);
}

void DocumentTranslationCommands::start(const QString& path)
{
    m_busy = true;
    m_source = path;
    const TranslationRequest languages = m_languages();
    m_targetCode = languages.targetCode;
    if (!TranslatedDocument::textOnly(path)) {
        DocumentRequest request;
        request.path = path;
        request.languages = languages;
        m_documentJob = DocumentTranslationJob::start(request, this);
        connect(m_documentJob, &DocumentTranslationJob::finished, this, [this](const TranslationResult& result) {
            finished(result, m_documentJob ? m_documentJob->document() : QByteArray());
        });
        // the busy indicator turns into a bar once the service tells how far it is
        const QString label = progressLabel(path, languages);
        connect(m_documentJob, &DocumentTranslationJob::progress, this, [this, label](int percent) {
            if (!m_progress)
                return;
            m_progress->setMaximum(100);
            m_progress->setValue(percent);
            m_progress->setLabelText(QStringLiteral("%1 %2%").arg(label).arg(percent));
        });
        showProgress(path, languages, false);
        return;
    }
    // the converter runs as a job of its own; its text goes to the translation, not the pane
    DocumentLoadRequest load;
    load.path = path;
    load.fetch = DocumentLoadJob::fetchWith(m_transfer);
    load.limits = m_converterLimits;
    load.plainTextOnly = true;
    m_loadJob = DocumentLoadJob::start(std::move(load), this);
    connect(m_loadJob, &DocumentLoadJob::progress, this, [this](const QString& status) { m_status(status); });
    connect(m_loadJob, &DocumentLoadJob::finished, this, [this, languages](const DocumentLoadResult& result) {
        m_loadJob->deleteLater();
        if (!result.loaded()) {
            if (!result.problem.isEmpty())
                UserPrompts::instance().message(result.problem, UserPrompts::Kind::Warning,
                                                QCoreApplication::applicationName());
            if (result.outcome == DocumentLoadResult::Outcome::Failed)
                m_status(QStringLiteral("Ready."));
            end();
            return;
        }
        m_status(result.path + QStringLiteral(" loaded."));
        if (!result.notice.isEmpty())
            UserPrompts::instance().message(result.notice, UserPrompts::Kind::Warning,
                                            QCoreApplication::applicationName());
        translateText(result.path, languages, result.text);
    });
}

void DocumentTranslationCommands::translateText(const QString& path, const TranslationRequest& languages,
                                                const QString& text)
{
    TranslationRequest request = languages;
    request.text = text;
    m_paragraphs.clear();
    m_textJob = Translator::start(request, this);
    connect(m_textJob, &TranslationJob::progress, this, [this](int chunk, int count, const QString&) {
        if (m_progress && count > 0)
            m_progress->setValue(chunk * 100 / count);
    });
    connect(m_textJob, &TranslationJob::paragraph, this,
            [this](int, const QString& translation) { m_paragraphs << translation; });
    connect(m_textJob, &TranslationJob::finished, this, [this](const TranslationResult& result) {
        // the service marks paragraphs inside a piece with CR LF; the file has one kind of line end
        QString text = m_paragraphs.join(QLatin1Char('\n')) + QLatin1Char('\n');
        finished(result, text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toUtf8());
    });
    showProgress(path, languages, true);
}

QString DocumentTranslationCommands::progressLabel(const QString& path, const TranslationRequest& languages)
{
    return QStringLiteral("Translating %1 from %2 to %3...")
        .arg(QFileInfo(path).fileName(), languages.sourceName, languages.targetName);
}

void DocumentTranslationCommands::showProgress(const QString& path, const TranslationRequest& languages, bool measured)
{
    // not modal: the window stays usable while a long document goes
    m_progress = new QProgressDialog(progressLabel(path, languages), QStringLiteral("Cancel"), 0, measured ? 100 : 0,
                                     m_dialogParent);
    m_progress->setObjectName(QStringLiteral("DocumentProgress"));
    m_progress->setWindowTitle(OpenTitle);
    m_progress->setWindowModality(Qt::NonModal);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setMinimumDuration(0);
    m_progress->setValue(0);
    connect(m_progress, &QProgressDialog::canceled, this, [this] {
        if (m_documentJob)
            m_documentJob->cancel();
        if (m_textJob)
            m_textJob->cancel();
    });
    m_progress->show();
}

void DocumentTranslationCommands::finished(const TranslationResult& result, const QByteArray& translated)
{
    if (m_progress)
        m_progress->deleteLater();
    m_progress = nullptr;
    for (QObject* job : {static_cast<QObject*>(m_documentJob.data()), static_cast<QObject*>(m_textJob.data())})
        if (job)
            job->deleteLater();
    m_documentJob = nullptr;
    m_textJob = nullptr;
    UserPrompts& prompts = UserPrompts::instance();
    switch (result.outcome) {
    case Outcome::Refused:
        prompts.message(result.message, UserPrompts::Kind::Information, QCoreApplication::applicationName());
        break;
    case Outcome::Failed:
        prompts.message(QStringLiteral("%1 could not be translated.\n%2").arg(m_source, result.message),
                        UserPrompts::Kind::Error);
        break;
    case Outcome::Stopped:
        m_status(TranslationJob::StoppedText);
        break;
    case Outcome::Done:
        // the Save dialog waits with the window live: not inside the job's signal
        QMetaObject::invokeMethod(
            this, [this, translated] { save(translated); }, Qt::QueuedConnection);
        return;
    }
    end();
}

void DocumentTranslationCommands::save(const QByteArray& translated)
{
    UserPrompts& prompts = UserPrompts::instance();
    QString proposed = TranslatedDocument::proposedName(m_source, m_targetCode);
    for (;;) {
        const QString chosen = prompts.saveNewFileName(SaveTitle, proposed, TranslatedDocument::saveFilter(m_source),
                                                       TranslatedDocument::saveExtension(m_source));
        if (chosen.isEmpty()) {
            m_status(QStringLiteral("The translation of %1 was not saved.").arg(QFileInfo(m_source).fileName()));
            break;
        }
        proposed = chosen;
        const QFileInfo target(chosen);
        if (target.exists() && target.canonicalFilePath() == QFileInfo(m_source).canonicalFilePath()) {
            prompts.message(QStringLiteral("%1 is the document being translated: choose another name for its "
                                           "translation.")
                                .arg(chosen),
                            UserPrompts::Kind::Warning);
            continue;
        }
        if ((target.exists() || target.isSymLink())
            && prompts.question(QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(chosen), SaveTitle)
                   != UserPrompts::Answer::Yes)
            continue;
        const QString problem = DocumentTranslationJob::writeBeside(chosen, translated);
        if (!problem.isEmpty()) {
            prompts.message(problem + QStringLiteral("\nChoose another folder or free some space."),
                            UserPrompts::Kind::Error);
            continue;
        }
        m_status(QStringLiteral("The translated document was saved as %1.").arg(chosen));
        if (prompts.question(QStringLiteral("The translated document was saved as %1.\nOpen it now?").arg(chosen),
                             SaveTitle)
            == UserPrompts::Answer::Yes)
            openWithDesktop(chosen);
        break;
    }
    end();
}

void DocumentTranslationCommands::openWithDesktop(const QString& path)
{
    // always through the desktop's opener: a translated text that starts with "#!" is no program to run
    const QString opener = Shell::openerProgram();
    if (opener.isEmpty() || !Shell::run(opener, {path}, false, QFileInfo(path).absolutePath()).finished())
        UserPrompts::instance().message(
            QStringLiteral("%1 could not be opened: no desktop application opener (xdg-open) is installed.").arg(path),
            UserPrompts::Kind::Warning);
}

void DocumentTranslationCommands::end()
{
    m_busy = false;
    emit ended();
}
