#pragma once

// The order left by the exchange sort that curve construction prescribes (for
// each position a, for each later position b, swap when key(a) > key(b)),
// found in O(n log n) instead of by running it. The procedure is not stable,
// and later stages depend on the order of equal keys it leaves.

#include <cstddef>
#include <vector>

namespace quorrel {

// Element k of the result is the index of the key that the exchange sort
// leaves at position k. NaN keys never compare greater, so they keep their
// positions while the others are sorted around them. No keys give an empty list.
std::vector<std::size_t> exchangeSortOrder(const std::vector<double>& keys);

} // namespace quorrel
