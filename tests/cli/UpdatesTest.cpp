#include "cli/Updates.h"
#include "support/HttpServer.h"
#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Runs one feed check against the server and waits for its answer.
std::optional<QString> check(const HttpServer& server, std::chrono::milliseconds timeout = {}) {
    Updates::FeedOptions options;
    options.url = server.url();
    if (timeout.count() > 0)
        options.timeout = timeout;
    QObject context;
    int calls = 0;
    std::optional<QString> result;
    Updates::latest(
        &context,
        [&](std::optional<QString> v) {
            ++calls;
            result = v;
        },
        options);
    QElapsedTimer clock;
    clock.start();
    while (calls == 0 && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    return result;
}

TEST(Updates, FeedAnswers) {
    const QByteArray big = "{\"version\":\"9.9\",\"pad\":\"" + QByteArray(70 * 1024, 'x') + "\"}";
    const struct {
        const char* name;
        HttpServer::Response response;
        std::optional<QString> expected;
    } cases[] = {
        {"version", {200, R"({"version":"1.2.3"})"}, u"1.2.3"_s},
        {"other members", {200, R"({"notes":"x","version":"2.0","size":3})"}, u"2.0"_s},
        {"kept as written", {200, R"({"version":" 1.4 "})"}, u" 1.4 "_s},
        {"not modified", {304, ""}, std::nullopt},
        {"server error", {500, R"({"version":"9"})"}, std::nullopt},
        {"not found", {404, R"({"version":"9"})"}, std::nullopt},
        {"created", {201, R"({"version":"9"})"}, std::nullopt},
        {"not JSON", {200, "<html>hello</html>"}, std::nullopt},
        {"a number", {200, R"({"version":2})"}, std::nullopt},
        {"an array", {200, R"(["version","1.0"])"}, std::nullopt},
        {"no version", {200, R"({"name":"Brimwatch"})"}, std::nullopt},
        {"over 64 KB", {200, big}, std::nullopt},
        {"over 64 KB, no length", {200, big, false}, std::nullopt},
    };
    for (const auto& c : cases) {
        HttpServer server;
        server.response = c.response;
        EXPECT_EQ(check(server), c.expected) << c.name;
    }
}

TEST(Updates, RequestIsAPlainGetWithOurUserAgent) {
    HttpServer server;
    server.response = {200, R"({"version":"1.0.0"})"};
    check(server);
    ASSERT_EQ(server.requests.size(), 1);
    const QByteArray head = server.requests[0];
    EXPECT_TRUE(head.startsWith("GET /version.json HTTP/1.1\r\n")) << head.toStdString();
    EXPECT_TRUE(head.contains("\r\nUser-Agent: Brimwatch/1.0.0\r\n")) << head.toStdString();
    // Only what any HTTP client sends besides: no cache control, no cookies.
    const QList<QByteArray> allowed{"host", "user-agent", "connection", "accept-encoding",
                                    "accept-language"};
    for (const QByteArray& line : head.split('\n').mid(1)) {
        const QByteArray name = line.left(line.indexOf(':')).trimmed().toLower();
        EXPECT_TRUE(allowed.contains(name)) << line.toStdString();
    }
}

TEST(Updates, AServerThatNeverAnswersTimesOut) {
    HttpServer server;
    server.response.silent = true;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(check(server, std::chrono::milliseconds(400)), std::nullopt);
    EXPECT_LT(clock.elapsed(), 10000);
}

TEST(Updates, NothingListening) {
    Updates::FeedOptions options;
    options.url = QUrl(u"http://127.0.0.1:1/version.json"_s);
    QObject context;
    int calls = 0;
    Updates::latest(
        &context, [&](std::optional<QString> v) { calls += v ? 100 : 1; }, options);
    QElapsedTimer clock;
    clock.start();
    while (calls == 0 && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(calls, 1);
}

// The app checks through a helper process, so that TLS never stays in its memory.
std::optional<QString> checkInHelper(const QString& helper, const QUrl& feed, int* calls) {
    QObject context;
    std::optional<QString> result;
    Updates::latestInHelper(
        &context,
        [&](std::optional<QString> v) {
            ++*calls;
            result = v;
        },
        helper, feed);
    QElapsedTimer clock;
    clock.start();
    while (*calls == 0 && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return result;
}

TEST(Updates, TheHelperProcessAnswersAsTheCheckDoes) {
    const QString helper = QStringLiteral(BRIMWATCH_VERSION_CHECK);
    const struct {
        const char* name;
        QString helper;
        HttpServer::Response response;
        std::optional<QString> expected;
    } cases[] = {
        {"version", helper, {200, R"({"version":"2.1"})"}, u"2.1"_s},
        {"kept as written", helper, {200, R"({"version":"2.1 \n"})"}, u"2.1 \n"_s},
        {"server error", helper, {500, R"({"version":"2.1"})"}, std::nullopt},
        {"not JSON", helper, {200, "nope"}, std::nullopt},
        {"no helper: in-process", u""_s, {200, R"({"version":"3.0"})"}, u"3.0"_s},
        {"helper missing",
         u"/nonexistent/brimwatch-version-check"_s,
         {200, R"({"version":"3"})"},
         std::nullopt},
    };
    for (const auto& c : cases) {
        HttpServer server;
        server.response = c.response;
        int calls = 0;
        EXPECT_EQ(checkInHelper(c.helper, server.url(), &calls), c.expected) << c.name;
        QCoreApplication::processEvents();
        EXPECT_EQ(calls, 1) << c.name;
    }
}

TEST(Updates, IsNewerTable) {
    const struct {
        const char* candidate;
        const char* current;
        bool newer;
    } cases[] = {
        {"1.2.10", "1.2.9", true},
        {"1.10", "1.9", true},
        {"1.2", "1.2.0", false},
        {"1.2.0", "1.2", false},
        {"1.0.0", "1.0.0", false},
        {"0.9", "1.0", false},
        {"2", "1.9.9", true},
        {"1.2.0-beta.1", "1.2.0", true},
        {"", "0.0", false},
        {"v2", "1.0", false},
        {"1..3", "1.2", true},
        {".1.", "0.9", true},
        {"+2", "1", true},
        {"-1", "0", false},
        {"+-1", "0", false},
        {"1. 2", "1.1", false},
        {"99999999999999999999", "1", false},
        {"1.0.1", "1.0.0.9", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Updates::isNewer(QString::fromUtf8(c.candidate), QString::fromUtf8(c.current)),
                  c.newer)
            << c.candidate << " vs " << c.current;
}

TEST(AppInfo, NamesAndAddresses) {
    EXPECT_EQ(AppInfo::name(), u"Brimwatch"_s);
    EXPECT_EQ(AppInfo::version(), u"1.0.0"_s);
    EXPECT_EQ(AppInfo::site().scheme(), u"https"_s);
    EXPECT_EQ(AppInfo::site().path(), u"/"_s);
    EXPECT_EQ(AppInfo::versionFeed(), AppInfo::site().resolved(QUrl(u"/version.json"_s)));
}

} // namespace
