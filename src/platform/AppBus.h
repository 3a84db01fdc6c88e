#pragma once

#include "AppBusNames.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <optional>

// The running app on the session bus: the name com.velkorlab.Brimwatch, the object
// /com/velkorlab/Brimwatch, the interface com.velkorlab.Brimwatch. A second launch asks it to
// show its panel rather than start a second copy.
class AppBus : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.velkorlab.Brimwatch")
public:
    static constexpr const char* kService = AppBusNames::kService;
    static constexpr const char* kPath = AppBusNames::kPath;
    static constexpr int kTimeout = AppBusNames::kTimeout;

    // Takes the name on the bus; without a bus, or when the name is taken, nobody calls.
    explicit AppBus(const QDBusConnection& bus, QObject* parent = nullptr);

    // Asks the app that runs to show its panel: why that could not be done, if it could not.
    static std::optional<QString> showPanelOfRunning(const QDBusConnection& bus);

public slots:
    Q_SCRIPTABLE void ShowPanel();
    // A reading of Claude Code's status line, passed on by `brimwatch --statusline`.
    // with "configDir", the CLAUDE_CONFIG_DIR of the Claude Code that ran it.
    Q_SCRIPTABLE void ReportLimits(const QVariantMap& limits);
    // The accounts in the settings file were changed by `brimwatch --add-account` and the like.
    Q_SCRIPTABLE void AccountsChanged();

signals:
    void showPanelRequested();
    void limitsReported(const QVariantMap& limits);
    void accountsChanged();
};
