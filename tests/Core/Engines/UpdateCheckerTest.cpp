#include "FernwickCore/Engines/UpdateChecker.h"

#include <arpa/inet.h>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fernwick {
namespace {

/// A one-thread HTTP server on 127.0.0.1 for the test's own requests. Answers each path with a
/// canned raw response; stops when destroyed, or by itself after 30 s without a request.
class LocalHttpServer {
public:
    explicit LocalHttpServer(std::map<std::string, std::string> responses)
        : m_responses(std::move(responses)) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* generic = reinterpret_cast<sockaddr*>(&address);
        if (::bind(m_listener, generic, length) != 0 || ::listen(m_listener, 16) != 0 ||
            ::getsockname(m_listener, generic, &length) != 0 || ::pipe(m_stop) != 0) {
            ADD_FAILURE() << "cannot start the local server";
            return;
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~LocalHttpServer() {
        if (m_thread.joinable()) {
            (void)!::write(m_stop[1], "x", 1);
            m_thread.join();
        }
        for (int fd : {m_listener, m_stop[0], m_stop[1]}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

private:
    void serve() {
        for (;;) {
            pollfd fds[2] = {{m_listener, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
            if (::poll(fds, 2, 30000) <= 0 || (fds[1].revents & POLLIN) != 0) {
                return;
            }
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                continue;
            }
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
                pollfd in{client, POLLIN, 0};
                if (::poll(&in, 1, 5000) <= 0) {
                    break;
                }
                const ssize_t got = ::read(client, buffer, sizeof buffer);
                if (got <= 0) {
                    break;
                }
                request.append(buffer, static_cast<std::size_t>(got));
            }
            const auto start = request.find(' ') + 1;
            const std::string path = request.substr(start, request.find(' ', start) - start);
            const auto found = m_responses.find(path);
            const std::string response = found != m_responses.end()
                                             ? found->second
                                             : "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n"
                                               "Connection: close\r\n\r\n";
            std::string_view rest = response;
            while (!rest.empty()) {
                const ssize_t sent = ::send(client, rest.data(), rest.size(), MSG_NOSIGNAL);
                if (sent <= 0) {
                    break;
                }
                rest.remove_prefix(static_cast<std::size_t>(sent));
            }
            ::shutdown(client, SHUT_WR);
            ::close(client);
        }
    }

    std::map<std::string, std::string> m_responses;
    int m_listener = -1;
    int m_stop[2] = {-1, -1};
    int m_port = 0;
    std::thread m_thread;
};

std::string http(int status, const std::string& body, const std::string& extra = {}) {
    return "HTTP/1.1 " + std::to_string(status) + " Status\r\nContent-Type: application/json\r\n" +
           extra + "Content-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

std::string manifest(const std::string& version, const std::string& address) {
    return R"({"latestVersion":")" + version + R"(","downloadUrl":")" + address + R"("})";
}

TEST(UpdateChecker, ComparesVersionsPieceByPiece) {
    struct Row {
        const char* candidate;
        const char* current;
        bool newer;
    };
    for (const auto& [candidate, current, newer] : {
             Row{"1.10", "1.9", true},
             Row{"1.9", "1.10", false},
             Row{"1.2", "1.2.0", false},
             Row{"1.2.0", "1.2", false},
             Row{"2.0-beta", "1.9", true},
             Row{"1.2.3a", "1.2.0", false},
             Row{"1.2.0", "1.2.3a", false},
             Row{"beta", "1.0", false},
             Row{"1.0", "1.0", false},
             Row{"", "", false},
             Row{"1..1", "1.0.9", true},
             Row{"+2", "1", true},
             Row{"-1", "0", false},
             Row{"0", "-1", true},
             Row{"1.+-2", "1.0", false},
             Row{"99999999999999999999", "1", false},
             Row{"1. 2", "1.1", false},
             Row{"1.0.1", "1", true},
         }) {
        EXPECT_EQ(UpdateChecker::isVersion(candidate, current), newer)
            << candidate << " vs " << current;
    }
}

TEST(UpdateChecker, RunningVersionAndManifestLocation) {
    const std::string version = UpdateChecker::currentVersion();
    EXPECT_FALSE(version.empty());
    EXPECT_FALSE(UpdateChecker::isVersion(version, version));
    const std::string manifestURL = UpdateChecker::defaultManifestURL();
    EXPECT_EQ(manifestURL.rfind("https://", 0), 0U);
    EXPECT_TRUE(manifestURL.ends_with("/version.json"));
}

TEST(UpdateChecker, OnlyWebAddressesWithAHostAreDownloadAddresses) {
    for (const char* good :
         {"https://example.org/download", "HTTPS://Example.org/a?b=c#d", "https://[::1]:8443/x"}) {
        EXPECT_TRUE(UpdateChecker::isValidDownloadAddress(good)) << good;
    }
    for (const char* bad :
         {"http://example.org", "", "not a url", "example.org/download", "/relative/path",
          "file:///etc/passwd", "javascript:alert(1)", "ftp://example.org/x", "https://",
          "https:///path", "https://exa mple.org", "https://example.org/\n", "smb://host/share",
          "mailto:a@b"}) {
        EXPECT_FALSE(UpdateChecker::isValidDownloadAddress(bad)) << bad;
    }
}

TEST(UpdateChecker, AnswersOnlyForAGoodManifestWithStatus200) {
    const std::string newer = manifest("999.1", "https://example.org/get");
    const std::string padding(1024 * 1024, ' ');
    std::map<std::string, std::string> responses = {
        {"/ok", http(200, newer)},
        {"/not-modified", http(304, newer)},
        {"/error", http(500, newer)},
        {"/array", http(200, "[" + newer + "]")},
        {"/text", http(200, "\"999.1\"")},
        {"/garbage", http(200, "{not json")},
        {"/missing", http(200, R"({"latestVersion":"999.1"})")},
        {"/wrong-case", http(200, R"({"latestVersion":"999.1","downloadURL":"https://a.b"})")},
        {"/number", http(200, R"({"latestVersion":999.1,"downloadUrl":"https://a.b"})")},
        {"/older", http(200, manifest("0.0.1", "https://example.org/get"))},
        {"/equal", http(200, manifest(UpdateChecker::currentVersion(), "https://a.b"))},
        {"/bad-address", http(200, manifest("999.1", "file:///etc/passwd"))},
        {"/no-host", http(200, manifest("999.1", "https:///get"))},
        {"/over-cap", http(200, newer + padding)},
        {"/under-cap", http(200, newer + std::string(1000, ' '))},
        {"/extra", http(200, R"({"x":1,"latestVersion":"999.1","downloadUrl":"http://a.b/c"})")},
    };
    LocalHttpServer server(responses);
    // Redirects are followed only to https; a plain-http hop ends the check.
    LocalHttpServer redirecting(
        {{"/moved", http(302, "", "Location: " + server.url("/ok") + "\r\n")}});

    const auto ok = UpdateChecker::checkForUpdate(server.url("/ok"));
    ASSERT_TRUE(ok.has_value());
    EXPECT_EQ(*ok, (AppUpdateInfo{"999.1", "https://example.org/get"}));
    EXPECT_EQ(UpdateChecker::checkForUpdate(server.url("/under-cap")), ok);

    for (const char* path : {"/extra", "/not-modified", "/error", "/array", "/text", "/garbage",
                             "/missing", "/wrong-case", "/number", "/older", "/equal",
                             "/bad-address", "/no-host", "/over-cap", "/absent"}) {
        EXPECT_EQ(UpdateChecker::checkForUpdate(server.url(path)), std::nullopt) << path;
    }
    EXPECT_EQ(UpdateChecker::checkForUpdate(redirecting.url("/moved")), std::nullopt);
    EXPECT_EQ(UpdateChecker::checkForUpdate("not a url at all"), std::nullopt);
    EXPECT_EQ(UpdateChecker::checkForUpdate("file:///etc/hostname"), std::nullopt);
}

TEST(UpdateChecker, EachOutcomeOfACheckHasItsKindAndText) {
    using Kind = UpdateCheckResult::Kind;
    const std::string unreadable = "The update information could not be read.";
    LocalHttpServer server({
        {"/ok", http(200, manifest("999.1", "https://example.org/get"))},
        {"/error", http(500, "")},
        {"/garbage", http(200, "{not json")},
        {"/older", http(200, manifest("0.0.1", "http://insecure.example/get"))},
        {"/equal", http(200, manifest(UpdateChecker::currentVersion(), "not an address"))},
        {"/extra", http(200, R"({"x":1,"latestVersion":"999.1","downloadUrl":"http://a.b/c"})")},
        {"/over-cap", http(200, std::string(1024 * 1024 + 10, ' '))},
    });
    const std::vector<std::pair<std::string, UpdateCheckResult>> table{
        {"/ok", {Kind::newerVersion, AppUpdateInfo{"999.1", "https://example.org/get"}, {}}},
        {"/error", {Kind::failed, std::nullopt, "The update server answered with status 500."}},
        {"/absent", {Kind::failed, std::nullopt, "The update server answered with status 404."}},
        {"/garbage", {Kind::failed, std::nullopt, unreadable}},
        {"/over-cap", {Kind::failed, std::nullopt, unreadable}},
        // Not newer: up to date whatever the address says.
        {"/older", {Kind::upToDate, std::nullopt, {}}},
        {"/equal", {Kind::upToDate, std::nullopt, {}}},
        {"/extra",
         {Kind::failed, std::nullopt, "The update information names no secure download address."}},
    };
    for (const auto& [path, expected] : table) {
        const UpdateCheckResult result = UpdateChecker::check(server.url(path));
        EXPECT_EQ(result, expected) << path << ": " << result.failure;
    }
    EXPECT_EQ(UpdateChecker::checkForUpdate(server.url("/extra")), std::nullopt);

    // A port that accepts nothing: bound, never listening.
    const int closed = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto* generic = reinterpret_cast<sockaddr*>(&address);
    ASSERT_EQ(::bind(closed, generic, length), 0);
    ASSERT_EQ(::getsockname(closed, generic, &length), 0);
    const UpdateCheckResult refused = UpdateChecker::check(
        "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/version.json");
    ::close(closed);
    EXPECT_EQ(refused.kind, Kind::failed);
    EXPECT_EQ(refused.failure,
              "The update server could not be reached (Couldn't connect to server).");
}

} // namespace
} // namespace fernwick
