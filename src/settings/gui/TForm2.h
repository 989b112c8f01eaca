#pragma once

#include <QDate>
#include <QDialog>

class QLabel;
class QPushButton;

// The About box: product icon, the shadowed product name, the version and the maker's
// notice, which gets the year of the day the box is opened.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(QWidget* owner, const QIcon& productIcon, const QDate& today = QDate::currentDate());

    // Shows the box modally, owned by `owner`, and frees it afterwards.
    static void about1Click(QWidget* owner, const QIcon& productIcon);

    QLabel* Image1;
    QLabel* Label2;  // silver, one pixel up and left of Label1
    QLabel* Label1;
    QLabel* Label7;
    QLabel* Label4;  // the maker's notice
    QPushButton* Button1;

private:
    void formCreate(const QDate& today);
};
