#include "support/QtPrinters.h"
#include "usage/UsageParser.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString kNoAnswer = QString::fromUtf16(UsageParser::kNoAnswer);
const QString kLoggedOut = QString::fromUtf16(UsageParser::kLoggedOut);
const QString kApiKey = QString::fromUtf16(UsageParser::kApiKey);

TEST(Explain, MessagesForWhatTheUserCanActOn) {
    const struct {
        QString text;
        QString expected;
    } cases[] = {
        {u""_s, kNoAnswer},
        {u" \t\r\n "_s, kNoAnswer},
        {u"\x1b[2J\x1b[H\x1b[0m"_s, kNoAnswer},
        {u"Invalid API key · Please run /login"_s, kLoggedOut},
        {u"Error: Not Logged In"_s, kLoggedOut},
        {u"OAuth token has expired"_s, kLoggedOut},
        {u"Authentication failed"_s, kLoggedOut},
        {u"Please log in again"_s, kLoggedOut},
        {u"This organization uses API usage billing"_s, kApiKey},
        {u"You are using an API KEY"_s, kApiKey},
        {u"\x1b[31mInvalid api key\x1b[0m"_s, kApiKey},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UsageParser::explain(c.text), c.expected) << c.text.toStdString();
}

TEST(Explain, OtherwiseTheFirstMeaningfulLine) {
    const struct {
        QString text;
        QString expected;
    } cases[] = {
        {u"Error: model usage-check-only not found\nSomething went wrong"_s,
         u"Something went wrong"_s},
        {u"usage-check-only a\nusage-check-only b"_s, u"usage-check-only a\nusage-check-only b"_s},
        // The whole text is trimmed first; a later line keeps its own leading spaces.
        {u"   \n  Rate limited\nmore"_s, u"Rate limited"_s},
        {u"usage-check-only failed\n   \n  Rate limited\nmore"_s, u"  Rate limited"_s},
        {u"\n\n  Overloaded  \n"_s, u"Overloaded"_s},
        {u"\x1b[33mBusy\x1b[0m\r\nretry"_s, u"Busy"_s},
        // Case-sensitive: a differently cased model name is not the placeholder.
        {u"USAGE-CHECK-ONLY\nx"_s, u"USAGE-CHECK-ONLY"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UsageParser::explain(c.text), c.expected) << c.text.toStdString();
}

TEST(Explain, ExcerptIsCutAt160UserPerceivedCharacters) {
    EXPECT_EQ(UsageParser::explain(QString(500, u'x')), QString(160, u'x'));

    // "e" with a combining acute accent is one character of two code units.
    const QString accented = QString(u"e\u0301"_s).repeated(200);
    EXPECT_EQ(UsageParser::explain(accented), QString(u"e\u0301"_s).repeated(160));

    // Emoji outside the BMP are never split between their surrogates.
    const QString faces = QString(u"\U0001F600"_s).repeated(170);
    EXPECT_EQ(UsageParser::explain(faces), QString(u"\U0001F600"_s).repeated(160));

    EXPECT_EQ(UsageParser::explain(u"short"_s), u"short"_s);
}

TEST(Explain, ReplacementCharactersAreText) {
    const QString text = QString::fromUtf8("\xff\xfe boom \xc3");
    EXPECT_FALSE(UsageParser::explain(text).isEmpty());
    EXPECT_TRUE(UsageParser::explain(text).contains(u"boom"));
}

} // namespace
