#include "FernwickCore/Platform/Sha256.h"

#include <cstdlib>
#include <openssl/evp.h>

namespace fernwick {
namespace {

// Fetched once: an implicit fetch through EVP_sha256() costs a provider look-up per digest,
// which shows when thousands of small files are hashed.
const EVP_MD* sha256Algorithm() {
    static EVP_MD* const algorithm = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return algorithm != nullptr ? algorithm : EVP_sha256();
}

} // namespace

Sha256::Sha256() : m_context(EVP_MD_CTX_new()) {
    if (m_context == nullptr || EVP_DigestInit_ex(m_context, sha256Algorithm(), nullptr) != 1) {
        std::abort(); // only on allocation failure inside OpenSSL
    }
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(m_context);
}

void Sha256::update(const void* data, std::size_t length) {
    if (length > 0) {
        EVP_DigestUpdate(m_context, data, length);
    }
}

Sha256::Digest Sha256::finish() {
    Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context, digest.data(), &length);
    return digest;
}

void Sha256::reset() {
    EVP_DigestInit_ex(m_context, sha256Algorithm(), nullptr);
}

void Sha256::copyStateFrom(const Sha256& other) {
    EVP_MD_CTX_copy_ex(m_context, other.m_context);
}

std::string Sha256::toHex(const Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out(digest.size() * 2, '0');
    for (std::size_t i = 0; i < digest.size(); ++i) {
        out[2 * i] = kDigits[digest[i] >> 4];
        out[2 * i + 1] = kDigits[digest[i] & 0x0f];
    }
    return out;
}

std::string Sha256::hex(std::string_view data) {
    Sha256 digest;
    digest.update(data.data(), data.size());
    return digest.finishHex();
}

} // namespace fernwick
