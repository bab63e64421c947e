#include "station/RateMeter.h"

#include <algorithm>

#include "run/Quantities.h"

namespace vantrel {

void tRateMeter::Reset() {
    kept_.clear();
    first_ = count_ = reference_ = 0;
}

tReadingValues tRateMeter::Add(float t, const tReadingValues& shown) {
    kept_.push_back({t, shown});
    ++count_;
    tReadingValues rates{};
    if (count_ < 3) {
        return rates;
    }
    const std::size_t newest = count_ - 1;
    const auto farEnough = [&](std::size_t k) { return t - At(k).t >= kRatePeriod; };
    // Moving forward from where the search stood gives the latest record far
    // enough back in O(1) amortised, even when the station's clock stalls.
    // After a clock that went back it starts again from the oldest kept.
    std::size_t k =
        std::clamp<std::size_t>(reference_, std::max<std::size_t>(first_, 1), newest - 1);
    if (!farEnough(k)) {
        reference_ = 0;
        return rates;
    }
    while (k + 1 < newest && farEnough(k + 1)) {
        ++k;
    }
    reference_ = k;
    while (first_ < k) {
        kept_.pop_front();
        ++first_;
    }
    for (int i = 0; i < kQuantityCount; ++i) {
        const float change = shown[i] - At(k).shown[i];
        rates[i] = change * kRateUnit / kRatePeriod;
    }
    return rates;
}

}  // namespace vantrel
