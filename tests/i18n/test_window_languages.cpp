// The seven interface languages on the real main window: every caption and
// hint of the table lands on the widget that shows it, the check marks follow,
// and the start-up order (detected, then stored, then applied) holds.
#include "InterfaceCaptions.h"
#include "TranslationOptions.h"
#include "WindowDriver.h"
#include "InterfaceLanguage.h"
#include "../app/AppFixture.h"
#include "../proxy/ProxyDialogDriver.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <sys/stat.h>

namespace {

// the Interface Language menu's items, in the order of the caption table's columns
const char* const kLanguageItems[] = {ObjectName::englishItem, ObjectName::frenchItem,  ObjectName::spanishItem,
                                      ObjectName::germanItem,  ObjectName::italianItem, ObjectName::portugueseItem,
                                      ObjectName::dutchItem};

// What the user sees of one row: a menu's title, an item's caption, a control's hint.
QString shownText(QObject* object, CaptionKind kind)
{
    if (kind == CaptionKind::Hint)
        return object->isWidgetType() ? static_cast<QWidget*>(object)->toolTip()
                                      : qobject_cast<QAction*>(object)->toolTip();
    if (auto* menu = qobject_cast<QMenu*>(object))
        return menu->title();
    if (auto* action = qobject_cast<QAction*>(object))
        return action->text();
    return QStringLiteral("<%1 is neither menu nor item>").arg(object->objectName());
}

QStringList checkedLanguageItems(MainWindow& form)
{
    QStringList checked;
    for (const QString& name : interfaceLanguageItemNames())
        if (form.findChild<QAction*>(name)->isChecked())
            checked << name;
    return checked;
}

// Every row of the table shows the text of `column`; mismatches are listed.
QStringList differencesFrom(MainWindow& form, int column)
{
    QStringList differences;
    for (const CaptionRow& row : interfaceCaptionTable()) {
        // other windows read their texts for themselves
        if (row.kind == CaptionKind::Text)
            continue;
        QObject* object = form.findChild<QObject*>(QLatin1String(row.objectName));
        if (!object) {
            differences << QStringLiteral("%1 missing").arg(row.objectName);
            continue;
        }
        const QString shown = shownText(object, row.kind);
        if (shown != interfaceCaptionText(row, column))
            differences << QStringLiteral("%1 shows \"%2\"").arg(row.objectName, shown);
    }
    return differences;
}

}  // namespace

class TestWindowLanguages : public QObject {
    Q_OBJECT
private slots:
    void init() { m_fixture = std::make_unique<AppFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void everyLanguagePutsItsWholeColumnOnTheWindow_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("fileMenu");
        QTest::addColumn<QString>("oddOne");
        QTest::addColumn<QString>("oddOneName");
        QTest::newRow("English") << 0 << "&File"
                                 << "Select &All"
                                 << "outslectionner1";
        QTest::newRow("French") << 1 << "&Fichier"
                                << "&Mettre ?jour"
                                << "U1";
        QTest::newRow("Spanish") << 2 << "&Archivo"
                                 << "&Acerca de ..."
                                 << "About1";
        QTest::newRow("German") << 3 << "&Datei" << QString::fromUtf8("Öffn&en") << "Ouvrir1";
        QTest::newRow("Italian") << 4 << "&File"
                                 << "Secgli &tutti"
                                 << "outslectionner1";
        QTest::newRow("Portuguese") << 5 << "&Ficheiro" << QString::fromUtf8("Configuraçao da impressora") << "N2";
        QTest::newRow("Dutch") << 6 << "&Bestand"
                               << "&On&gedaan maken"
                               << "Dfaire1";
    }
    void everyLanguagePutsItsWholeColumnOnTheWindow()
    {
        QFETCH(int, column);
        QFETCH(QString, fileMenu);
        QFETCH(QString, oddOne);
        QFETCH(QString, oddOneName);
        MainWindow form;
        QVERIFY(form.InterfaceLanguage == "English");
        // start from another language so that nothing passes by staying put
        ui(form).item(kLanguageItems[(column + 3) % 7])->trigger();
        ui(form).item(kLanguageItems[column])->trigger();

        QCOMPARE(form.InterfaceLanguage, interfaceLanguageNames()[column]);
        QCOMPARE(differencesFrom(form, column), QStringList());
        QCOMPARE(form.menuBar()->actions().first()->text(), fileMenu);
        QCOMPARE(form.findChild<QAction*>(oddOneName)->text(), oddOne);
        QCOMPARE(checkedLanguageItems(form), QStringList{interfaceLanguageItemNames()[column]});
        // the pop-up's words are the toolbar's hints
        QCOMPARE(ui(form).item(ObjectName::paneCutItem)->text(), ui(form).button(ObjectName::cutButton)->toolTip());
        QCOMPARE(ui(form).item(ObjectName::paneCopyItem)->text(), ui(form).button(ObjectName::copyButton)->toolTip());
        QCOMPARE(ui(form).item(ObjectName::panePasteItem)->text(), ui(form).button(ObjectName::pasteButton)->toolTip());
        QVERIFY(m_fixture->prompts.errors.isEmpty());
    }

    void pickingFromTheMenuRunsTheHandler()
    {
        MainWindow form;
        ui(form).item(ObjectName::germanItem)->trigger();
        QCOMPARE(form.InterfaceLanguage, QString("German"));
        QCOMPARE(ui(form).menu(ObjectName::fileMenu)->title(), QString("&Datei"));
        QCOMPARE(ui(form).button(ObjectName::underlineButton)->toolTip(), QString("Unterstrichen"));
        // picking the checked item again keeps it the only one checked
        ui(form).item(ObjectName::germanItem)->trigger();
        QCOMPARE(checkedLanguageItems(form), QStringList{"German2"});
    }

    void spanishThenEnglishRestoresEveryEnglishText()
    {
        MainWindow form;
        ui(form).item(ObjectName::spanishItem)->trigger();
        QCOMPARE(ui(form).menu(ObjectName::editMenu)->title(), QString("&Editar"));
        ui(form).item(ObjectName::englishItem)->trigger();
        QCOMPARE(differencesFrom(form, 0), QStringList());
        QCOMPARE(ui(form).menu(ObjectName::editMenu)->title(), QString("&Edit"));
        QCOMPARE(checkedLanguageItems(form), QStringList{"English1"});
    }

    void itemsOutsideTheTableKeepTheirTexts()
    {
        MainWindow form;
        const QStringList names{"Merlin2",     "ReadSrc",      "IdentifyLang", "SerbianCyrillic",
                                "KeepHistory", "ProxyServer1", "English1",     "Francais1",
                                "Merlin1",     "N401",         "USEnglish1",   "AE"};
        QStringList before;
        for (const QString& name : names)
            before << form.findChild<QAction*>(name)->text();
        const QString ts = ui(form).menu(ObjectName::speechMenu)->title(),
                      misc = ui(form).menu(ObjectName::miscMenu)->title(), caption = form.windowTitle();
        const QString sizeHint = ui(form).box(ObjectName::fontSizeBox)->toolTip();
        for (const char* item : kLanguageItems) {
            ui(form).item(item)->trigger();
            QStringList after;
            for (const QString& name : names)
                after << form.findChild<QAction*>(name)->text();
            QCOMPARE(after, before);
            QCOMPARE(ui(form).menu(ObjectName::speechMenu)->title(), ts);
            QCOMPARE(ui(form).menu(ObjectName::miscMenu)->title(), misc);
            QCOMPARE(form.windowTitle(), caption);
            QCOMPARE(ui(form).box(ObjectName::fontSizeBox)->toolTip(), sizeHint);
        }
        QCOMPARE(ui(form).item(ObjectName::proxyServerItem)->text(), QString("Proxy Server..."));
        QCOMPARE(ui(form).item(ObjectName::frenchItem)->text(), QString("French"));
        QCOMPARE(caption, QString("Linguaro Translator Pro 6.2"));
    }

    void startUpFollowsTheSystemLanguage_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("fileMenu");
        QTest::newRow("fr_FR") << QByteArray("fr_FR.UTF-8") << "French"
                               << "&Fichier";
        QTest::newRow("pt_BR") << QByteArray("pt_BR.UTF-8") << "Portuguese"
                               << "&Ficheiro";
        QTest::newRow("nl_NL") << QByteArray("nl_NL.UTF-8") << "Dutch"
                               << "&Bestand";
        QTest::newRow("es_ES") << QByteArray("es_ES.UTF-8") << "Spanish"
                               << "&Archivo";
        QTest::newRow("zh_TW") << QByteArray("zh_TW.UTF-8") << "English"
                               << "&File";
        QTest::newRow("ja_JP") << QByteArray("ja_JP.UTF-8") << "English"
                               << "&File";
        QTest::newRow("C") << QByteArray("C") << "English"
                           << "&File";
    }
    void startUpFollowsTheSystemLanguage()
    {
        QFETCH(QByteArray, locale);
        QFETCH(QString, language);
        QFETCH(QString, fileMenu);
        qputenv("LANG", locale);
        MainWindow form;
        QVERIFY(!form.EndRequested);
        QCOMPARE(form.InterfaceLanguage, language);
        QCOMPARE(ui(form).menu(ObjectName::fileMenu)->title(), fileMenu);
        QCOMPARE(checkedLanguageItems(form),
                 QStringList{interfaceLanguageItemNames()[interfaceLanguageColumn(language)]});
    }

    void storedLanguageWinsOverTheDetectedOne_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("fileMenu");
        QTest::newRow("German over French") << QByteArray("\"lang\"=\"German\"\n") << "German"
                                            << "&Datei";
        QTest::newRow("empty is English") << QByteArray("\"lang\"=\"\"\n") << "English"
                                          << "&File";
        QTest::newRow("Italian") << QByteArray("\"lang\"=\"Italian\"\n") << "Italian"
                                 << "&File";
    }
    void storedLanguageWinsOverTheDetectedOne()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, language);
        QFETCH(QString, fileMenu);
        qputenv("LANG", "fr_FR.UTF-8");
        m_fixture->writeStore(stored);
        MainWindow form;
        QCOMPARE(form.InterfaceLanguage, language);
        QCOMPARE(ui(form).menu(ObjectName::fileMenu)->title(), fileMenu);
        QCOMPARE(differencesFrom(form, interfaceLanguageColumn(language)), QStringList());
    }

    void unknownStoredLanguageKeepsTheLayoutsCaptions()
    {
        qputenv("LANG", "fr_FR.UTF-8");
        m_fixture->writeStore("\"lang\"=\"french\"\n");  // compared exactly: no language matches
        MainWindow form;
        QCOMPARE(form.InterfaceLanguage, QString("french"));
        QCOMPARE(ui(form).menu(ObjectName::fileMenu)->title(), QString("&File"));
        QCOMPARE(ui(form).button(ObjectName::newButton)->toolTip(), QString("New"));
        QVERIFY(m_fixture->prompts.errors.isEmpty());
        // the user can still pick a language
        ui(form).item(ObjectName::dutchItem)->trigger();
        QCOMPARE(ui(form).menu(ObjectName::fileMenu)->title(), QString("&Bestand"));
    }

    void proxyEditsFromTheMenuAreKeptAndStoredOwnerOnly()
    {
        MainWindow form;
        // the dialog opens once the menu is done with its event, with the driver waiting for it
        ui(form).item(ObjectName::proxyServerItem)->trigger();
        ProxyDialogDriver driver([](ProxyDialog* dialog) {
            dialog->useProxyBox->setChecked(true);
            dialog->addressEdit->setText("proxy.lan");
            QTest::keyClicks(dialog->portEdit, "3a");  // the letter is refused with the port message
            QTest::keyClicks(dialog->portEdit, "3128");
            dialog->userNameEdit->setText("alice");
            dialog->passwordEdit->setText("s3cret");
            dialog->cancelButton->click();  // Cancel keeps what was typed
        });
        QCoreApplication::sendPostedEvents();
        QVERIFY(driver.acted());
        QCOMPARE(m_fixture->prompts.messages, QStringList{"Port number should be a value between 1 to 65535"});
        QCOMPARE(form.options().proxy.UseProxy, true);
        QCOMPARE(form.options().proxy.Address, QString("proxy.lan"));
        QCOMPARE(form.options().proxy.Port, QString("3128"));
        QCOMPARE(form.options().proxy.Password, QString("s3cret"));

        form.close();
        const QByteArray stored = m_fixture->storeText();
        QVERIFY(stored.contains("\"UseProxy\"=dword:00000001\n"));
        QVERIFY(stored.contains("\"Password\"=\"s3cret\"\n"));
        struct stat info {};
        QCOMPARE(::stat(m_fixture->storePath().toLocal8Bit().constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));
    }

private:
    std::unique_ptr<AppFixture> m_fixture;
};

QTEST_MAIN(TestWindowLanguages)
#include "test_window_languages.moc"
