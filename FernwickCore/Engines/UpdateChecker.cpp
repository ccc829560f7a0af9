#include "FernwickCore/Engines/UpdateChecker.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <vector>

#ifndef FERNWICK_APP_VERSION
#define FERNWICK_APP_VERSION ""
#endif
#ifndef FERNWICK_UPDATE_BASE_URL
#define FERNWICK_UPDATE_BASE_URL "https://updates.tarnbrook.app/ridar/"
#endif

namespace fernwick {
namespace {

constexpr long kTimeoutMilliseconds = 8000;
constexpr std::size_t kBodyLimit = std::size_t{1024} * 1024;

std::int64_t versionPiece(std::string_view piece) {
    std::string_view digits = piece;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') {
            return 0; // "+-5" is no number
        }
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        return 0;
    }
    return value;
}

std::vector<std::int64_t> versionPieces(std::string_view text) {
    std::vector<std::int64_t> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t dot = text.find('.', start);
        if (dot == std::string_view::npos) {
            dot = text.size();
        }
        if (dot > start) {
            out.push_back(versionPiece(text.substr(start, dot - start)));
        }
        start = dot + 1;
    }
    return out;
}

std::size_t collectBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto* body = static_cast<std::string*>(context);
    const std::size_t length = size * count;
    if (body->size() + length > kBodyLimit) {
        return 0; // aborts the transfer: a manifest is never that large
    }
    body->append(data, length);
    return length;
}

constexpr const char* kUnreadable = "The update information could not be read.";

UpdateCheckResult failed(std::string reason) {
    return {UpdateCheckResult::Kind::failed, std::nullopt, std::move(reason)};
}

UpdateCheckResult unreachable(CURLcode code) {
    return failed(std::string("The update server could not be reached (") +
                  curl_easy_strerror(code) + ").");
}

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

} // namespace

std::string UpdateChecker::currentVersion() {
    const std::string_view version = FERNWICK_APP_VERSION;
    return version.empty() ? "1.0.0" : std::string(version);
}

std::string UpdateChecker::defaultManifestURL() {
    std::string base = FERNWICK_UPDATE_BASE_URL;
    if (!base.empty() && base.back() != '/') {
        base += '/';
    }
    return base + "version.json";
}

bool UpdateChecker::isVersion(std::string_view candidate, std::string_view current) {
    const auto left = versionPieces(candidate);
    const auto right = versionPieces(current);
    const std::size_t count = std::max(left.size(), right.size());
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t a = i < left.size() ? left[i] : 0;
        const std::int64_t b = i < right.size() ? right[i] : 0;
        if (a != b) {
            return a > b;
        }
    }
    return false;
}

bool UpdateChecker::isValidDownloadAddress(std::string_view address) {
    if (address.empty() || std::any_of(address.begin(), address.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte <= 0x20 || byte == 0x7f;
        })) {
        return false;
    }
    // The URL parser forgives "https:///host"; a download address must spell out its host.
    const std::size_t authority = address.find("://");
    if (authority == std::string_view::npos || authority + 3 >= address.size() ||
        address[authority + 3] == '/') {
        return false;
    }
    std::unique_ptr<CURLU, CurlDeleter> url(curl_url());
    if (!url ||
        curl_url_set(url.get(), CURLUPART_URL, std::string(address).c_str(), 0) != CURLUE_OK) {
        return false;
    }
    char* scheme = nullptr;
    char* host = nullptr;
    bool valid = false;
    if (curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(url.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK) {
        const std::string_view schemeText = scheme;
        valid = schemeText == "https" && host[0] != '\0';
    }
    curl_free(scheme);
    curl_free(host);
    return valid;
}

UpdateCheckResult UpdateChecker::resultFromManifest(std::string_view body,
                                                    std::string_view current) {
    const auto json = nlohmann::json::parse(body, nullptr, false);
    const auto version = json.is_object() ? json.find("latestVersion") : json.end();
    const auto download = json.is_object() ? json.find("downloadUrl") : json.end();
    if (!json.is_object() || version == json.end() || download == json.end() ||
        !version->is_string() || !download->is_string()) {
        return failed(kUnreadable);
    }
    const auto& versionText = version->get_ref<const std::string&>();
    const auto& address = download->get_ref<const std::string&>();
    if (!isVersion(versionText, current)) {
        return {UpdateCheckResult::Kind::upToDate, std::nullopt, {}};
    }
    // The address goes to the desktop's opener: only a secure web address may get there.
    if (!isValidDownloadAddress(address)) {
        return failed("The update information names no secure download address.");
    }
    return {UpdateCheckResult::Kind::newerVersion, AppUpdateInfo{versionText, address}, {}};
}

UpdateCheckResult UpdateChecker::check(const std::string& manifestURL) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    if (!handle) {
        return unreachable(CURLE_FAILED_INIT);
    }
    std::string body;
    CURL* curl = handle.get();
    curl_easy_setopt(curl, CURLOPT_URL, manifestURL.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kTimeoutMilliseconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L); // time-outs without SIGALRM: thread-safe
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kBodyLimit));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &collectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    const CURLcode code = curl_easy_perform(curl);
    if (code == CURLE_WRITE_ERROR || code == CURLE_FILESIZE_EXCEEDED) {
        return failed(kUnreadable); // a body over the cap is no manifest
    }
    if (code != CURLE_OK) {
        return unreachable(code);
    }
    long status = 0;
    if (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) {
        return failed(kUnreadable);
    }
    if (status != 200) {
        return failed("The update server answered with status " + std::to_string(status) + ".");
    }
    return resultFromManifest(body, currentVersion());
}

std::optional<AppUpdateInfo> UpdateChecker::checkForUpdate(const std::string& manifestURL) {
    return check(manifestURL).update;
}

} // namespace fernwick
