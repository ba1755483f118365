#pragma once

namespace quorrel::bench {

// Times the view's texture upload of an 8-megapixel grey and colour picture
// in a shown window (needs a display; under xvfb-run on a server) and prints
// each time beside its target. Returns the program's exit status.
int benchmarkTextureUpload(int argc, char** argv, int runs);

} // namespace quorrel::bench
