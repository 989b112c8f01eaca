#include "LoginPrompt.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>

namespace {
// Every character of the password shows as "*".
class StarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// The form's client area inside its 328 x 223 window (caption and borders outside).
constexpr int ClientWidth = 320;
constexpr int ClientHeight = 190;
}  // namespace

QPixmap TLoginForm::banner()
{
    QPixmap banner(320, 60);
    QPainter p(&banner);
    QLinearGradient fill(0, 0, 320, 0);
    fill.setColorAt(0, QColor(24, 64, 128));
    fill.setColorAt(1, QColor(90, 150, 220));
    p.fillRect(banner.rect(), fill);
    p.setRenderHint(QPainter::Antialiasing);
    // A key: ring, shaft and two teeth.
    p.setPen(QPen(QColor(250, 210, 70), 4));
    p.drawEllipse(QPoint(34, 30), 11, 11);
    p.drawLine(45, 30, 78, 30);
    p.drawLine(70, 30, 70, 40);
    p.drawLine(62, 30, 62, 38);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPointSize(13);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(96, 0, 220, 60), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Log in"));
    return banner;
}

TLoginForm::TLoginForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LoginForm"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);

    Label1 = new QLabel(QStringLiteral("&User name: "), this);
    Label1->setGeometry(16, 80, 57, 13);
    Label1->adjustSize();
    Label2 = new QLabel(QStringLiteral("&Password:"), this);
    Label2->setGeometry(16, 112, 49, 13);
    Label2->adjustSize();
    Image1 = new QLabel(this);
    const QPixmap banner = TLoginForm::banner();
    Image1->setPixmap(banner);
    Image1->setGeometry(0, 0, banner.width(), banner.height());
    Edit1 = new QLineEdit(this);
    Edit1->setGeometry(104, 80, 193, 21);
    Edit2 = new QLineEdit(this);
    Edit2->setGeometry(104, 112, 193, 21);
    Edit2->setEchoMode(QLineEdit::Password);
    auto* style = new StarPasswordStyle;
    style->setParent(Edit2);
    Edit2->setStyle(style);
    Label1->setBuddy(Edit1);
    Label2->setBuddy(Edit2);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setGeometry(144, 152, 75, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setGeometry(224, 152, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);
    setTabOrder(Button1, Button2);
    Edit1->setFocus();

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool askLogin(const QString& caption, QString& user, QString& password)
{
    TLoginForm form;
    form.setWindowTitle(caption);
    if (form.exec() != QDialog::Accepted)
        return false;
    user = form.Edit1->text();
    password = form.Edit2->text();
    return true;
}
