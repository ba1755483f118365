#pragma once

namespace quorrel::bench {

// Times the view's texture upload of an 8-megapixel grey and colour picture
// in a shown window (needs a display; under xvfb-run on a server) and prints
// each time beside its target. Returns the program's exit status.
int benchmarkTextureUpload(int argc, char** argv, int runs);

// One first open for benchmarkTextureUpload, which runs each in a process of
// its own: mode "decode", "open" or "open-unreadied" of the picture at path,
// in a new shown view. Prints its clock and processor seconds.
int benchmarkTextureFirstOpen(int argc, char** argv, const char* mode, const char* path);

} // namespace quorrel::bench
