#include "FernwickCore/Platform/ByteCountFormatter.h"

#include <array>

namespace fernwick {
namespace {

__extension__ typedef unsigned __int128 Wide; // 128 bits: bytes × 100 cannot overflow

constexpr std::array<const char*, 7> kUnits = {"bytes", "KB", "MB", "GB", "TB", "PB", "EB"};

Wide power(Wide base, int exponent) {
    Wide result = 1;
    for (int i = 0; i < exponent; ++i) {
        result *= base;
    }
    return result;
}

int fractionDigits(std::size_t unit) {
    return unit == 1 ? 0 : (unit == 2 ? 1 : 2);
}

// magnitude / divisor rounded half to even.
Wide roundedQuotient(Wide magnitude, Wide divisor) {
    Wide quotient = magnitude / divisor;
    const Wide remainder = magnitude % divisor;
    const Wide twice = remainder * 2;
    if (twice > divisor || (twice == divisor && (quotient & 1) != 0)) {
        ++quotient;
    }
    return quotient;
}

std::string digits(Wide value) {
    if (value == 0) {
        return "0";
    }
    std::string out;
    while (value > 0) {
        out.insert(out.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    }
    return out;
}

std::string formatMagnitude(std::uint64_t magnitude) {
    if (magnitude == 0) {
        return "Zero KB";
    }
    if (magnitude == 1) {
        return "1 byte";
    }
    if (magnitude < 1000) {
        return digits(magnitude) + " bytes";
    }
    std::size_t unit = 1;
    while (unit + 1 < kUnits.size() && Wide{magnitude} >= power(1000, static_cast<int>(unit) + 1)) {
        ++unit;
    }
    Wide scaled = 0;
    int fraction = 0;
    for (;;) {
        fraction = fractionDigits(unit);
        const Wide scale = power(10, fraction);
        scaled = roundedQuotient(Wide{magnitude} * scale, power(1000, static_cast<int>(unit)));
        if (scaled >= 1000 * scale && unit + 1 < kUnits.size()) {
            ++unit;
            continue;
        }
        break;
    }
    const Wide scale = power(10, fraction);
    std::string text = digits(scaled / scale);
    if (fraction > 0) {
        std::string tail = digits(scaled % scale);
        tail.insert(tail.begin(), static_cast<std::size_t>(fraction) - tail.size(), '0');
        while (!tail.empty() && tail.back() == '0') {
            tail.pop_back();
        }
        if (!tail.empty()) {
            text += "." + tail;
        }
    }
    return text + " " + kUnits[unit];
}

} // namespace

std::string formatByteCount(std::int64_t bytes) {
    // The magnitude as unsigned so that INT64_MIN has one.
    const std::uint64_t magnitude =
        bytes < 0 ? ~static_cast<std::uint64_t>(bytes) + 1 : static_cast<std::uint64_t>(bytes);
    const std::string text = formatMagnitude(magnitude);
    return bytes < 0 ? "-" + text : text;
}

} // namespace fernwick
