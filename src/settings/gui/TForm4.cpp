#include "TForm4.h"

#include "UserPrompts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

constexpr int kPortLength = 5;

// The password edit shows one "*" for every character.
class StarPasswordStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        if (hint == SH_LineEdit_PasswordMaskDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QLineEdit* namedEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QLabel* namedLabel(QWidget* parent, const char* name, const QString& text, QLineEdit* buddy)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setBuddy(buddy);
    return label;
}

}  // namespace

TForm4::TForm4(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Proxy Server Settings"));

    CheckBox1 = new QCheckBox(QStringLiteral("Connect to the translation engine via proxy server"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    Edit1 = namedEdit(this, "Edit1");
    Edit2 = namedEdit(this, "Edit2");
    Edit2->setMaxLength(kPortLength);
    Edit3 = namedEdit(this, "Edit3");
    Edit4 = namedEdit(this, "Edit4");
    Edit4->setEchoMode(QLineEdit::Password);
    auto* starStyle = new StarPasswordStyle;
    starStyle->setParent(this);
    Edit4->setStyle(starStyle);
    Label1 = namedLabel(this, "Label1", QStringLiteral("Proxy Server Address:"), Edit1);
    Label2 = namedLabel(this, "Label2", QStringLiteral("Proxy Server Port:"), Edit2);
    Label3 = namedLabel(this, "Label3", QStringLiteral("User Name:"), Edit3);
    Label4 = namedLabel(this, "Label4", QStringLiteral("Password:"), Edit4);
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(Edit1, 0, 1);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(Edit2, 1, 1);
    fields->addWidget(Label3, 2, 0);
    fields->addWidget(Edit3, 2, 1);
    fields->addWidget(Label4, 3, 0);
    fields->addWidget(Edit4, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CheckBox1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(CheckBox1, Edit1);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, Edit4);
    setTabOrder(Edit4, btnOK);
    setTabOrder(btnOK, btnCancel);

    enableEdits(false);
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm4::checkBox1Click);
    connect(Edit2, &QLineEdit::textChanged, this, &TForm4::edit2Change);
    connect(btnOK, &QPushButton::clicked, this, &TForm4::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TForm4::btnCancelClick);
    formCreate();
}

void TForm4::editProxySettings(QWidget* owner, ProxySettings& proxy)
{
    TForm4 dialog(owner);
    dialog.loadFrom(proxy);
    dialog.exec();
    dialog.storeTo(proxy);
}

void TForm4::loadFrom(const ProxySettings& proxy)
{
    Edit1->setText(proxy.Address);
    // a longer stored port is shown whole; the limit is for typing
    Edit2->setMaxLength(std::max<int>(kPortLength, static_cast<int>(proxy.Port.size())));
    Edit2->setText(proxy.Port);
    Edit3->setText(proxy.UserName);
    Edit4->setText(proxy.Password);
    CheckBox1->setChecked(proxy.UseProxy);
    checkBox1Click();
}

void TForm4::storeTo(ProxySettings& proxy) const
{
    proxy.Address = Edit1->text();
    proxy.Port = Edit2->text();
    proxy.UserName = Edit3->text();
    proxy.Password = Edit4->text();
    proxy.UseProxy = CheckBox1->isChecked();
}

void TForm4::formCreate()
{
    if (CheckBox1->isChecked())
        enableEdits(true);
}

void TForm4::checkBox1Click() { enableEdits(CheckBox1->isChecked()); }

void TForm4::edit2Change()
{
    const QString port = Edit2->text();
    const bool digitsOnly =
        std::all_of(port.cbegin(), port.cend(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    if (digitsOnly)
        return;
    UserPrompts::instance().message(QStringLiteral("Port number should be a value between 1 to 65535"));
    Edit2->clear();
}

void TForm4::btnOKClick() { accept(); }

void TForm4::btnCancelClick() { reject(); }

void TForm4::enableEdits(bool enabled)
{
    const std::array<QWidget*, 8> controls{Edit1, Edit2, Edit3, Edit4, Label1, Label2, Label3, Label4};
    for (QWidget* control : controls)
        control->setEnabled(enabled);
}
