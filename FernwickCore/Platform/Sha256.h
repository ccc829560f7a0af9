#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct evp_md_ctx_st; // OpenSSL's EVP_MD_CTX

namespace fernwick {

/// An incremental SHA-256 digest (OpenSSL EVP). One object per computation; not shared between
/// threads. `update` after `finishHex` starts nothing new: build a fresh object instead.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(const void* data, std::size_t length);
    /// The digest as 64 lower-case hexadecimal digits.
    std::string finishHex();

    /// The digest of `data` as 64 lower-case hexadecimal digits.
    static std::string hex(std::string_view data);

private:
    ::evp_md_ctx_st* m_context;
};

} // namespace fernwick
