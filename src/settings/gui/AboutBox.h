#pragma once

#include <QDate>
#include <QDialog>

class QLabel;
class QPushButton;

// The About box: product icon, the shadowed product name, the version and the maker's
// notice, which gets the year of the day the box is opened.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(QWidget* owner, const QIcon& productIcon, const QDate& today = QDate::currentDate());

    // Shows the box modally, owned by `owner`, and frees it afterwards.
    static void showAbout(QWidget* owner, const QIcon& productIcon);

    QLabel* productImage;
    QLabel* titleHighlight;  // silver, one pixel up and left of titleLabel
    QLabel* titleLabel;
    QLabel* versionLabel;
    QLabel* noticeLabel;  // the maker's notice
    QPushButton* okButton;

private:
    void formCreate(const QDate& today);
};
