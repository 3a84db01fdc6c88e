#pragma once

#include "Theme.h"

#include <QFont>
#include <QStringList>
#include <QWidget>

#include <optional>

// Text in one of the app's tones that is always shown whole: it wraps at word boundaries,
// breaks a word longer than the width (a JSON blob in an error) anywhere, and is as tall
// as its lines need at the width it is given.
class WrapLabel : public QWidget {
public:
    WrapLabel(int pixelSize, QFont::Weight weight, Theme::Tone tone, QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return text_; }
    void setTone(Theme::Tone tone);
    QColor color() const;
    // Offers "Copy" on a right click (for texts worth pasting elsewhere).
    void setCopyable(bool on) { copyable_ = on; }

    // The lines the text takes at a width, in order; together they are the whole text.
    static QStringList lines(const QString& text, const QFont& font, qreal width);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    QString text_;
    Theme::Tone tone_;
    bool copyable_ = false;
};
