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
void editWhileShown(ProxySettings& proxy, std::function<void(TForm4*)> user)
{
    ProxyDialogDriver driver(std::move(user));
    TForm4::editProxySettings(nullptr, proxy);
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
        editWhileShown(proxy, [&](TForm4* dialog) {
            dialog->Edit1->setText("gateway.lan");
            dialog->Edit2->setText("8080");
            dialog->Edit3->setText("bob");
            dialog->Edit4->setText("pa:ss");
            dialog->CheckBox1->setChecked(false);
            if (how == "ok")
                dialog->btnOK->click();
            else if (how == "cancel")
                dialog->btnCancel->click();
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
        editWhileShown(proxy, [](TForm4* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("Proxy Server Settings"));
            QVERIFY(dialog->CheckBox1->isChecked());
            QCOMPARE(dialog->Edit1->text(), QString("proxy.example"));
            QCOMPARE(dialog->Edit2->text(), QString("3128"));
            QCOMPARE(dialog->Edit3->text(), QString("alice"));
            QCOMPARE(dialog->Edit4->text(), QString("s3cret"));
            QCOMPARE(dialog->Edit4->displayText(), QString("******"));
            QVERIFY(dialog->Edit1->isEnabled() && dialog->Label4->isEnabled());
            dialog->btnOK->click();
        });
        QCOMPARE(proxy.Password, QString("s3cret"));
        QVERIFY(proxy.UseProxy);
    }

    void editsFollowTheCheckBox()
    {
        TForm4 dialog(nullptr);
        const QList<QWidget*> controls{dialog.Edit1,  dialog.Edit2,  dialog.Edit3,  dialog.Edit4,
                                       dialog.Label1, dialog.Label2, dialog.Label3, dialog.Label4};
        for (QWidget* control : controls)
            QVERIFY(!control->isEnabled());
        dialog.CheckBox1->click();
        for (QWidget* control : controls)
            QVERIFY(control->isEnabled());
        dialog.CheckBox1->click();
        for (QWidget* control : controls)
            QVERIFY(!control->isEnabled());
        QVERIFY(dialog.CheckBox1->isEnabled() && dialog.btnOK->isEnabled());
    }

    void tabOrderFollowsTheForm()
    {
        TForm4 dialog(nullptr);
        dialog.CheckBox1->setChecked(true);
        const QList<QWidget*> expected{dialog.CheckBox1, dialog.Edit1, dialog.Edit2,    dialog.Edit3,
                                       dialog.Edit4,     dialog.btnOK, dialog.btnCancel};
        QList<QWidget*> chain;
        QWidget* widget = dialog.CheckBox1;
        do {
            if (widget->focusPolicy() & Qt::TabFocus)
                chain << widget;
            widget = widget->nextInFocusChain();
        } while (widget != dialog.CheckBox1 && chain.size() < 20);
        QCOMPARE(chain, expected);
    }

    void typedNonDigitEmptiesThePort()
    {
        TForm4 dialog(nullptr);
        dialog.CheckBox1->setChecked(true);
        dialog.Edit1->setText("gateway");
        QTest::keyClicks(dialog.Edit2, "80");
        QVERIFY(m_prompts.messages.isEmpty());
        QTest::keyClicks(dialog.Edit2, "x");
        QCOMPARE(m_prompts.messages, QStringList{kPortMessage});
        QCOMPARE(dialog.Edit2->text(), QString());
        QCOMPARE(dialog.Edit1->text(), QString("gateway"));

        // the range is not checked, and at most five characters are typed
        m_prompts.messages.clear();
        QTest::keyClicks(dialog.Edit2, "0");
        QCOMPARE(dialog.Edit2->text(), QString("0"));
        dialog.Edit2->clear();
        QTest::keyClicks(dialog.Edit2, "999991");
        QCOMPARE(dialog.Edit2->text(), QString("99999"));
        QVERIFY(m_prompts.messages.isEmpty());

        // a blank or a sign is no digit either
        dialog.Edit2->setText("80 80");
        QCOMPARE(dialog.Edit2->text(), QString());
        dialog.Edit2->setText("-1");
        QCOMPARE(dialog.Edit2->text(), QString());
        QCOMPARE(m_prompts.messages.size(), 2);
    }

    void storedBadPortIsReportedWhenTheDialogOpens()
    {
        ProxySettings proxy = filled();
        proxy.Port = "31a8";
        QStringList messagesWhileShown;
        editWhileShown(proxy, [&](TForm4* dialog) {
            messagesWhileShown = m_prompts.messages;
            QCOMPARE(dialog->Edit2->text(), QString());
            QCOMPARE(dialog->Edit1->text(), QString("proxy.example"));
            dialog->btnCancel->click();
        });
        QCOMPARE(messagesWhileShown, QStringList{kPortMessage});
        QCOMPARE(proxy.Port, QString());
        QCOMPARE(proxy.Address, QString("proxy.example"));
    }

    void longStoredPortIsNotCutShort()
    {
        ProxySettings proxy = filled();
        proxy.Port = "1234567";
        editWhileShown(proxy, [](TForm4* dialog) { dialog->btnOK->click(); });
        QCOMPARE(proxy.Port, QString("1234567"));
        QVERIFY(m_prompts.messages.isEmpty());
    }

private:
    RecordingPrompts m_prompts;
};

QTEST_MAIN(TestProxyDialog)
#include "test_proxy_dialog.moc"
