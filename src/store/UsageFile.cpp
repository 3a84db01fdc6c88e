#include "UsageFile.h"

#include "cli/AppInfo.h"
#include "files/Files.h"
#include "usage/Fmt.h"
#include "usage/Sense.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace UsageFile {

namespace {

QJsonValue orNull(const std::optional<QString>& s) {
    return s ? QJsonValue(*s) : QJsonValue(QJsonValue::Null);
}

QJsonValue timeOrNull(const std::optional<Instant>& t) {
    return orNull(t ? std::optional(Fmt::isoUtc(*t)) : std::nullopt);
}

// The file's fields, each of the type its layout says, or the first that is not.
class Fields {
public:
    std::optional<QString> problem;

    // A string that is a time, or null where null is allowed.
    enum class Past { Wrong, None }; // what a time outside Sense's range is
    std::optional<Instant> time(const QJsonObject& o, const char* key, bool nullable,
                                Past past = Past::Wrong) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (nullable && v.isNull())
            return std::nullopt;
        const QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODate);
        if (v.isString() && t.isValid()) {
            if (const auto at = Sense::instant(double(t.toMSecsSinceEpoch()) / 1000))
                return at;
            if (past == Past::None) // a reset past what anything here holds: as if unread
                return std::nullopt;
            // Held at the range's end, where the checks on times see it for what it is.
            return Sense::instant(t.toMSecsSinceEpoch() > 0 ? Sense::kMaxSeconds - 1
                                                            : 1 - Sense::kMaxSeconds);
        }
        wrong(key, nullable ? "a time or null" : "a time");
        return std::nullopt;
    }
    std::optional<QString> string(const QJsonObject& o, const char* key, bool nullable) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isString())
            return v.toString();
        if (!nullable || !v.isNull())
            wrong(key, nullable ? "a string or null" : "a string");
        return std::nullopt;
    }
    double number(const QJsonObject& o, const char* key, double from, double to) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isDouble() || v.toDouble() < from || v.toDouble() > to)
            wrong(key, QStringLiteral("a number from %1 to %2").arg(from).arg(to).toUtf8());
        return v.toDouble();
    }
    void wrong(const char* key, const QByteArray& want) {
        if (!problem)
            problem =
                QStringLiteral("its %1 is not %2").arg(QLatin1String(key), QString::fromUtf8(want));
    }
};

constexpr double kFuture = 300; // seconds a time may lie ahead, for clocks a little apart

} // namespace

namespace {

QJsonObject projectsOf(const Projects& p) {
    QJsonObject out;
    for (auto [key, list] : {std::pair{"session", &p.session}, {"week", &p.week}}) {
        QJsonArray rows;
        for (const ProjectShare& r : *list)
            rows.append(QJsonObject{{QStringLiteral("name"), r.name},
                                    {QStringLiteral("path"), r.path},
                                    {QStringLiteral("share"), r.share},
                                    {QStringLiteral("limitPercent"),
                                     r.limitPercent ? QJsonValue(*r.limitPercent) : QJsonValue()}});
        out.insert(QLatin1StringView(key), rows);
    }
    return out;
}

QJsonObject fieldsOf(const Snapshot& s, qsizetype maxRows) {
    QJsonArray rows;
    for (const Limit& l : s.limits.first(std::min(s.limits.size(), maxRows)))
        rows.append(QJsonObject{
            {QStringLiteral("title"), l.title},
            {QStringLiteral("label"), l.rawLabel},
            {QStringLiteral("percent"), l.percent},
            {QStringLiteral("resetsAt"), timeOrNull(l.resetsAt)},
            {QStringLiteral("resetText"), orNull(l.resetText)},
        });
    return {
        {QStringLiteral("updatedAt"), timeOrNull(s.updatedAt)},
        {QStringLiteral("checkedAt"), Fmt::isoUtc(s.checkedAt)},
        {QStringLiteral("error"), orNull(s.error)},
        {QStringLiteral("source"), s.source},
        {QStringLiteral("limits"), rows},
        // Paths may be long: they go with the last rows, so that the file stays readable.
        {QStringLiteral("projects"), projectsOf(maxRows > 0 ? s.projects : Projects{})},
    };
}

Snapshot snapshotOf(Fields& read, const QJsonObject& o) {
    const auto checked = read.time(o, "checkedAt", false);
    Snapshot s{read.time(o, "updatedAt", true),
               checked.value_or(Instant()),
               read.string(o, "error", true),
               {}};
    if (o.contains(QStringLiteral("source")))
        s.source = read.string(o, "source", false).value_or(QString());
    if (!o.value(QStringLiteral("limits")).isArray())
        read.wrong("limits", "a list");
    for (const QJsonValue& v : o.value(QStringLiteral("limits")).toArray()) {
        if (!v.isObject())
            read.wrong("limits", "a list of limits");
        const QJsonObject l = v.toObject();
        s.limits << Limit{read.string(l, "label", false).value_or(QString()),
                          read.string(l, "title", false).value_or(QString()),
                          read.number(l, "percent", 0, Sense::kMaxPercent),
                          read.time(l, "resetsAt", true, Fields::Past::None),
                          read.string(l, "resetText", true)};
    }
    const QJsonValue projects = o.value(QStringLiteral("projects"));
    if (!projects.isUndefined() && !projects.isObject()) // files from before have none
        read.wrong("projects", "an object");
    for (auto [key, to] : {std::pair{"session", &s.projects.session}, {"week", &s.projects.week}})
        for (const QJsonValue& v : projects.toObject().value(QLatin1StringView(key)).toArray()) {
            const QJsonObject p = v.toObject();
            const QJsonValue part = p.value(QStringLiteral("limitPercent"));
            *to << ProjectShare{
                read.string(p, "name", false).value_or(QString()),
                read.string(p, "path", false).value_or(QString()), read.number(p, "share", 0, 1),
                part.isNull()
                    ? std::nullopt
                    : std::optional(read.number(p, "limitPercent", 0, Sense::kMaxPercent))};
        }
    return s;
}

QByteArray encodeRows(const Snapshot& s, const QList<AccountSnapshot>& accounts, qsizetype rows) {
    QJsonObject file = fieldsOf(s, rows);
    file.insert(QStringLiteral("version"), 1);
    file.insert(QStringLiteral("app"), AppInfo::name() + u' ' + AppInfo::version());
    if (!accounts.isEmpty()) {
        QJsonArray list;
        for (const AccountSnapshot& a : accounts) {
            QJsonObject entry = fieldsOf(a.reading, rows);
            entry.insert(QStringLiteral("name"), a.name);
            entry.insert(QStringLiteral("configDir"), a.configDir);
            list.append(entry);
        }
        file.insert(QStringLiteral("accounts"), list);
    }
    return QJsonDocument(file).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

QByteArray encode(const Snapshot& s, const QList<AccountSnapshot>& accounts) {
    // Fewer rows, down to none, until the file is one every reader takes.
    for (qsizetype rows = kMaxLimits;; rows /= 2)
        if (QByteArray bytes = encodeRows(s, accounts, rows);
            bytes.size() <= kMaxBytes || rows == 0)
            return bytes;
}

File forAccount(File f, const std::optional<QString>& name) {
    if (!name || !f.snapshot)
        return f;
    QStringList names;
    for (const AccountSnapshot& a : f.accounts) {
        if (a.name == *name)
            return {a.reading, {a}, false, {}, encode(a.reading)};
        names << a.name;
    }
    return {std::nullopt,
            {},
            false,
            QStringLiteral("it holds no account named %1 (%2)")
                .arg(*name, names.isEmpty() ? QStringLiteral("it names no accounts")
                                            : QStringLiteral("it holds ") + names.join(u", ")),
            {}};
}

File read(const QString& path, Instant now) {
    File f;
    const Files::Read r = Files::readRegular(path, kMaxBytes + 1);
    f.missing = r.missing;
    if (r.missing)
        return f;
    if (r.problem || r.data.size() > kMaxBytes) {
        f.problem = r.problem.value_or(QStringLiteral("it is over 1 MB"));
        return f;
    }
    f.json = r.data;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.json, &error);
    const QJsonObject o = doc.object();
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        f.problem = QStringLiteral("not JSON (%1)").arg(error.errorString());
        return f;
    }
    if (o.value(QStringLiteral("version")) != QJsonValue(1)) {
        f.problem = QStringLiteral("a layout this Brimwatch does not know (version %1)")
                        .arg(o.value(QStringLiteral("version")).toVariant().toString());
        return f;
    }
    Fields read;
    const Snapshot s = snapshotOf(read, o);
    const QJsonValue accounts = o.value(QStringLiteral("accounts"));
    if (!accounts.isUndefined() && !accounts.isArray())
        read.wrong("accounts", "a list");
    for (const QJsonValue& v : accounts.toArray()) {
        if (!v.isObject())
            read.wrong("accounts", "a list of accounts");
        const QJsonObject a = v.toObject();
        f.accounts << AccountSnapshot{read.string(a, "name", false).value_or(QString()),
                                      read.string(a, "configDir", false).value_or(QString()),
                                      snapshotOf(read, a)};
    }
    QList<const Snapshot*> all{&s};
    for (const AccountSnapshot& a : f.accounts)
        all << &a.reading;
    for (const Snapshot* r : all)
        for (const auto& [key, t] :
             {std::pair{"checkedAt", std::optional(r->checkedAt)}, {"updatedAt", r->updatedAt}})
            if (t && secondsBetween(now, *t) > kFuture && !read.problem)
                read.problem = QStringLiteral("its %1 is in the future").arg(QLatin1String(key));
    if (read.problem)
        f.problem = *read.problem;
    else
        f.snapshot = s;
    return f;
}

} // namespace UsageFile
