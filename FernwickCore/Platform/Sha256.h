#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

struct evp_md_ctx_st; // OpenSSL's EVP_MD_CTX

namespace fernwick {

/// An incremental SHA-256 digest (OpenSSL EVP). Not shared between threads; `reset` before reusing
/// an object for a new computation.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    using Digest = std::array<unsigned char, 32>;

    void update(const void* data, std::size_t length);
    /// The digest of everything fed since construction or the last `reset`.
    Digest finish();
    /// The digest as 64 lower-case hexadecimal digits.
    std::string finishHex() { return toHex(finish()); }
    /// Starts a new computation on the same object (cheaper than a new object per file).
    void reset();
    /// Continues from where `other` stands: both then digest the same bytes so far.
    void copyStateFrom(const Sha256& other);

    /// 64 lower-case hexadecimal digits.
    static std::string toHex(const Digest& digest);

    /// The digest of `data` as 64 lower-case hexadecimal digits.
    static std::string hex(std::string_view data);

private:
    ::evp_md_ctx_st* m_context;
};

} // namespace fernwick
