#include "FernwickCore/Platform/Clock.h"

namespace fernwick {
namespace {
class SystemClock final : public Clock {
public:
    TimePoint now() const override { return std::chrono::system_clock::now(); }
};
} // namespace

std::shared_ptr<const Clock> Clock::system() {
    static const auto clock = std::make_shared<const SystemClock>();
    return clock;
}

} // namespace fernwick
