#include "HistoryWindow.h"

#include "HistoryBrowser.h"
#include "InterfaceCaptions.h"
#include "LanguageFlags.h"
#include "LanguageTable.h"
#include "UserPrompts.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Both flags of a language pair side by side, drawn once a pair into `drawn`.
QIcon pairIcon(QHash<QString, QIcon>& drawn, const QString& sourceCode, const QString& targetCode)
{
    const QString key = sourceCode.toUpper() + QLatin1Char('>') + targetCode.toUpper();
    if (const auto known = drawn.constFind(key); known != drawn.constEnd())
        return *known;
    QPixmap pixmap(34, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const QImage source = LanguageTable::flagImage(LanguageTable::positionOf(sourceCode));
    const QImage target = LanguageTable::flagImage(LanguageTable::positionOf(targetCode));
    if (!source.isNull())
        painter.drawImage(0, 0, source);
    if (!target.isNull())
        painter.drawImage(18, 0, target);
    painter.end();
    return drawn[key] = QIcon(pixmap);
}

QString pairText(const QString& sourceCode, const QString& targetCode)
{
    auto name = [](const QString& code) {
        const QString listed = LanguageTable::displayName(LanguageTable::positionOf(code));
        return listed.isEmpty() ? code : listed;
    };
    return QStringLiteral("%1 → %2").arg(name(sourceCode), name(targetCode));
}

QString firstLine(const QString& text) { return text.section(QLatin1Char('\n'), 0, 0).trimmed(); }

}  // namespace

HistoryWindow::HistoryWindow(const QString& path, int column, QWidget* parent)
    : QWidget(parent, Qt::Window), m_browser(new HistoryBrowser(path, this)), m_column(column)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    m_searchLabel = new QLabel;
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("HistorySearch"));
    m_search->setClearButtonEnabled(true);
    m_search->installEventFilter(this);
    m_searchLabel->setBuddy(m_search);
    m_pairLabel = new QLabel;
    m_pairs = new QComboBox;
    m_pairs->setObjectName(QStringLiteral("HistoryPair"));
    m_pairs->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_pairLabel->setBuddy(m_pairs);
    m_list = new QTreeWidget;
    m_list->setObjectName(QStringLiteral("HistoryList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setColumnCount(OriginColumn + 1);
    m_list->setIconSize(QSize(34, 16));
    m_list->installEventFilter(this);
    for (const int column : {TimeColumn, LanguagesColumn, OriginColumn})
        m_list->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    m_list->header()->setSectionResizeMode(SourceColumn, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(TranslationColumn, QHeaderView::Stretch);
    m_note = new QLabel;
    m_note->setObjectName(QStringLiteral("HistoryNote"));
    m_note->setWordWrap(true);
    m_note->hide();
    m_restore = new QPushButton;
    m_delete = new QPushButton;
    m_clear = new QPushButton;

    auto* filters = new QHBoxLayout;
    filters->addWidget(m_searchLabel);
    filters->addWidget(m_search, 1);
    filters->addWidget(m_pairLabel);
    filters->addWidget(m_pairs);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_restore);
    buttons->addWidget(m_delete);
    buttons->addStretch(1);
    buttons->addWidget(m_clear);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_note);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(m_search, &QLineEdit::textChanged, m_browser, &HistoryBrowser::setWords);
    connect(m_pairs, &QComboBox::activated, this, &HistoryWindow::choosePair);
    connect(m_list, &QAbstractItemView::activated, this, &HistoryWindow::restoreCurrent);
    connect(m_restore, &QPushButton::clicked, this, &HistoryWindow::restoreCurrent);
    connect(m_delete, &QPushButton::clicked, this, &HistoryWindow::removeSelected);
    // the box waits with this window live: not inside the button's own event
    connect(m_clear, &QPushButton::clicked, this, &HistoryWindow::clearAll, Qt::QueuedConnection);
    connect(m_browser, &HistoryBrowser::found, this, &HistoryWindow::showEntries);
    connect(m_browser, &HistoryBrowser::pairsFound, this, &HistoryWindow::showPairs);
    connect(m_browser, &HistoryBrowser::entryFound, this, &HistoryWindow::restoreRequested);
    connect(m_browser, &HistoryBrowser::removed, this, [this](bool done) {
        m_notRemoved = !done;
        showNote();
    });
    connect(m_browser, &HistoryBrowser::notice, this, [this](const QString& text) {
        m_notice = text;
        showNote();
    });
    applyLanguage(column);
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::applyLanguage(int column)
{
    m_column = column;
    auto text = [column](const char* name) { return interfaceCaption(name, column); };
    setWindowTitle(text("HistoryWindow"));
    m_searchLabel->setText(text("HistorySearch"));
    m_pairLabel->setText(text("HistoryPair"));
    m_restore->setText(text("HistoryRestore"));
    m_delete->setText(text("HistoryDelete"));
    m_clear->setText(text("ClearHistory1"));
    m_list->setHeaderLabels({text("HistoryTime"), text("HistoryLanguages"), text("HistorySource"),
                             text("HistoryTranslation"), text("HistoryOrigin")});
    if (m_pairs->count() > 0)
        m_pairs->setItemText(0, text("HistoryAllPairs"));
    showEntries(m_entries, m_more);
}

QString HistoryWindow::originName(HistoryEntry::Origin origin) const
{
    switch (origin) {
    case HistoryEntry::Origin::Window:
        return interfaceCaption("HistoryFromWindow", m_column);
    case HistoryEntry::Origin::CommandLine:
        return interfaceCaption("HistoryFromCommandLine", m_column);
    case HistoryEntry::Origin::Bus:
        return interfaceCaption("HistoryFromBus", m_column);
    case HistoryEntry::Origin::Document:
        return interfaceCaption("HistoryFromDocument", m_column);
    }
    return {};
}

void HistoryWindow::showEntries(const QList<HistoryEntry>& entries, bool more)
{
    const qint64 current = m_list->currentItem() ? m_list->currentItem()->data(0, Qt::UserRole).toLongLong() : 0;
    m_entries = entries;
    m_more = more;
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    QTreeWidgetItem* keep = nullptr;
    const QLocale locale;
    for (const HistoryEntry& entry : entries) {
        auto* item = new QTreeWidgetItem;
        item->setData(0, Qt::UserRole, entry.id);
        item->setText(TimeColumn, locale.toString(entry.time.toLocalTime(), QLocale::ShortFormat));
        item->setIcon(LanguagesColumn, pairIcon(m_icons, entry.sourceCode, entry.targetCode));
        item->setText(LanguagesColumn,
                      QStringLiteral("%1 → %2").arg(entry.sourceCode.toUpper(), entry.targetCode.toUpper()));
        item->setToolTip(LanguagesColumn, pairText(entry.sourceCode, entry.targetCode));
        item->setText(SourceColumn, firstLine(entry.source));
        item->setToolTip(SourceColumn, entry.source.left(1000));
        item->setText(TranslationColumn, firstLine(entry.translation));
        item->setToolTip(TranslationColumn, entry.translation.left(1000));
        item->setText(OriginColumn, originName(entry.origin));
        if (entry.id == current)
            keep = item;
        items << item;
    }
    m_list->addTopLevelItems(items);
    if (!keep && !items.isEmpty())
        keep = items.first();
    if (keep)
        m_list->setCurrentItem(keep);
    m_delete->setEnabled(!items.isEmpty());
    m_restore->setEnabled(!items.isEmpty());
    showNote();
}

void HistoryWindow::showPairs(const QList<std::pair<QString, QString>>& pairs)
{
    const QStringList chosen = m_pairs->currentData().toStringList();
    m_pairs->clear();
    m_pairs->addItem(interfaceCaption("HistoryAllPairs", m_column), QStringList());
    for (const auto& [source, target] : pairs)
        m_pairs->addItem(pairIcon(m_icons, source, target), pairText(source, target), QStringList{source, target});
    const int again = m_pairs->findData(chosen);
    m_pairs->setCurrentIndex(std::max(again, 0));
    // the pair chosen is gone: the list shows every pair again
    if (again < 0 && !chosen.isEmpty())
        choosePair();
}

void HistoryWindow::choosePair()
{
    const QStringList codes = m_pairs->currentData().toStringList();
    m_browser->setPair(codes.value(0), codes.value(1));
}

void HistoryWindow::restoreCurrent()
{
    QTreeWidgetItem* item = m_list->currentItem();
    const int row = item ? m_list->indexOfTopLevelItem(item) : -1;
    // the list holds the beginning of each text only
    if (row >= 0 && row < m_entries.size())
        m_browser->fetchEntry(m_entries.at(row).id);
}

void HistoryWindow::removeSelected()
{
    QList<qint64> ids;
    for (const QTreeWidgetItem* item : m_list->selectedItems())
        ids << item->data(0, Qt::UserRole).toLongLong();
    if (!ids.isEmpty())
        m_browser->remove(ids);
}

void HistoryWindow::clearAll()
{
    if (UserPrompts::instance().question(interfaceCaption("HistoryClearQuestion", m_column), windowTitle())
        == UserPrompts::Answer::Yes)
        m_browser->clear();
}

QString HistoryWindow::note() const
{
    QStringList lines;
    if (!m_notice.isEmpty())
        lines << m_notice;
    if (m_notRemoved)
        lines << interfaceCaption("HistoryNotRemoved", m_column);
    if (m_more)
        lines << interfaceCaption("HistoryMore", m_column).arg(HistoryBrowser::ListLimit);
    return lines.join(QLatin1Char('\n'));
}

void HistoryWindow::showNote()
{
    m_note->setText(note());
    m_note->setVisible(!m_note->text().isEmpty());
}

bool HistoryWindow::event(QEvent* event)
{
    // translations made while the window was away are in the list when it comes back
    if (event->type() == QEvent::WindowActivate)
        m_browser->refresh();
    return QWidget::event(event);
}

bool HistoryWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == m_list && key == Qt::Key_Delete) {
        removeSelected();
        return true;
    }
    // from the search field, Enter takes the chosen match and Down goes to the list
    if (watched == m_search && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        restoreCurrent();
        return true;
    }
    if (watched == m_search && key == Qt::Key_Down) {
        m_list->setFocus();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
