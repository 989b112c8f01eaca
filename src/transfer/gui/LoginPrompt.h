#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The modal prompt for a user name and a password.
class TLoginForm : public QDialog {
    Q_OBJECT
public:
    explicit TLoginForm(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Image1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    // The banner across the top of the form.
    static QPixmap banner();
};

// Shows the prompt under the given caption. On OK the entries replace user and
// password and the result is True; on Cancel or close both stay as they were.
bool askLogin(const QString& caption, QString& user, QString& password);
