#include "ProxyDialogDriver.h"

#include "UserPrompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <functional>

namespace {

const QString kPortMessage = QStringLiteral("Port number should be a value between 1 to 65535");

struct RecordingPrompts final : UserPrompts {
    QStringList messages;
    void message(const QString& text, Kind, const QString&) override { messages << text; }
    Answer question(const QString&, const QString&) override { return Answer::No; }
    void errorReport(const QString& text) override { messages << "error: " + text; }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
};

// Runs the dialog the way the Options menu does, with `user` acting on it
// once it is up.
void editWhileShown(ProxySettings& proxy, std::function<void(ProxyDialog*)> user)
{
    ProxyDialogDriver driver(std::move(user));
    ProxyDialog::editProxySettings(nullptr, proxy);
    QVERIFY2(driver.acted(), "the dialog was not shown modally");
}

ProxySettings filled() { return ProxySettings{true, "proxy.example", "3128", "alice", "s3cret"}; }

}  // namespace

class TestProxyDialog : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_prompts.messages.clear();
        UserPrompts::setInstance(&m_prompts);
    }
    void cleanup() { UserPrompts::setInstance(nullptr); }

    void everyWayOfClosingKeepsTheEdits_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("OK") << "ok";
        QTest::newRow("Cancel") << "cancel";
        QTest::newRow("close box") << "close";
        QTest::newRow("Escape") << "escape";
    }
    void everyWayOfClosingKeepsTheEdits()
    {
        QFETCH(QString, how);
        ProxySettings proxy = filled();
        editWhileShown(proxy, [&](ProxyDialog* dialog) {
            dialog->addressEdit->setText("gateway.lan");
            dialog->portEdit->setText("8080");
            dialog->userNameEdit->setText("bob");
            dialog->passwordEdit->setText("pa:ss");
            dialog->useProxyBox->setChecked(false);
            if (how == "ok")
                dialog->okButton->click();
            else if (how == "cancel")
                dialog->cancelButton->click();
            else if (how == "close")
                dialog->close();
            else
                QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QCOMPARE(proxy.Address, QString("gateway.lan"));
        QCOMPARE(proxy.Port, QString("8080"));
        QCOMPARE(proxy.UserName, QString("bob"));
        QCOMPARE(proxy.Password, QString("pa:ss"));
        QCOMPARE(proxy.UseProxy, false);
        QVERIFY(m_prompts.messages.isEmpty());
    }

    void dialogShowsTheSettingsItWasGiven()
    {
        ProxySettings proxy = filled();
        editWhileShown(proxy, [](ProxyDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("Proxy Server Settings"));
            QVERIFY(dialog->useProxyBox->isChecked());
            QCOMPARE(dialog->addressEdit->text(), QString("proxy.example"));
            QCOMPARE(dialog->portEdit->text(), QString("3128"));
            QCOMPARE(dialog->userNameEdit->text(), QString("alice"));
            QCOMPARE(dialog->passwordEdit->text(), QString("s3cret"));
            QCOMPARE(dialog->passwordEdit->displayText(), QString("******"));
            QVERIFY(dialog->addressEdit->isEnabled() && dialog->passwordLabel->isEnabled());
            dialog->okButton->click();
        });
        QCOMPARE(proxy.Password, QString("s3cret"));
        QVERIFY(proxy.UseProxy);
    }

    void editsFollowTheCheckBox()
    {
        ProxyDialog dialog(nullptr);
        const QList<QWidget*> controls{dialog.addressEdit,   dialog.portEdit,     dialog.userNameEdit,
                                       dialog.passwordEdit,  dialog.addressLabel, dialog.portLabel,
                                       dialog.userNameLabel, dialog.passwordLabel};
        for (QWidget* control : controls)
            QVERIFY(!control->isEnabled());
        dialog.useProxyBox->click();
        for (QWidget* control : controls)
            QVERIFY(control->isEnabled());
        dialog.useProxyBox->click();
        for (QWidget* control : controls)
            QVERIFY(!control->isEnabled());
        QVERIFY(dialog.useProxyBox->isEnabled() && dialog.okButton->isEnabled());
    }

    void tabOrderFollowsTheForm()
    {
        ProxyDialog dialog(nullptr);
        dialog.useProxyBox->setChecked(true);
        const QList<QWidget*> expected{dialog.useProxyBox,  dialog.addressEdit, dialog.portEdit,    dialog.userNameEdit,
                                       dialog.passwordEdit, dialog.okButton,    dialog.cancelButton};
        QList<QWidget*> chain;
        QWidget* widget = dialog.useProxyBox;
        do {
            if (widget->focusPolicy() & Qt::TabFocus)
                chain << widget;
            widget = widget->nextInFocusChain();
        } while (widget != dialog.useProxyBox && chain.size() < 20);
        QCOMPARE(chain, expected);
    }

    void typedNonDigitEmptiesThePort()
    {
        ProxyDialog dialog(nullptr);
        dialog.useProxyBox->setChecked(true);
        dialog.addressEdit->setText("gateway");
        QTest::keyClicks(dialog.portEdit, "80");
        QVERIFY(m_prompts.messages.isEmpty());
        QTest::keyClicks(dialog.portEdit, "x");
        QCOMPARE(m_prompts.messages, QStringList{kPortMessage});
        QCOMPARE(dialog.portEdit->text(), QString());
        QCOMPARE(dialog.addressEdit->text(), QString("gateway"));

        // the range is not checked, and at most five characters are typed
        m_prompts.messages.clear();
        QTest::keyClicks(dialog.portEdit, "0");
        QCOMPARE(dialog.portEdit->text(), QString("0"));
        dialog.portEdit->clear();
        QTest::keyClicks(dialog.portEdit, "999991");
        QCOMPARE(dialog.portEdit->text(), QString("99999"));
        QVERIFY(m_prompts.messages.isEmpty());

        // a blank or a sign is no digit either
        dialog.portEdit->setText("80 80");
        QCOMPARE(dialog.portEdit->text(), QString());
        dialog.portEdit->setText("-1");
        QCOMPARE(dialog.portEdit->text(), QString());
        QCOMPARE(m_prompts.messages.size(), 2);
    }

    void storedBadPortIsReportedWhenTheDialogOpens()
    {
        ProxySettings proxy = filled();
        proxy.Port = "31a8";
        QStringList messagesWhileShown;
        editWhileShown(proxy, [&](ProxyDialog* dialog) {
            messagesWhileShown = m_prompts.messages;
            QCOMPARE(dialog->portEdit->text(), QString());
            QCOMPARE(dialog->addressEdit->text(), QString("proxy.example"));
            dialog->cancelButton->click();
        });
        QCOMPARE(messagesWhileShown, QStringList{kPortMessage});
        QCOMPARE(proxy.Port, QString());
        QCOMPARE(proxy.Address, QString("proxy.example"));
    }

    void longStoredPortIsNotCutShort()
    {
        ProxySettings proxy = filled();
        proxy.Port = "1234567";
        editWhileShown(proxy, [](ProxyDialog* dialog) { dialog->okButton->click(); });
        QCOMPARE(proxy.Port, QString("1234567"));
        QVERIFY(m_prompts.messages.isEmpty());
    }

private:
    RecordingPrompts m_prompts;
};

QTEST_MAIN(TestProxyDialog)
#include "test_proxy_dialog.moc"
