#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace vantrel {

// The points of one curve as drawn: X and Y as contiguous doubles. The curves of one chart may
// share one X vector (every time curve has the same times, every dependence curve the same abscissa
// values), which halves the memory of a long run.
class tSeries {
public:
    using tValues = std::vector<double>;

    tSeries();  // owns its X values
    // Shares `xValues` with the other curves of a chart. The curves are
    // filled point by point in step: the first one to reach an index stores
    // its X, the others pass the same X. Clearing one clears the shared X,
    // so a chart clears all its curves together.
    explicit tSeries(std::shared_ptr<tValues> xValues);

    int Quantity() const { return quantity_; }
    void SetQuantity(int quantity) { quantity_ = quantity; }
    bool Visible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }

    std::size_t Count() const { return y_.size(); }
    bool Empty() const { return y_.empty(); }
    // Unchecked, like vector indexing: p < Count().
    double X(std::size_t p) const { return (*x_)[p]; }
    double Y(std::size_t p) const { return y_[p]; }
    std::span<const double> Xs() const { return {x_->data(), y_.size()}; }
    std::span<const double> Ys() const { return {y_.data(), y_.size()}; }

    // O(1) amortised.
    void Append(double x, double y);
    // Puts a point at index p (p <= Count()), shifting later points.
    void Insert(std::size_t p, double x, double y);
    void Reserve(std::size_t count);
    void Clear();

    // Bytes held by the Y values, plus the X values when
    // `includeX` (count shared X once per chart).
    std::size_t StorageBytes(bool includeX) const;

private:
    std::shared_ptr<tValues> x_;
    tValues y_;
    int quantity_ = 0;
    bool visible_ = true;
};

}  // namespace vantrel
