#include "ProxyDialog.h"

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

ProxyDialog::ProxyDialog(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Proxy Server Settings"));

    useProxyBox = new QCheckBox(QStringLiteral("Connect to the translation engine via proxy server"), this);
    useProxyBox->setObjectName(QStringLiteral("CheckBox1"));
    addressEdit = namedEdit(this, "Edit1");
    portEdit = namedEdit(this, "Edit2");
    portEdit->setMaxLength(kPortLength);
    userNameEdit = namedEdit(this, "Edit3");
    passwordEdit = namedEdit(this, "Edit4");
    passwordEdit->setEchoMode(QLineEdit::Password);
    auto* starStyle = new StarPasswordStyle;
    starStyle->setParent(this);
    passwordEdit->setStyle(starStyle);
    addressLabel = namedLabel(this, "Label1", QStringLiteral("Proxy Server Address:"), addressEdit);
    portLabel = namedLabel(this, "Label2", QStringLiteral("Proxy Server Port:"), portEdit);
    userNameLabel = namedLabel(this, "Label3", QStringLiteral("User Name:"), userNameEdit);
    passwordLabel = namedLabel(this, "Label4", QStringLiteral("Password:"), passwordEdit);
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("btnOK"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("btnCancel"));

    auto* fields = new QGridLayout;
    fields->addWidget(addressLabel, 0, 0);
    fields->addWidget(addressEdit, 0, 1);
    fields->addWidget(portLabel, 1, 0);
    fields->addWidget(portEdit, 1, 1);
    fields->addWidget(userNameLabel, 2, 0);
    fields->addWidget(userNameEdit, 2, 1);
    fields->addWidget(passwordLabel, 3, 0);
    fields->addWidget(passwordEdit, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(useProxyBox);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(useProxyBox, addressEdit);
    setTabOrder(addressEdit, portEdit);
    setTabOrder(portEdit, userNameEdit);
    setTabOrder(userNameEdit, passwordEdit);
    setTabOrder(passwordEdit, okButton);
    setTabOrder(okButton, cancelButton);

    enableEdits(false);
    connect(useProxyBox, &QCheckBox::toggled, this, &ProxyDialog::useProxyToggled);
    connect(portEdit, &QLineEdit::textChanged, this, &ProxyDialog::portEdited);
    connect(okButton, &QPushButton::clicked, this, &ProxyDialog::acceptEdits);
    connect(cancelButton, &QPushButton::clicked, this, &ProxyDialog::cancelEdits);
    formCreate();
}

void ProxyDialog::editProxySettings(QWidget* owner, ProxySettings& proxy)
{
    ProxyDialog dialog(owner);
    dialog.loadFrom(proxy);
    dialog.exec();
    dialog.storeTo(proxy);
}

void ProxyDialog::loadFrom(const ProxySettings& proxy)
{
    addressEdit->setText(proxy.Address);
    // a longer stored port is shown whole; the limit is for typing
    portEdit->setMaxLength(std::max<int>(kPortLength, static_cast<int>(proxy.Port.size())));
    portEdit->setText(proxy.Port);
    userNameEdit->setText(proxy.UserName);
    passwordEdit->setText(proxy.Password);
    useProxyBox->setChecked(proxy.UseProxy);
    useProxyToggled();
}

void ProxyDialog::storeTo(ProxySettings& proxy) const
{
    proxy.Address = addressEdit->text();
    proxy.Port = portEdit->text();
    proxy.UserName = userNameEdit->text();
    proxy.Password = passwordEdit->text();
    proxy.UseProxy = useProxyBox->isChecked();
}

void ProxyDialog::formCreate()
{
    if (useProxyBox->isChecked())
        enableEdits(true);
}

void ProxyDialog::useProxyToggled() { enableEdits(useProxyBox->isChecked()); }

void ProxyDialog::portEdited()
{
    const QString port = portEdit->text();
    const bool digitsOnly =
        std::all_of(port.cbegin(), port.cend(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    if (digitsOnly)
        return;
    UserPrompts::instance().message(QStringLiteral("Port number should be a value between 1 to 65535"));
    portEdit->clear();
}

void ProxyDialog::acceptEdits() { accept(); }

void ProxyDialog::cancelEdits() { reject(); }

void ProxyDialog::enableEdits(bool enabled)
{
    const std::array<QWidget*, 8> controls{addressEdit,  portEdit,  userNameEdit,  passwordEdit,
                                           addressLabel, portLabel, userNameLabel, passwordLabel};
    for (QWidget* control : controls)
        control->setEnabled(enabled);
}
