#include "SearchDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

SearchDialog::SearchDialog(Mode mode, QWidget* parent) : QDialog(parent), m_mode(mode)
{
    const bool replacing = mode == Mode::Replace;
    setObjectName(replacing ? QStringLiteral("ReplaceDialog") : QStringLiteral("FindDialog"));
    setWindowTitle(replacing ? QStringLiteral("Replace") : QStringLiteral("Find"));
    setModal(false);

    auto* fields = new QGridLayout;
    m_find = new QLineEdit;
    auto* findLabel = new QLabel(QStringLiteral("Fi&nd what:"));
    findLabel->setBuddy(m_find);
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(m_find, 0, 1);
    if (replacing) {
        m_replacement = new QLineEdit;
        auto* replaceLabel = new QLabel(QStringLiteral("Re&place with:"));
        replaceLabel->setBuddy(m_replacement);
        fields->addWidget(replaceLabel, 1, 0);
        fields->addWidget(m_replacement, 1, 1);
    }

    m_wholeWord = new QCheckBox(QStringLiteral("Match &whole word only"));
    m_matchCase = new QCheckBox(QStringLiteral("Match &case"));
    auto* checks = new QVBoxLayout;
    checks->addWidget(m_wholeWord);
    checks->addWidget(m_matchCase);
    auto* options = new QHBoxLayout;
    options->addLayout(checks);
    if (!replacing) {
        // shown as the standard dialog shows it; searches always run forward
        auto* direction = new QGroupBox(QStringLiteral("Direction"));
        auto* up = new QRadioButton(QStringLiteral("&Up"));
        auto* down = new QRadioButton(QStringLiteral("&Down"));
        down->setChecked(true);
        auto* directionLayout = new QHBoxLayout(direction);
        directionLayout->addWidget(up);
        directionLayout->addWidget(down);
        options->addWidget(direction);
    }

    auto* left = new QVBoxLayout;
    left->addLayout(fields);
    left->addLayout(options);
    left->addStretch();

    auto* buttons = new QVBoxLayout;
    m_findNext = new QPushButton(QStringLiteral("&Find Next"));
    m_findNext->setDefault(true);
    buttons->addWidget(m_findNext);
    connect(m_findNext, &QPushButton::clicked, this, &SearchDialog::findNext);
    if (replacing) {
        m_replace = new QPushButton(QStringLiteral("&Replace"));
        m_replaceAll = new QPushButton(QStringLiteral("Replace &All"));
        buttons->addWidget(m_replace);
        buttons->addWidget(m_replaceAll);
        connect(m_replace, &QPushButton::clicked, this, &SearchDialog::replaceOne);
        connect(m_replaceAll, &QPushButton::clicked, this, &SearchDialog::replaceAll);
    }
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(m_find, &QLineEdit::textChanged, this, &SearchDialog::updateButtons);
    updateButtons();
}

void SearchDialog::updateButtons()
{
    const bool any = !m_find->text().isEmpty();
    for (QPushButton* button : {m_findNext, m_replace, m_replaceAll})
        if (button)
            button->setEnabled(any);
}

QString SearchDialog::findText() const { return m_find->text(); }
void SearchDialog::setFindText(const QString& text) { m_find->setText(text); }
QString SearchDialog::replaceText() const { return m_replacement ? m_replacement->text() : QString(); }

void SearchDialog::setReplaceText(const QString& text)
{
    if (m_replacement)
        m_replacement->setText(text);
}

PaneSearch::Options SearchDialog::options() const { return {m_wholeWord->isChecked(), m_matchCase->isChecked()}; }

void SearchDialog::setOptions(PaneSearch::Options options)
{
    m_wholeWord->setChecked(options.wholeWord);
    m_matchCase->setChecked(options.matchCase);
}
