#pragma once

// Every value type of the measurement library, for a file that uses several.
// Standard C++ only.

#include "analysis/Boundary.h"
#include "analysis/PixelRect.h"
#include "analysis/Point2d.h"
#include "analysis/RgbaImage.h"
