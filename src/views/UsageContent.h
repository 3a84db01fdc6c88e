#pragma once

#include <QHash>
#include <QWidget>

class LimitRow;
class QVBoxLayout;
class RefreshButton;
class TextLabel;
class WrapLabel;
class UsageStore;
class Shares;

// The block the panel and the card share: a header with the title, the status and, in the
// panel, a refresh button; then the limit rows (or the error, or a loading line). The rows
// show the pace's tick, and in the panel where the pace leads.
class UsageContent : public QWidget {
public:
    UsageContent(UsageStore* store, bool inPanel = true, QWidget* parent = nullptr);

    // Shows another store (the card, when the tray's account changes).
    void setStore(UsageStore* store);
    // Under the session and the week: what used them, from the shares of this account (its
    // config folder).
    void setShares(Shares* shares, const QString& folder);
    // The header's title: an account's name; empty for "Claude usage".
    void setTitle(const QString& title);
    QString title() const;

    // The status line and its colour for a store's state.
    static QString statusText(const UsageStore& store);
    static bool statusIsWarning(const UsageStore& store);

    // Parts, for tests.
    TextLabel* statusLabel() const { return status_; }
    RefreshButton* refreshButton() const { return refresh_; }
    WrapLabel* errorLabel() const { return error_; }
    QWidget* loadingRow() const { return loading_; }
    QList<LimitRow*> rows() const;
    // Shows at most this many rows (at most kMaxRows), for a card on a small screen.
    void setRowLimit(int rows);
    TextLabel* moreLabel() const { return more_; }
    // "Session and week from Claude Code", in the panel after a status line's reading.
    WrapLabel* sourceLabel() const { return source_; }

    static constexpr int kSpacing = 14;
    static constexpr int kMaxRows = 12;          // then "and N more"
    static constexpr int kMaxErrorLength = 2000; // characters of an error shown

private:
    void sync();

    UsageStore* store_;
    Shares* shares_ = nullptr;
    QString folder_;
    QMetaObject::Connection sharesChanged_;
    bool inPanel_;
    QVBoxLayout* layout_;
    TextLabel* title_;
    TextLabel* status_;
    RefreshButton* refresh_ = nullptr;
    WrapLabel* error_;
    QWidget* loading_;
    TextLabel* more_;
    WrapLabel* source_;
    int rowLimit_ = kMaxRows;
    QHash<QString, LimitRow*> rowsById_;
    QList<QMetaObject::Connection> watching_;
    QList<LimitRow*> order_;
};
