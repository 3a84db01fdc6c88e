#include "Line.h"

#include "usage/Sense.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace Transcript {

namespace {

// A count as written: absent is 0; anything but a whole number from 0 to kMaxTokens is none.
std::optional<qint64> count(const QJsonObject& usage, QLatin1StringView key) {
    const QJsonValue v = usage.value(key);
    if (v.isUndefined() || v.isNull())
        return 0;
    const double d = v.toDouble(-1);
    if (!v.isDouble() || !(d >= 0 && d <= double(kMaxTokens)) || d != std::floor(d))
        return std::nullopt;
    return qint64(d);
}

} // namespace

Line read(QByteArrayView text) {
    Line line;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray::fromRawData(text.data(), text.size()), &error); // no copy of the line
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        line.kind = Line::Kind::Malformed;
        return line;
    }
    const QJsonObject o = doc.object();
    if (o.value(QLatin1StringView("type")).toString() != u"assistant")
        return line; // the mark was in a quoted text
    const QJsonObject message = o.value(QLatin1StringView("message")).toObject();
    const QJsonValue usage = message.value(QLatin1StringView("usage"));
    const QString id = message.value(QLatin1StringView("id")).toString();
    const QDateTime at = QDateTime::fromString(o.value(QLatin1StringView("timestamp")).toString(),
                                               Qt::ISODateWithMs);
    line.kind = Line::Kind::Malformed;
    if (id.isEmpty() || !usage.isObject() || !at.isValid())
        return line;
    const QJsonObject u = usage.toObject();
    const auto input = count(u, QLatin1StringView("input_tokens"));
    const auto output = count(u, QLatin1StringView("output_tokens"));
    const auto write = count(u, QLatin1StringView("cache_creation_input_tokens"));
    const auto read = count(u, QLatin1StringView("cache_read_input_tokens"));
    // A time no reading holds (the year 40000) is a misreading, like a count past reason.
    const auto when = Sense::instant(double(at.toMSecsSinceEpoch()) / 1000);
    if (!input || !output || !write || !read || !when) {
        line.kind = Line::Kind::Absurd;
        return line;
    }
    line.kind = Line::Kind::Reply;
    Message& m = line.message;
    m.id = id.toUtf8();
    m.request = o.value(QLatin1StringView("requestId")).toString().toUtf8();
    m.at = *when;
    m.model = message.value(QLatin1StringView("model")).toString();
    m.cwd = o.value(QLatin1StringView("cwd")).toString();
    m.session = o.value(QLatin1StringView("sessionId")).toString();
    m.input = *input;
    m.output = *output;
    m.cacheWrite = *write;
    m.cacheRead = *read;
    return line;
}

} // namespace Transcript
