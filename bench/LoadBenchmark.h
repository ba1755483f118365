#pragma once

namespace quorrel::bench {

// Times loading 8-megapixel grey and RGB PNG and JPEG files against a plain
// decode into the final buffer and prints each ratio beside its target.
void benchmarkLoading(int runs);

} // namespace quorrel::bench
