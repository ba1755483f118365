#pragma once

namespace quorrel::bench {

// Times a study of many small scans in one quorrel-measure process against
// the measurement alone of the same scans, and prints the cost of each image
// beyond the first beside its target. Returns the program's exit status.
int benchmarkStudy(int argc, char** argv);

} // namespace quorrel::bench
