#pragma once

#include <QDir>
#include <QString>

// A login of the claude tool: a name for people, and the config folder the tool keeps it in
// (CLAUDE_CONFIG_DIR). The default account is the tool's own default: no folder given, so the
// tool uses ~/.claude.
struct Account {
    QString name;
    QString configDir; // empty for the default account

    bool isDefault() const { return configDir.isEmpty(); }
    // The folder the tool reads, the default one included.
    QString folder() const {
        return isDefault() ? QDir::homePath() + QStringLiteral("/.claude") : configDir;
    }
    friend bool operator==(const Account&, const Account&) = default;
};
