// The version feed, against a real HTTP server on 127.0.0.1: checked in the app's process,
// and by the helper process the app runs for it.

#include "cli/Feed.h"
#include "support/HttpServer.h"
#include "support/Table.h"

#include <QCoreApplication>
#include <QElapsedTimer>

using namespace Qt::StringLiterals;

namespace {

const QString kHelper = QStringLiteral(BRIMWATCH_VERSION_CHECK);

// One check, in-process or through a helper; "-" when it yields nothing.
QString check(const QUrl& feed, const std::optional<QString>& helper = std::nullopt,
              std::chrono::milliseconds timeout = std::chrono::milliseconds(15000)) {
    QObject context;
    QStringList answers;
    const auto done = [&](std::optional<QString> v) { answers << v.value_or(u"-"_s); };
    if (helper) {
        Updates::latestInHelper(&context, done, *helper, feed);
    } else {
        Updates::FeedOptions options;
        options.url = feed;
        options.timeout = timeout;
        Updates::latest(&context, done, options);
    }
    QElapsedTimer clock;
    clock.start();
    while (answers.isEmpty() && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
    EXPECT_EQ(answers.size(), 1) << "answered once";
    return answers.value(0);
}

TEST(Updates, WhatTheFeedAnswers) {
    const QByteArray big = "{\"version\":\"9.9\",\"pad\":\"" + QByteArray(70 * 1024, 'x') + "\"}";
    const struct {
        const char* name;
        HttpServer::Response response;
        QString version;
    } cases[] = {
        {"version", {200, R"({"version":"1.2.3"})"}, u"1.2.3"_s},
        {"other members", {200, R"({"notes":"x","version":"2.0","size":3})"}, u"2.0"_s},
        {"kept as written", {200, R"({"version":" 1.4 \n"})"}, u" 1.4 \n"_s},
        {"not modified", {304, ""}, u"-"_s},
        {"server error", {500, R"({"version":"9"})"}, u"-"_s},
        {"created", {201, R"({"version":"9"})"}, u"-"_s},
        {"not JSON", {200, "<html>hello</html>"}, u"-"_s},
        {"a number", {200, R"({"version":2})"}, u"-"_s},
        {"an array", {200, R"(["version","1.0"])"}, u"-"_s},
        {"over 64 KB", {200, big}, u"-"_s},
        {"over 64 KB, no length", {200, big, false}, u"-"_s},
    };
    for (const auto& c : cases)
        for (const std::optional<QString>& helper :
             {std::optional<QString>(), std::optional(kHelper)}) {
            HttpServer server;
            server.response = c.response;
            EXPECT_EQ(check(server.url(), helper), c.version)
                << c.name << (helper ? " (helper)" : "");
        }
    // A missing helper yields nothing, and so does an install without one.
    HttpServer server;
    server.response = {200, R"({"version":"3.0"})"};
    EXPECT_EQ(check(server.url(), u"/nonexistent/brimwatch-version-check"_s), u"-"_s);
    EXPECT_EQ(check(server.url(), u""_s), u"-"_s);
}

TEST(Updates, FollowsARedirect) {
    HttpServer moved, target;
    target.response = {200, R"({"version":"4.0"})"};
    moved.response = {301, ""};
    moved.location = target.url(u"/feed"_s).toEncoded();
    EXPECT_EQ(check(moved.url()), u"4.0"_s);
    EXPECT_EQ(check(moved.url(), kHelper), u"4.0"_s);
    EXPECT_TRUE(target.requests.value(0).startsWith("GET /feed HTTP/1.1"));
}

TEST(Updates, RequestIsAPlainGetWithOurUserAgent) {
    HttpServer server;
    server.response = {200, R"({"version":"1.0.0"})"};
    check(server.url());
    ASSERT_EQ(server.requests.size(), 1);
    const QByteArray head = server.requests[0];
    EXPECT_TRUE(head.startsWith("GET /version.json HTTP/1.1\r\n")) << head.toStdString();
    EXPECT_TRUE(head.contains("\r\nUser-Agent: Brimwatch/1.0.0\r\n")) << head.toStdString();
    // Only what any HTTP client sends besides: no cache control, no cookies.
    const QList<QByteArray> allowed{"host", "user-agent", "connection", "accept-encoding",
                                    "accept-language"};
    for (const QByteArray& line : head.split('\n').mid(1))
        EXPECT_TRUE(allowed.contains(line.left(line.indexOf(':')).trimmed().toLower()))
            << line.toStdString();
}

TEST(Updates, AServerThatIsSilentOrAbsentYieldsNothing) {
    HttpServer server;
    server.response.silent = true;
    EXPECT_EQ(check(server.url(), std::nullopt, std::chrono::milliseconds(400)), u"-"_s);
    EXPECT_EQ(check(QUrl(u"http://127.0.0.1:1/version.json"_s)), u"-"_s);
}

// "candidate|current" in, whether the candidate is newer out.
TEST(Updates, IsNewer) {
    const Row rows[] = {
        {"1.2.10|1.2.9", "yes"},
        {"1.10|1.9", "yes"},
        {"1.2|1.2.0", "no"},
        {"1.2.0|1.2", "no"},
        {"1.0.0|1.0.0", "no"},
        {"0.9|1.0", "no"},
        {"2|1.9.9", "yes"},
        {"1.2.0-beta.1|1.2.0", "yes"},
        {"|0.0", "no"},
        {"v2|1.0", "no"},
        {"1..3|1.2", "yes"},
        {".1.|0.9", "yes"},
        {"+2|1", "yes"},
        {"-1|0", "no"},
        {"+-1|0", "no"},
        {"1. 2|1.1", "no"},
        {"99999999999999999999|1", "no"},
        {"1.0.1|1.0.0.9", "yes"},
        {"1.0.0.1|1.0.0", "yes"},
        {"1.0.0|1.0.0.1", "no"},
    };
    checkTable(rows, [](const QString& s) {
        return Updates::isNewer(s.section(u'|', 0, 0), s.section(u'|', 1)) ? u"yes"_s : u"no"_s;
    });
}

} // namespace
