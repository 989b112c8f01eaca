#include "DocumentOpening.h"

#include "PaneDocument.h"
#include "UserPrompts.h"

#include <QCoreApplication>
#include <QTextDocument>

namespace {
const QString IdleStatus = QStringLiteral("Ready.");
}

DocumentOpening::DocumentOpening(Pane source, TTransfer& transfer, FileOpenDialog& dialog, StatusLine status,
                                 QObject* parent)
    : QObject(parent), m_source(std::move(source)), m_transfer(transfer), m_dialog(dialog), m_status(std::move(status))
{}

void DocumentOpening::accept(const QString& path)
{
    // the later choice wins: what the earlier one would have loaded goes nowhere
    if (m_job) {
        m_job->disconnect(this);
        m_job->cancel();
        m_job->deleteLater();
    }
    m_loaded = false;
    DocumentLoadRequest request;
    request.path = path;
    request.fetch = DocumentLoadJob::fetchWith(m_transfer);
    request.limits = ConverterLimits;
    request.layout = PaneDocument::Layout::of(m_source.document());
    DocumentLoadJob* job = DocumentLoadJob::start(std::move(request), this);
    m_job = job;
    connect(job, &DocumentLoadJob::progress, this, [this](const QString& status) { m_status(status, true); });
    connect(job, &DocumentLoadJob::finished, this,
            [this, job](const DocumentLoadResult& result) { ended(job, result); });
}

void DocumentOpening::ended(DocumentLoadJob* job, const DocumentLoadResult& result)
{
    m_job = nullptr;
    job->deleteLater();
    const QString& path = result.path;
    using Outcome = DocumentLoadResult::Outcome;
    switch (result.outcome) {
    case Outcome::Cancelled:
        return;
    case Outcome::NoConverter:
        // the status line stays as it was: nothing was loading yet
        if (!result.problem.isEmpty())
            report(result.problem);
        m_dialog.FileName = path;
        emit finished(false);
        return;
    case Outcome::Failed:
        fail(path, result.problem);
        return;
    case Outcome::Loaded:
        break;
    }
    if (!result.richText.isEmpty()) {
        const PaneDocument::Outcome read = PaneDocument::loadData(result.richText, m_source.document(), path);
        if (!read.ok) {
            fail(path, read.error);
            return;
        }
    } else if (result.built) {
        m_source.adopt(job->takeBuilt());
    } else {
        PaneDocument::setPlainText(m_source.document(), result.text);
    }
    m_loaded = true;
    m_status(path + QStringLiteral(" loaded."), false);
    // the next Open dialog starts at the chosen document, not at a converter's output
    m_dialog.FileName = path;
    if (!result.notice.isEmpty())
        report(result.notice);
    emit finished(true);
}

void DocumentOpening::report(const QString& text)
{
    UserPrompts::instance().message(text, UserPrompts::Kind::Warning, QCoreApplication::applicationName());
}

void DocumentOpening::fail(const QString& path, const QString& problem)
{
    report(problem);
    m_status(IdleStatus, false);
    m_dialog.FileName = path;
    emit finished(false);
}
