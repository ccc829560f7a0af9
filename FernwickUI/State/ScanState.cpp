#include "FernwickUI/State/ScanState.h"

#include <utility>

namespace fernwick::ui {

ScanState ScanState::scanning(std::string progress, std::int64_t bytesScanned,
                              std::int64_t filesScanned) {
    ScanState state;
    state.m_kind = Kind::scanning;
    state.m_text = std::move(progress);
    state.m_bytes = bytesScanned;
    state.m_files = filesScanned;
    return state;
}

ScanState ScanState::error(std::string message) {
    ScanState state;
    state.m_kind = Kind::error;
    state.m_text = std::move(message);
    return state;
}

ScanState ScanState::completed() {
    ScanState state;
    state.m_kind = Kind::completed;
    return state;
}

} // namespace fernwick::ui
