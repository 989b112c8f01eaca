#pragma once

#include "ProxySettings.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Proxy Server Settings": the small modal dialog that edits the main window's
// ProxySettings. Whichever way it closes, OK, Cancel or the close box, what
// the user typed is kept.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* owner);

    // The whole edit of the Options menu's "Proxy Server..." item: fill the
    // dialog, show it modally, copy the edits back.
    static void editProxySettings(QWidget* owner, ProxySettings& proxy);

    void loadFrom(const ProxySettings& proxy);
    void storeTo(ProxySettings& proxy) const;

    QCheckBox* CheckBox1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QPushButton* btnOK;
    QPushButton* btnCancel;

public slots:
    void formCreate();
    void checkBox1Click();
    void edit2Change();
    void btnOKClick();
    void btnCancelClick();

private:
    void enableEdits(bool enabled);
};
