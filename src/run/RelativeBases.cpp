#include "run/RelativeBases.h"

namespace vantrel {

void tRelativeBases::Start(const std::array<bool, kQuantityCount>& relative) {
    relative_ = relative;
    base_ = {};
    first_ = true;
}

tReadingValues tRelativeBases::Shown(const tReadingValues& readings) {
    if (first_) {
        for (int i = 0; i < kQuantityCount; ++i) {
            base_[i] = relative_[i] ? readings[i] : 0.0f;
        }
        first_ = false;
    }
    tReadingValues shown{};
    for (int i = 0; i < kQuantityCount; ++i) {
        shown[i] = relative_[i] ? readings[i] - base_[i] : readings[i];
    }
    return shown;
}

}  // namespace vantrel
