#pragma once

#include <array>

namespace vantrel {

// Quantity indices, the same everywhere: records, series, value-list rows,
// relative-reading items, export columns, experiment values.
enum tQuantity : int { qLT = 0, qLP, qLC, qLE, qV1, qV2, qV3 };

inline constexpr int kQuantityCount = 7;  // LT, LP, LC, LE, V1, V2, V3

// One reading of each quantity, in quantity order.
using tReadingValues = std::array<float, kQuantityCount>;

}  // namespace vantrel
