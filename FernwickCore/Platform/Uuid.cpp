#include "FernwickCore/Platform/Uuid.h"

#include <cstring>
#include <random>

namespace fernwick {
namespace {

// xoshiro256** (Blackman and Vigna): fast, and 256 bits of state make collisions between the
// per-thread streams negligible once each is seeded from std::random_device.
class Generator {
public:
    Generator() {
        std::random_device device;
        for (auto& word : m_state) {
            word = (std::uint64_t{device()} << 32) | device();
        }
    }
    std::uint64_t next() {
        const std::uint64_t result = rotl(m_state[1] * 5, 7) * 9;
        const std::uint64_t t = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= t;
        m_state[3] = rotl(m_state[3], 45);
        return result;
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t m_state[4];
};

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isDashPosition(std::size_t i) {
    return i == 8 || i == 13 || i == 18 || i == 23;
}

} // namespace

Uuid Uuid::random() {
    thread_local Generator generator;
    Uuid id;
    const std::uint64_t high = generator.next();
    const std::uint64_t low = generator.next();
    std::memcpy(id.m_bytes.data(), &high, 8);
    std::memcpy(id.m_bytes.data() + 8, &low, 8);
    id.m_bytes[6] = static_cast<std::uint8_t>((id.m_bytes[6] & 0x0F) | 0x40); // version 4
    id.m_bytes[8] = static_cast<std::uint8_t>((id.m_bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    return id;
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
    if (text.size() != 36) {
        return std::nullopt;
    }
    Uuid id;
    std::size_t byte = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (isDashPosition(i)) {
            if (text[i] != '-') {
                return std::nullopt;
            }
            ++i;
            continue;
        }
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        id.m_bytes[byte++] = static_cast<std::uint8_t>((high << 4) | low);
        i += 2;
    }
    return id;
}

std::string Uuid::text() const {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            out.push_back('-');
        }
        out.push_back(kDigits[m_bytes[i] >> 4]);
        out.push_back(kDigits[m_bytes[i] & 0x0F]);
    }
    return out;
}

bool Uuid::isNil() const {
    for (auto b : m_bytes) {
        if (b != 0) {
            return false;
        }
    }
    return true;
}

} // namespace fernwick
