#include "SwayIpc.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QRect>
#include <QTimer>
#include <QtEndian>

namespace SwayIpc {

namespace {

constexpr char kMagic[] = "i3-ipc";
constexpr int kHeader = 14;  // the magic, the payload's length, its type
constexpr int kMapped = 150; // ms for a window just shown to be mapped
enum Type : quint32 { RunCommand = 0, GetWorkspaces = 1 };

QByteArray message(Type type, const QByteArray& payload) {
    QByteArray m(kMagic);
    quint32 words[2] = {qToLittleEndian(quint32(payload.size())), qToLittleEndian(quint32(type))};
    m.append(reinterpret_cast<const char*>(words), sizeof words);
    return m + payload;
}

// Asks for the workspaces, then sends the command for the focused one, then goes.
class Placing : public QObject {
public:
    Placing(QString title, QSize size, int margin, bool focus)
        : title_(std::move(title))
        , size_(size)
        , margin_(margin)
        , focus_(focus) {
        setParent(QCoreApplication::instance()); // gone with the app, whatever sway does
        connect(&socket_, &QLocalSocket::readyRead, this, &Placing::read);
        connect(&socket_, &QLocalSocket::errorOccurred, this, &QObject::deleteLater);
        // Once the window is mapped: sway's criteria match only windows it has.
        QTimer::singleShot(kMapped, this, [this] {
            socket_.connectToServer(qEnvironmentVariable("SWAYSOCK"));
            socket_.write(message(GetWorkspaces, {}));
        });
    }

private:
    void read() {
        buffer_ += socket_.readAll();
        if (buffer_.size() < kHeader)
            return;
        const quint32 length = qFromLittleEndian<quint32>(buffer_.constData() + 6);
        if (buffer_.size() < kHeader + qsizetype(length))
            return;
        const QByteArray payload = buffer_.mid(kHeader, length);
        buffer_.clear();
        if (sent_) {
            deleteLater(); // the command's answer
            return;
        }
        for (const QJsonValue& w : QJsonDocument::fromJson(payload).array()) {
            const QJsonObject o = w.toObject();
            if (!o.value(QStringLiteral("focused")).toBool())
                continue;
            const QJsonObject r = o.value(QStringLiteral("rect")).toObject();
            const QRect area(r.value(QStringLiteral("x")).toInt(),
                             r.value(QStringLiteral("y")).toInt(),
                             r.value(QStringLiteral("width")).toInt(),
                             r.value(QStringLiteral("height")).toInt());
            socket_.write(
                message(RunCommand, placeCommand(title_, size_, margin_, area, focus_).toUtf8()));
            sent_ = true;
            return;
        }
        deleteLater();
    }

    QLocalSocket socket_;
    QByteArray buffer_;
    QString title_;
    QSize size_;
    int margin_;
    bool focus_;
    bool sent_ = false;
};

} // namespace

bool available() {
    return !qEnvironmentVariableIsEmpty("SWAYSOCK");
}

QString placeCommand(const QString& title, QSize size, int margin, const QRect& area, bool focus) {
    return QStringLiteral("[pid=%1 title=\"^%2$\"] floating enable, move absolute position %3 %4%5")
        .arg(QCoreApplication::applicationPid())
        .arg(title)
        .arg(area.right() + 1 - margin - size.width())
        .arg(area.top() + margin)
        .arg(focus ? QStringLiteral(", focus") : QString());
}

void placeTopRight(const QString& title, QSize size, int margin, bool focus) {
    if (available())
        new Placing(title, size, margin, focus);
}

} // namespace SwayIpc
