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
class ProxyDialog : public QDialog {
    Q_OBJECT
public:
    explicit ProxyDialog(QWidget* owner);

    // The whole edit of the Options menu's "Proxy Server..." item: fill the
    // dialog, show it modally, copy the edits back.
    static void editProxySettings(QWidget* owner, ProxySettings& proxy);

    void loadFrom(const ProxySettings& proxy);
    void storeTo(ProxySettings& proxy) const;

    QCheckBox* useProxyBox;
    QLabel* addressLabel;
    QLabel* portLabel;
    QLabel* userNameLabel;
    QLabel* passwordLabel;
    QLineEdit* addressEdit;
    QLineEdit* portEdit;
    QLineEdit* userNameEdit;
    QLineEdit* passwordEdit;
    QPushButton* okButton;
    QPushButton* cancelButton;

public slots:
    void formCreate();
    void useProxyToggled();
    void portEdited();
    void acceptEdits();
    void cancelEdits();

private:
    void enableEdits(bool enabled);
};
