// linguaro-manual-shots OUTPUT_FOLDER: takes the manual's pictures from the real main
// window and its dialogs on the X server it runs on (scripts/manual-screenshots.sh runs
// it under Xvfb) and writes them as PNG files into OUTPUT_FOLDER.

#include "DocumentCommands.h"
#include "WindowDriver.h"
#include "HistoryCommands.h"
#include "HistoryRecorder.h"
#include "HistoryWindow.h"
#include "LanguageTable.h"
#include "SearchDialog.h"
#include "SourceLanguageBar.h"
#include "MainWindow.h"
#include "AboutBox.h"
#include "ProxyDialog.h"
#include "ToolbarIcons.h"
#include "TransferGui.h"
#include "UserPrompts.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QUrl>

#include <cstdio>

namespace {

QString g_output;

void settle(int ms = 300)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The screen's pixels over `area` (windows and the menus open above them).
void shoot(const QString& name, const QRect& area)
{
    settle();
    const QPixmap shot =
        QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (!shot.save(g_output + u'/' + name))
        fprintf(stderr, "cannot write %s\n", qPrintable(name));
    else
        printf("%s\n", qPrintable(name));
}

void shoot(const QString& name, QWidget* window) { shoot(name, window->frameGeometry()); }

// Messages appear as real message boxes, are photographed when a picture is waiting
// for them, and close by themselves, so no step waits for a click.
class ShotPrompts final : public UserPrompts {
public:
    QString nextShot;

    void message(const QString& text, Kind kind, const QString& title) override
    {
        QMessageBox box(kind == Kind::Information ? QMessageBox::Information : QMessageBox::Warning,
                        title.isEmpty() ? QApplication::applicationName() : title, text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.show();
        if (!nextShot.isEmpty()) {
            shoot(nextShot, &box);
            nextShot.clear();
        } else {
            fprintf(stderr, "message: %s\n", qPrintable(text));
        }
    }
    Answer question(const QString& text, const QString&) override
    {
        fprintf(stderr, "question: %s\n", qPrintable(text));
        return Answer::No;
    }
    void errorReport(const QString& text) override { fprintf(stderr, "error: %s\n", qPrintable(text)); }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
};

const char* SampleText = "Welcome to our town library.\n"
                         "The reading room is open every day from nine in the morning until eight in the evening. "
                         "You can borrow up to ten books for three weeks.\n"
                         "Ask at the front desk for a free library card.";

void write(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(content);
        file.flush();
        // one date for every run, so the pictures change only when the program does
        file.setFileTime(QDateTime(QDate(2024, 3, 1), QTime(9, 30)), QFileDevice::FileModificationTime);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: linguaro-manual-shots OUTPUT_FOLDER\n");
        return 2;
    }
    g_output = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(g_output);
    QCoreApplication::setApplicationName(QStringLiteral("Linguaro Translator"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brenmark"));

    // a fresh user: settings and downloads in a folder of their own, the site of this build
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    // English menus; a locale every machine has, which the translation engine also needs
    qputenv("LANG", "C.UTF-8");
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LINGUARO_SERVICE_URL", "http_proxy", "HTTP_PROXY"})
        qunsetenv(name);
    qputenv("LINGUARO_SITE_URL",
            QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/site").toString().toUtf8());
    ShotPrompts prompts;
    UserPrompts::setInstance(&prompts);
    registerTransferGui();

    ToolbarIcons::applicationIcon().pixmap(64, 64).save(g_output + "/icon.png");

    MainWindow form;
    form.show();
    form.activateWindow();
    settle(800);

    // a short translation from English into Spanish by the built-in service
    const QStringList languages = LanguageTable::displayNames();
    ui(form).sourceList()->setCurrentIndex(languages.indexOf(QStringLiteral("English")));
    ui(form).targetList()->setCurrentIndex(languages.indexOf(QStringLiteral("Spanish")));
    ui(form).sourcePane()->setPlainText(QString::fromUtf8(SampleText));
    form.translateOrStop();
    // the translation runs beside the window: the picture shows it finished
    for (int waited = 0; form.translating() && waited < 60000; waited += 100)
        settle(100);
    settle();
    shoot(QStringLiteral("main.png"), &form);

    // French under an English source: the bar above the panes asks before anything is sent
    const QString before = ui(form).sourcePane()->toPlainText();
    ui(form).sourcePane()->setPlainText(
        QStringLiteral("La salle de lecture est ouverte tous les jours de neuf heures du matin "
                       "jusqu'à huit heures du soir."));
    form.translateOrStop();
    settle();
    shoot(QStringLiteral("source-bar.png"), &form);
    ui(form).find<SourceLanguageBar>(ObjectName::sourceBar)->hide();
    ui(form).sourcePane()->setPlainText(before);
    // the History window with the translation just made
    HistoryRecorder::flush();
    form.history().open();
    for (int waited = 0; waited < 3000; waited += 100)
        settle(100);
    if (form.history().window())
        shoot(QStringLiteral("history.png"), form.history().window());

    const std::pair<QMenu*, const char*> menus[] = {{ui(form).menu(ObjectName::fileMenu), "menu-file.png"},
                                                    {ui(form).menu(ObjectName::editMenu), "menu-edit.png"},
                                                    {ui(form).menu(ObjectName::translateMenu), "menu-translate.png"},
                                                    {ui(form).menu(ObjectName::optionsMenu), "menu-options.png"},
                                                    {ui(form).menu(ObjectName::toolsMenu), "menu-tools.png"},
                                                    {ui(form).menu(ObjectName::helpMenu), "menu-help.png"}};
    for (const auto& [menu, name] : menus) {
        form.menuBar()->setActiveAction(menu->menuAction());
        settle();
        // the menu with the part of the window around it
        const QRect window = form.frameGeometry();
        const QRect around(window.topLeft(), QPoint(qMin(window.right(), menu->geometry().right() + 60),
                                                    qMin(window.bottom(), menu->geometry().bottom() + 24)));
        shoot(QLatin1String(name), around.united(menu->geometry()));
        menu->hide();
        form.menuBar()->setActiveAction(nullptr);
        settle(100);
    }

    // the Open dialog over a folder of documents of every kind
    // a folder of one name for every run, so the pictures change only when the program does
    QDir user(QDir::tempPath() + QStringLiteral("/linguaro-manual"));
    user.removeRecursively();
    const QString documents = user.filePath(QStringLiteral("Documents"));
    QDir().mkpath(documents);
    for (const char* name : {"Annual report.docx", "Budget 2024.xlsx", "Letter.doc", "Notes.txt", "Product sheet.pdf",
                             "Training.pptx", "Welcome page.html", "Contract.rtf"})
        write(documents + '/' + name, "sample");
    {
        QFileDialog dialog(&form, form.openDialog.Title, documents, form.openDialog.nameFilters());
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.resize(640, 400);
        dialog.show();
        settle(600);
        shoot(QStringLiteral("open.png"), &dialog);
    }
    user.removeRecursively();

    QTextCursor cursor(ui(form).sourcePane()->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
    ui(form).sourcePane()->setTextCursor(cursor);
    form.documents().find();
    shoot(QStringLiteral("find.png"), form.documents().findDialog());
    form.documents().findDialog()->close();
    form.documents().replace();
    shoot(QStringLiteral("replace.png"), form.documents().replaceDialog());
    form.documents().replaceDialog()->close();

    {
        ProxyDialog proxy(&form);
        ProxySettings settings;
        settings.UseProxy = true;
        settings.Address = QStringLiteral("proxy.example.org");
        settings.Port = QStringLiteral("3128");
        proxy.loadFrom(settings);
        proxy.show();
        shoot(QStringLiteral("proxy.png"), &proxy);
    }
    {
        AboutBox about(&form, ToolbarIcons::applicationIcon());
        about.show();
        shoot(QStringLiteral("about.png"), &about);
    }

    prompts.nextShot = QStringLiteral("update.png");
    ui(form).item(ObjectName::updateItem)->trigger();

    form.close();
    UserPrompts::setInstance(nullptr);
    return 0;
}
