#include "charts/Series.h"

namespace vantrel {

tSeries::tSeries() : x_(std::make_shared<tValues>()) {}

tSeries::tSeries(std::shared_ptr<tValues> xValues)
    : x_(xValues ? std::move(xValues) : std::make_shared<tValues>()) {}

void tSeries::Append(double x, double y) {
    const std::size_t p = y_.size();
    if (x_->size() <= p) {
        // Keeps X and Y in step even if the shared X were cut behind our back.
        x_->resize(p);
        x_->push_back(x);
    } else {
        (*x_)[p] = x;
    }
    y_.push_back(y);
}

void tSeries::Insert(std::size_t p, double x, double y) {
    if (p >= y_.size()) {
        Append(x, y);
        return;
    }
    if (x_->size() <= y_.size()) {
        x_->resize(y_.size());
        x_->insert(x_->begin() + static_cast<std::ptrdiff_t>(p), x);
    } else {
        // A curve sharing these X values has inserted this point already.
        (*x_)[p] = x;
    }
    y_.insert(y_.begin() + static_cast<std::ptrdiff_t>(p), y);
}

void tSeries::Reserve(std::size_t count) {
    x_->reserve(count);
    y_.reserve(count);
}

void tSeries::Clear() {
    x_->clear();
    y_.clear();
}

std::size_t tSeries::StorageBytes(bool includeX) const {
    std::size_t bytes = y_.capacity() * sizeof(double);
    if (includeX) {
        bytes += x_->capacity() * sizeof(double);
    }
    return bytes;
}

}  // namespace vantrel
