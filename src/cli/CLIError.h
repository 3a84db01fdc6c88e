#pragma once

#include <QString>

#include <variant>

// A failure of the CLI bridge: one complete sentence for the user.
struct CLIError {
    QString message;
    friend bool operator==(const CLIError&, const CLIError&) = default;
};

// What one run of the tool gives: the text it printed, or why there is none.
using CLIResult = std::variant<QString, CLIError>;
