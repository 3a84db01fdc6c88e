#pragma once

#include "usage/Instant.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <string_view>

// One line of a Claude Code transcript (projects/<folder>/<session>.jsonl): a reply of the
// model, with what it cost in tokens, or nothing Brimwatch counts. Only numbers and names are
// taken; what was said never leaves the line.
namespace Transcript {

// Every reply's line holds this, written by Claude Code without spaces; a line without it is
// skipped unread. A line with it (a file's text quoting a transcript) is still parsed and
// checked.
inline constexpr std::string_view kReplyMark = "\"type\":\"assistant\"";

// A count past this in one reply is a misreading (a context window is two orders smaller).
inline constexpr qint64 kMaxTokens = 100'000'000;

struct Message {
    QByteArray id;      // message.id: a streamed reply's lines share it, and so do copies
    QByteArray request; // requestId
    Instant at;
    QString model, cwd, session;
    qint64 input = 0, output = 0, cacheWrite = 0, cacheRead = 0;
    qint64 count = 1; // messages it stands for (the index sums them by key and model)
    friend bool operator==(const Message&, const Message&) = default;
};

struct Line {
    enum class Kind {
        Other,     // not a reply (a user line, a summary, a snapshot...)
        Reply,     // a reply with its counts
        Malformed, // not JSON, or a reply without its id, time or usage
        Absurd,    // a reply whose counts make no sense (negative, past kMaxTokens, not numbers)
    } kind = Kind::Other;
    Message message;
};

Line read(QByteArrayView line);

} // namespace Transcript
