#include "Snapshot.h"

#include "files/Files.h"
#include "files/Paths.h"
#include "prefs/Prefs.h"
#include "store/AccountStores.h"
#include "store/History.h"
#include "store/TimeSource.h"
#include "store/UsageStore.h"
#include "usage/UsageParser.h"
#include "views/Fit.h"
#include "views/PopoverView.h"
#include "views/Theme.h"
#include "views/UsageContent.h"
#include "views/WidgetView.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>

namespace SnapshotCommand {

namespace {

constexpr int kMargin = 24;
constexpr qreal kScale = 2;

} // namespace

void writePng(const QImage& image, const QString& path) {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return;
    // Written whole or not at all: a missing folder leaves nothing behind.
    Files::write(path, png);
}

void snapshot(QWidget* view, bool dark, const QString& path) {
    view->setPalette(dark ? Theme::dark() : Theme::light());
    fitToContent(view);
    const QSize size = view->size() + QSize(2 * kMargin, 2 * kMargin);
    QImage image(size * kScale, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return;
    image.setDevicePixelRatio(kScale);
    // Tell viewers the density, so the picture opens at its size in points.
    image.setDotsPerMeterX(int(72 * kScale / 0.0254));
    image.setDotsPerMeterY(int(72 * kScale / 0.0254));
    image.fill(QColor::fromRgbF(dark ? 0.12f : 0.86f, dark ? 0.12f : 0.86f, dark ? 0.12f : 0.86f));
    {
        QPainter painter(&image);
        view->render(&painter, QPoint(kMargin, kMargin), QRegion(), QWidget::DrawChildren);
    }
    writePng(image, path);
}

namespace {

// The sample usage screen, three lines, no final line feed.
QString sampleText() {
    return QStringLiteral(
        "Current session: 82% used · resets Oct 11 at 1:19am (Europe/Riga)\n"
        "Current week (all models): 67% used · resets Oct 14 at 9:59pm (Europe/Riga)\n"
        "Current week (Fable): 96% used · resets Oct 14 at 9:59pm (Europe/Riga)");
}

// A store in one of the states a person may find it in, without running anything.
struct Scene {
    const char* name;
    const char* limits;                // the sample screen it read two minutes ago, if any
    std::optional<Reading> answer;     // its reading since (none: still reading)
    std::optional<QString> newVersion; // a newer release, if one is out
    std::optional<bool> runsOut;       // with days of history: whose pace runs out, or is calm
    std::optional<StatusLine::Windows> report; // a status line's reading after the answer
};

// Time stands still in a rendering, at an evening when the sample's resets lie ahead
// (10 October 2025, 20:00 UTC): every rendering reads the same, whatever the day.
class StillTime : public TimeSource {
public:
    Instant now() const override { return Instant(std::chrono::seconds(1760126400)); }
    std::unique_ptr<Timer> after(double, std::function<void()>) override { return nullptr; }
    std::unique_ptr<Timer> every(double, std::function<void()>) override { return nullptr; }
};

struct Staged {
    std::unique_ptr<History> history = std::make_unique<History>(); // in memory only
    std::unique_ptr<UsageStore> store;
};

// Four days of readings every ten minutes up to now, climbing to the answer's percentages:
// steeply in the last hour of the session when the pace runs out, evenly when it is calm.
Reading paced(History& history, Instant now, bool runsOut) {
    const Instant sessionReset = now + 130 * 60.0, weekReset = now + 76 * 3600.0;
    const double session = runsOut ? 82 : 35, week = runsOut ? 67 : 30, fable = runsOut ? 96 : 20;
    const auto at = [&](int minutesAgo) {
        QList<Limit> limits;
        if (minutesAgo <= 170) { // the session's window began 2 h 50 m ago
            const double p = !runsOut          ? session * (170 - minutesAgo) / 170
                             : minutesAgo > 60 ? 30.0 * (170 - minutesAgo) / 110
                                               : 30 + 52.0 * (60 - minutesAgo) / 60;
            limits << Limit{
                QStringLiteral("Current session"), QStringLiteral("Session"), p, sessionReset, {}};
        }
        const double weekShare = 1 - minutesAgo / (92 * 60.0);
        limits << Limit{QStringLiteral("Current week (all models)"),
                        QStringLiteral("Week · all models"),
                        week * weekShare,
                        weekReset,
                        {}}
               << Limit{QStringLiteral("Current week (Fable)"),
                        QStringLiteral("Week · Fable"),
                        fable * weekShare,
                        weekReset,
                        {}};
        return limits;
    };
    for (int m = 92 * 60; m > 0; m -= 10)
        history.record(now - 60.0 * m, at(m));
    Reading reading;
    reading.limits = at(0);
    return reading;
}

Staged staged(const Scene& scene) {
    Staged s;
    static StillTime still;
    UsageStore::Deps deps;
    deps.time = &still;
    deps.history = s.history.get();
    std::optional<Reading> answer = scene.answer;
    if (scene.runsOut)
        answer = paced(*s.history, still.now(), *scene.runsOut);
    deps.read = [answer](QObject*, UsageStore::ReadDone done) {
        if (answer)
            done(*answer);
    };
    deps.latestVersion = [version = scene.newVersion](QObject*, UsageStore::VersionDone done) {
        done(version);
    };
    s.store = std::make_unique<UsageStore>(deps);
    if (scene.limits)
        s.store->loadSample(QString::fromUtf8(scene.limits));
    if (scene.name[0])
        s.store->refresh();
    if (scene.newVersion)
        s.store->checkForUpdate();
    if (scene.report)
        s.store->report(*scene.report);
    return s;
}

Reading failure(const QString& error, std::optional<QString> folderProblem = std::nullopt) {
    Reading r;
    r.error = error;
    r.folderProblem = std::move(folderProblem);
    return r;
}

// Two accounts, a personal plan near its session limit and a work plan with room: the card
// shows the tray's (the highest session), the panel both.
void accounts(const QString& folder, Prefs& prefs) {
    static StillTime still;
    History history;
    UsageStore::Deps deps;
    deps.time = &still;
    deps.history = &history;
    const QString work = QStringLiteral("Current session: 23% used · resets 4:10pm (UTC)\n"
                                        "Current week (all models): 41% used · resets Oct 13 at "
                                        "7am (UTC)");
    const QString personal = sampleText();
    AccountStores stores(
        deps,
        [&](QObject*, const Account& a, UsageStore::ReadDone done) {
            Reading r;
            r.limits = UsageParser::parse(a.isDefault() ? personal : work, still.now());
            done(r);
        },
        {{QStringLiteral("Personal"), {}}, {QStringLiteral("Work"), QStringLiteral("/work")}});
    stores.refresh();
    for (const bool dark : {false, true}) {
        const QString word =
            (dark ? QStringLiteral("-dark") : QStringLiteral("-light")) + QStringLiteral(".png");
        WidgetView card(stores.trayStore());
        card.content()->setTitle(stores.trayAccount().name);
        snapshot(&card, dark, folder + QStringLiteral("/widget-accounts") + word);
        PopoverView popover(&stores, &prefs);
        snapshot(&popover, dark, folder + QStringLiteral("/popover-accounts") + word);
    }
}

} // namespace

void run(const QString& folder, bool allStates) {
    const QByteArray sample = sampleText().toUtf8();
    const Scene scenes[] = {
        {"", sample.constData(), std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"-loading", nullptr, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"-error", nullptr,
         failure(QStringLiteral("Claude Code is not using a Claude plan, so it has no plan "
                                "limits to show. Open Terminal, type claude, run /login with "
                                "your Claude account, then press Refresh.")),
         std::nullopt, std::nullopt, std::nullopt},
        {"-failed", sample.constData(),
         failure(QStringLiteral("Claude Code did not answer within 60 seconds and was stopped."),
                 Paths::supportDir()
                     .replace(QDir::homePath(), QStringLiteral("~"))
                     .prepend(QStringLiteral("Brimwatch can't use its folder "))
                     .append(QStringLiteral(": it is a file, not a folder"))),
         QStringLiteral("1.4.2"), std::nullopt, std::nullopt},
        {"-pace", nullptr, std::nullopt, std::nullopt, true, std::nullopt},
        {"-calm", nullptr, std::nullopt, std::nullopt, false, std::nullopt},
        // The app's own login is not the one Claude Code uses; its status line reports.
        {"-statusline", sample.constData(),
         failure(QStringLiteral("Claude Code is not logged in. Open Terminal, type claude, run "
                                "/login, then press Refresh.")),
         std::nullopt, std::nullopt,
         StatusLine::Windows{StatusLine::Window{91, StillTime().now() + 125 * 60.0},
                             StatusLine::Window{70, StillTime().now() + 76 * 3600.0}}},
    };
    Prefs prefs;
    for (const Scene& scene : scenes) {
        if (scene.name[0] && !allStates)
            break;
        const Staged staging = staged(scene);
        UsageStore* store = staging.store.get();
        const QString name = QString::fromLatin1(scene.name);
        for (const bool dark : {false, true}) {
            const QString word = (dark ? QStringLiteral("-dark") : QStringLiteral("-light")) +
                                 QStringLiteral(".png");
            WidgetView card(store);
            snapshot(&card, dark, folder + QStringLiteral("/widget") + name + word);
            PopoverView popover(store, &prefs);
            snapshot(&popover, dark, folder + QStringLiteral("/popover") + name + word);
        }
    }
    if (allStates)
        accounts(folder, prefs);
}

} // namespace SnapshotCommand
