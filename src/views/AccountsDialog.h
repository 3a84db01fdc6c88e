#pragma once

#include <QDialog>

class AccountStores;
class QComboBox;
class QLineEdit;
class QListWidget;
class WrapLabel;

// The accounts, managed from the panel: add one (a name and the claude tool's config folder),
// rename or remove one, and choose the account the tray shows. Every change is saved at once
// and read by the running app.
class AccountsDialog : public QDialog {
public:
    explicit AccountsDialog(AccountStores* stores, QWidget* parent = nullptr);

    // Opens the one dialog, or brings it forward.
    static AccountsDialog* open(AccountStores* stores);
    // Gives the stores what the settings file says now: the accounts and the tray's choice.
    static void apply(AccountStores* stores);

    // Parts, for tests.
    QListWidget* list() const { return list_; }
    QLineEdit* nameField() const { return name_; }
    QLineEdit* folderField() const { return folder_; }
    QComboBox* trayChoice() const { return tray_; }
    WrapLabel* problemLabel() const { return problem_; }
    void add();
    void rename(const QString& to);
    void remove();

protected:
    void changeEvent(QEvent* e) override;

private:
    void sync();
    // The dialog's look, in the panel's tones for the palette it has: padded rows, a visible
    // selection, fields with frames that show in the dark.
    void restyle();
    void changed(const std::optional<QString>& problem);

    AccountStores* stores_;
    QListWidget* list_;
    QLineEdit* name_;
    QLineEdit* folder_;
    QComboBox* tray_;
    WrapLabel* problem_;
    bool restyling_ = false;
};
