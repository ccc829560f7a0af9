#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace fernwick {

/// A random (version 4) UUID. Generation costs no system call: each thread owns a generator
/// seeded once from the system's entropy source. Text form is upper case, 8-4-4-4-12.
class Uuid {
public:
    /// The nil UUID (all zeros).
    Uuid() = default;
    /// A new random UUID. Safe to call from any thread.
    static Uuid random();
    /// Parses the 36-character text form in either case; nullopt for anything else.
    static std::optional<Uuid> parse(std::string_view text);

    std::string text() const;
    bool isNil() const;
    const std::array<std::uint8_t, 16>& bytes() const { return m_bytes; }

    friend bool operator==(const Uuid&, const Uuid&) = default;
    // clang-tidy 14 takes the 0 a defaulted <=> compares its result with for a null pointer.
    friend auto operator<=>(const Uuid&, const Uuid&) = default; // NOLINT(modernize-use-nullptr)

private:
    std::array<std::uint8_t, 16> m_bytes{};
};

} // namespace fernwick

template <> struct std::hash<fernwick::Uuid> {
    std::size_t operator()(const fernwick::Uuid& id) const noexcept {
        std::size_t h = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            h = (h << 8) | id.bytes()[i];
        }
        return h;
    }
};
