#include "AccountsDialog.h"

#include "AppIcon.h"
#include "Theme.h"
#include "WrapLabel.h"
#include "prefs/AccountList.h"
#include "prefs/Keys.h"
#include "prefs/Settings.h"
#include "store/AccountStores.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kTrayAccount = QLatin1String(Keys::kTrayAccount);
constexpr int kWait = 500; // ms the UI waits while --add-account or the like has the settings

} // namespace

AccountsDialog::AccountsDialog(AccountStores* stores, QWidget* parent)
    : QDialog(parent)
    , stores_(stores) {
    setWindowTitle(QStringLiteral("Brimwatch accounts"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 14);
    layout->setSpacing(10);
    auto* intro = new WrapLabel(12, QFont::Normal, Theme::Tone::Secondary);
    intro->setText(QStringLiteral("Each account is a login of Claude Code, kept in its own "
                                  "folder (CLAUDE_CONFIG_DIR). Brimwatch reads them in turn."));
    layout->addWidget(intro);
    list_ = new QListWidget;
    list_->setAccessibleName(QStringLiteral("Accounts"));
    list_->setMaximumHeight(list_->fontMetrics().height() * 6); // a few accounts, not a page
    layout->addWidget(list_);
    auto* actions = new QHBoxLayout;
    auto* renameButton = new QPushButton(QStringLiteral("Rename…"));
    auto* removeButton = new QPushButton(QStringLiteral("Remove"));
    connect(renameButton, &QPushButton::clicked, this, [this] {
        if (!list_->currentItem())
            return;
        bool ok = false;
        const QString to = QInputDialog::getText(
            this, QStringLiteral("Rename account"), QStringLiteral("Name:"), QLineEdit::Normal,
            list_->currentItem()->data(Qt::UserRole).toString(), &ok);
        if (ok)
            rename(to);
    });
    connect(removeButton, &QPushButton::clicked, this, &AccountsDialog::remove);
    actions->addWidget(renameButton);
    actions->addWidget(removeButton);
    actions->addStretch(1);
    layout->addLayout(actions);

    auto* form = new QFormLayout;
    // Hints that read as hints, not as values already there.
    name_ = new QLineEdit;
    name_->setPlaceholderText(QStringLiteral("A name, such as Work"));
    folder_ = new QLineEdit;
    folder_->setPlaceholderText(QStringLiteral("Its folder, such as ~/.claude-work"));
    auto* choose = new QPushButton(QStringLiteral("Choose…"));
    connect(choose, &QPushButton::clicked, this, [this] {
        QFileDialog dialog(this, QStringLiteral("The account's Claude Code folder"),
                           QDir::homePath());
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setFilter(QDir::AllDirs | QDir::Hidden | QDir::NoDotAndDotDot); // ~/.claude-work
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            folder_->setText(dialog.selectedFiles().first());
    });
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(choose);
    auto* addButton = new QPushButton(QStringLiteral("Add account"));
    connect(addButton, &QPushButton::clicked, this, &AccountsDialog::add);
    form->addRow(QStringLiteral("Name:"), name_);
    form->addRow(QStringLiteral("Folder:"), folderRow);
    form->addRow(QString(), addButton);
    tray_ = new QComboBox;
    connect(tray_, &QComboBox::activated, this, [this] {
        const QString name = tray_->currentData().toString();
        Settings::setValue(kTrayAccount, name.isEmpty() ? QVariant() : QVariant(name));
        changed(std::nullopt);
    });
    form->addRow(QStringLiteral("The tray shows:"), tray_);
    layout->addLayout(form);

    problem_ = new WrapLabel(12, QFont::Normal, Theme::Tone::Warn);
    problem_->setCopyable(true);
    problem_->hide();
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::Close)->setIcon(QIcon()); // Fusion's is black on any grey
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(460);
    restyle();
    sync();
    if (list_->count() > 0 && !list_->currentItem())
        list_->setCurrentRow(0);
}

void AccountsDialog::changeEvent(QEvent* e) {
    if (e->type() == QEvent::PaletteChange && !restyling_)
        restyle();
    QDialog::changeEvent(e);
}

void AccountsDialog::restyle() {
    restyling_ = true;
    const QPalette& p = palette();
    const QString frame = Theme::primary(p, Theme::isDark(p) ? 0.32 : 0.22).name(QColor::HexArgb);
    const QString selected = Theme::primary(p, 0.12).name(QColor::HexArgb);
    const QString text = p.color(QPalette::Text).name();
    setStyleSheet(
        QStringLiteral(
            "QListWidget { border: 1px solid %1; border-radius: 6px; padding: 4px; outline: 0; }"
            "QListWidget::item { padding: 7px 8px; border-radius: 4px; color: %3; }"
            "QListWidget::item:selected { background: %2; color: %3; }"
            "QLineEdit { border: 1px solid %1; border-radius: 5px; padding: 5px 7px; }"
            "QLineEdit:focus { border-color: %4; }")
            .arg(frame, selected, text, Theme::tone(p, Theme::Tone::Accent).name()));
    restyling_ = false;
}

AccountsDialog* AccountsDialog::open(AccountStores* stores) {
    static QPointer<AccountsDialog> one;
    if (!one) {
        // A window of its own: the panel that opened it closes when it loses the focus.
        one = new AccountsDialog(stores, nullptr);
        one->setAttribute(Qt::WA_DeleteOnClose);
        // The app's own icon where the window manager shows one; an installed theme's first.
        one->setWindowIcon(QIcon::fromTheme(QStringLiteral("brimwatch"),
                                            QIcon(QPixmap::fromImage(AppIcon::image(64)))));
    }
    one->show();
    one->raise();
    one->activateWindow();
    return one;
}

void AccountsDialog::apply(AccountStores* stores) {
    stores->setAccounts(AccountList::load().accounts);
    stores->setTrayAccount(Settings::value(kTrayAccount).toString());
}

void AccountsDialog::sync() {
    const QString current =
        list_->currentItem() ? list_->currentItem()->data(Qt::UserRole).toString() : QString();
    list_->clear();
    tray_->clear();
    tray_->addItem(QStringLiteral("The highest session"), QString());
    for (const Account& a : AccountList::load().accounts) {
        auto* item =
            new QListWidgetItem(a.name + QStringLiteral(" — ") + AccountList::shown(a), list_);
        item->setData(Qt::UserRole, a.name);
        if (a.name == current)
            list_->setCurrentItem(item);
        tray_->addItem(a.name, a.name);
    }
    const int pinned = tray_->findData(Settings::value(kTrayAccount).toString());
    tray_->setCurrentIndex(std::max(pinned, 0));
}

void AccountsDialog::changed(const std::optional<QString>& problem) {
    problem_->setText(problem.value_or(QString()));
    problem_->setVisible(problem.has_value());
    if (!problem)
        apply(stores_);
    sync();
}

void AccountsDialog::add() {
    const QString name = name_->text().trimmed(), folder = folder_->text().trimmed();
    const AccountList::Change c = AccountList::apply(
        [&](QList<Account> list) { return AccountList::added(list, name, folder); }, kWait);
    if (!c.problem) {
        name_->clear();
        folder_->clear();
    }
    changed(c.problem ? c.problem : Settings::problem());
}

void AccountsDialog::rename(const QString& to) {
    if (!list_->currentItem())
        return;
    const QString name = list_->currentItem()->data(Qt::UserRole).toString();
    const AccountList::Change c = AccountList::apply(
        [&](QList<Account> list) { return AccountList::renamed(list, name, to.trimmed()); }, kWait);
    if (!c.problem) {
        if (Settings::value(kTrayAccount).toString() == name) // the choice follows the name
            Settings::setValue(kTrayAccount, to.trimmed());
    }
    changed(c.problem ? c.problem : Settings::problem());
}

void AccountsDialog::remove() {
    if (!list_->currentItem())
        return;
    const QString name = list_->currentItem()->data(Qt::UserRole).toString();
    const AccountList::Change c = AccountList::apply(
        [&](QList<Account> list) { return AccountList::removed(list, name); }, kWait);
    changed(c.problem ? c.problem : Settings::problem());
}
