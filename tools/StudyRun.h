#pragma once

// A study: many images measured in one process, several at once, each
// report written beside its image, with a progress line on a terminal.

#include <string>
#include <vector>

#include <QStringList>

#include "ImageMeasurement.h"

namespace measure {

struct StudyResult {
    int status = kMeasured; // the worst status of any image
    int failedCount = 0;
    int warnedCount = 0; // measured images that gave a warning
    std::vector<std::string> csvRows; // of the measured images, in the order they were given
};

// Measures every image with jobs threads (at least one), writing each report
// to reportPathBeside(image) in full or not at all. Failures and warnings go
// to standard error as they happen, one line each, naming the image; on a
// terminal a progress line shows the images done, the failures and the time
// left. A failed image never stops the others.
StudyResult runStudy(const QStringList& imagePaths, const MeasureSettings* shared, const MeasureSettings& options,
                     int jobs, bool propose = false);

} // namespace measure
