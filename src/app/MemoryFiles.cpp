#include "MemoryFiles.h"

#include "History.h"
#include "HistoryRecorder.h"
#include "MainWindow.h"
#include "TmxFile.h"
#include "UserPrompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QThreadPool>

namespace {
const char* const TmxFilter = "Translation memory (*.tmx);;All files (*)";
}

MemoryFiles::MemoryFiles(MainWindow& form) : QObject(&form), m_form(form) {}

void MemoryFiles::Export(const QString& words)
{
    if (m_busy)
        return;
    const QString path = UserPrompts::instance().saveFileName(
        QStringLiteral("Export translation memory"), QDir::homePath() + QStringLiteral("/translation-memory.tmx"),
        QLatin1String(TmxFilter), QStringLiteral("tmx"));
    if (path.isEmpty())
        return;
    run(QStringLiteral("Exporting the translation memory to %1 ...").arg(path),
        [path, words](History& history) { return TmxFile::Export(history, path, words); });
}

void MemoryFiles::import()
{
    if (m_busy)
        return;
    const QString path = UserPrompts::instance().openFileName(QStringLiteral("Import translation memory"),
                                                              QDir::homePath(), QLatin1String(TmxFilter));
    if (path.isEmpty())
        return;
    run(QStringLiteral("Importing the translation memory from %1 ...").arg(path),
        [path](History& history) { return TmxFile::import(history, path); });
}

void MemoryFiles::run(const QString& status, std::function<TmxFile::Outcome(History&)> work)
{
    m_busy = true;
    m_form.setStatus(status, false);
    QThreadPool::globalInstance()->start([work = std::move(work), self = QPointer<MemoryFiles>(this)] {
        // what the window's own translations are still recording goes in first
        HistoryRecorder::flush();
        History history(History::defaultPath());
        const TmxFile::Outcome outcome = work(history);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, outcome] {
                if (!self)
                    return;
                self->m_busy = false;
                self->m_form.setStatus(outcome.message, false);
                UserPrompts::instance().message(outcome.message,
                                                outcome.ok ? UserPrompts::Kind::Information : UserPrompts::Kind::Error,
                                                QCoreApplication::applicationName());
            },
            Qt::QueuedConnection);
    });
}
