#pragma once

#include "Line.h"
#include "usage/Limit.h"

#include <QList>
#include <QString>

#include <optional>

// What used a limit: the replies of a window grouped by project, model or session, each with
// its share of the window's weight, and that share of the limit's percentage. An estimate from
// Claude Code's transcripts: the plan counts what its servers count, not these lines.
namespace Transcript {

// A reply's weight: input + 5 × output + 1.25 × cache write + 0.1 × cache read (the API's
// relative prices of the kinds of token), times its model's factor.
double weight(const Message& m);
// By family, as the API's prices stand to Sonnet's: Opus 5/3, Sonnet 1, Haiku 1/3; any other 1.
double modelFactor(QStringView model);

struct Window {
    QString name; // "session", "week" or "<N>d"
    Instant from, to;
    std::optional<double> limitPercent; // the limit's percentage at the last reading
};

// The session from its reset minus 5 hours to now (the week: minus 7 days), as the last
// reading gave them; without a reset (or one further ahead than that), the last 5 hours (7
// days). Once the reading's reset has passed, its percentage no longer applies: none.
Window sessionWindow(std::optional<Instant> reset, std::optional<double> percent, Instant now);
Window weekWindow(std::optional<Instant> reset, std::optional<double> percent, Instant now);
Window lastDays(int days, Instant now);
inline constexpr int kMaxDays = 30; // Claude Code keeps no transcript longer

// The titles of the rows whose windows these are.
inline constexpr char16_t kSessionTitle[] = u"Session", kWeekTitle[] = u"Week · all models";

// A window by name, "session", "week" or "<N>d" (1 to kMaxDays), for the last reading's rows
// (the session's and the week's); none for any other name.
std::optional<Window> window(const QString& name, const QList<Limit>& rows, Instant now);

enum class By { Project, Model, Session };

struct Row {
    QString key;  // the project's folder (cwd), the model's id, or the session's id
    QString name; // short: the folder's name (with its parent where two share it), the id
    qint64 messages = 0, input = 0, output = 0, cacheWrite = 0, cacheRead = 0;
    double weight = 0, share = 0;
    std::optional<double> limitPercent; // share × the limit's percentage
};

// The window's replies (those outside it are left out) as rows, largest weight first.
QList<Row> rows(const QList<Message>& replies, By by, const Window& window);

// "Mostly brimwatch ≈50% · website ≈25%": the top rows' parts of the limit, at most `top`;
// without its percentage, their shares ("Mostly brimwatch, 67% of the use · website, 33%");
// empty without rows.
QString summary(const QList<Row>& rows, int top = 2);

} // namespace Transcript
