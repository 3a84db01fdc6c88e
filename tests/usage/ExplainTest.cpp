#include "support/Table.h"
#include "usage/UsageParser.h"

using namespace Qt::StringLiterals;

namespace {

// The explanation, with the fixed messages named in brackets.
QString explained(const QString& text) {
    const QString e = UsageParser::explain(text);
    for (const auto& [name, message] : {std::pair{"[no answer]", UsageParser::kNoAnswer},
                                        {"[logged out]", UsageParser::kLoggedOut},
                                        {"[api key]", UsageParser::kApiKey},
                                        {"[no plan]", UsageParser::kNoPlan},
                                        {"[no figures]", UsageParser::kNoFigures}})
        if (e == QString::fromUtf16(message))
            return QString::fromLatin1(name);
    return e;
}

TEST(Explain, Table) {
    const Row rows[] = {
        {"", "[no answer]"},
        {" \t\r\n ", "[no answer]"},
        {"\x1b[2J\x1b[H\x1b[0m", "[no answer]"},
        // The cost summary is known by its whole block, in any order, among other lines.
        {"hi\nUsage: 0 input\n Total code changes: 0\nTotal duration (API): 0s\n"
         "Estimated cost: $0\nbye",
         "[no plan]"},
        {"Total cost: $0.0000\nTotal duration (API): 0s\nUsage: 0 input", "Total cost: $0.0000"},
        // The plan's line alone (either wording), after the model notice or not: no figures.
        {"You are currently using your subscription to power your Claude Code usage\n\n",
         "[no figures]"},
        {"Claude Code doesn't recognize the model \"usage-check-only\"\nYou are currently using "
         "your overages to power your Claude Code usage. We will switch you back",
         "[no figures]"},
        {"You are currently using your subscription\nOverloaded", "Overloaded"},
        // The notice about the placeholder model is never the reason.
        {"Claude Code doesn't recognize the model \"usage-check-only\", so ...\nPlease log in",
         "[logged out]"},
        {"Invalid API key · Please run /login", "[logged out]"},
        {"Error: Not Logged In", "[logged out]"},
        {"OAuth token has expired", "[logged out]"},
        {"Authentication failed", "[logged out]"},
        {"Please log in again", "[logged out]"},
        {"This organization uses API usage billing", "[api key]"},
        {"You are using an API KEY", "[api key]"},
        {"\x1b[31mInvalid api key\x1b[0m", "[api key]"},
        // Otherwise the first meaningful line, as printed.
        {"Error: model usage-check-only not found\nSomething went wrong", "Something went wrong"},
        {"usage-check-only a\nusage-check-only b", "usage-check-only a\nusage-check-only b"},
        // The whole text is trimmed first; a later line keeps its own leading spaces.
        {"   \n  Rate limited\nmore", "Rate limited"},
        {"usage-check-only failed\n   \n  Rate limited\nmore", "  Rate limited"},
        {"\x1b[33mBusy\x1b[0m\r\nretry", "Busy"},
        // Case-sensitive: a differently cased model name is not the placeholder.
        {"USAGE-CHECK-ONLY\nx", "USAGE-CHECK-ONLY"},
    };
    checkTable(rows, explained);
}

TEST(Explain, AnExcerptIsAt160UserPerceivedCharacters) {
    // "e" with a combining accent is two code units; an emoji outside the BMP is a pair.
    for (const QString& c : {u"x"_s, u"e\u0301"_s, u"\U0001F600"_s})
        EXPECT_EQ(UsageParser::explain(c.repeated(500)), c.repeated(160)) << c;
}

} // namespace
