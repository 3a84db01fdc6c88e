#include "SwayIpc.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRect>
#include <QSocketNotifier>
#include <QTimer>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

// Asks for the workspaces, then sends the command made for the focused one (none when it
// makes an empty one), then goes.
class Placing : public QObject {
public:
    explicit Placing(std::function<QString(const QRect&)> command)
        : command_(std::move(command)) {
        setParent(QCoreApplication::instance()); // gone with the app, whatever sway does
        // Once the window is mapped: sway's criteria match only windows it has.
        QTimer::singleShot(kMapped, this, [this] {
            if (!connectToSway() || !send(message(GetWorkspaces, {})))
                deleteLater();
        });
    }
    ~Placing() override {
        if (fd_ >= 0)
            ::close(fd_);
    }

private:
    // A plain socket: the app keeps no network module in memory for one local exchange.
    bool connectToSway() {
        const QByteArray path = qgetenv("SWAYSOCK");
        sockaddr_un address{};
        if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
            return false;
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return false;
        reading_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(reading_, &QSocketNotifier::activated, this, &Placing::read);
        return true;
    }

    // The messages are a few hundred bytes: a local socket takes them whole.
    bool send(const QByteArray& m) {
        return ::send(fd_, m.constData(), size_t(m.size()), MSG_NOSIGNAL) == m.size();
    }

    void read() {
        char chunk[4096];
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got <= 0) {
            if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                reading_->setEnabled(false);
                deleteLater(); // sway closed the socket or failed
            }
            return;
        }
        buffer_.append(chunk, got);
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
            const QString command = command_(area);
            sent_ = !command.isEmpty() && send(message(RunCommand, command.toUtf8()));
            if (!sent_)
                deleteLater();
            return;
        }
        deleteLater();
    }

    int fd_ = -1;
    QSocketNotifier* reading_ = nullptr;
    QByteArray buffer_;
    std::function<QString(const QRect&)> command_;
    bool sent_ = false;
};

} // namespace

bool available() {
    return !qEnvironmentVariableIsEmpty("SWAYSOCK");
}

QString placeCommand(const QString& title, QSize size, int margin, const QRect& area, bool focus) {
    return QStringLiteral("[pid=%1 title=\"^%2$\"] floating enable, resize set %3 %4, move "
                          "absolute position %5 %6%7")
        .arg(QCoreApplication::applicationPid())
        .arg(title)
        .arg(size.width())
        .arg(size.height())
        .arg(area.right() + 1 - margin - size.width())
        .arg(area.top() + margin)
        .arg(focus ? QStringLiteral(", focus") : QString());
}

void placeTopRight(const QString& title, std::function<QSize(const QRect& area)> sizeIn, int margin,
                   bool focus) {
    if (available())
        new Placing([=](const QRect& area) {
            const QSize size = sizeIn(area);
            return size.isEmpty() ? QString() : placeCommand(title, size, margin, area, focus);
        });
}

void cover(const QString& title, const QString& above) {
    if (available())
        new Placing([title, above](const QRect& area) {
            const QString app =
                QStringLiteral("[pid=%1 title=\"^%2$\"] ").arg(QCoreApplication::applicationPid());
            return app.arg(title) +
                   QStringLiteral("floating enable, border none, resize set %1 %2, move "
                                  "absolute position %3 %4; ")
                       .arg(area.width())
                       .arg(area.height())
                       .arg(area.x())
                       .arg(area.y()) +
                   app.arg(above) + QStringLiteral("focus");
        });
}

} // namespace SwayIpc
