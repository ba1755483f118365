#include "HelpText.h"

namespace measure {

std::string helpText()
{
    return R"(Usage: quorrel-measure IMAGE... [options]

Measures the foveal pit without the window: estimates the tolerance
(optional), traces the retinal surface from the selection, makes and smooths
its curve, finds the points A to E against the reference curve and writes the
50-line report that the window's Save writes for the same inputs. When both
axis scales are known, the detection runs a second time in microns and the
report continues after its 50 lines with that run's calibrated section.

Settings: from --params FILE for every image; without --params and
--selection, each image NAME.png from its own measurement file NAME.json
beside it (the window's Save writes one beside each report); options given
on the command line override the file. Only the image named on the command
line is read, never a path written in a file.

One image: the report goes to standard output or -o FILE.
Several images, or --jobs (a study): each report goes beside its image as
NAME.report.txt, --jobs images at a time in one process; a failed image is
reported and the others go on, and the exit status says whether any failed.

Coordinates are the pixel coordinates image viewers show: x to the right and
y down from the top-left pixel (0, 0). --selection 150,10,100,25 covers the
100 x 25 pixels of columns 150 to 249 and rows 10 to 34. The report gives its
points with rows counted up from the bottom row, as the window does.

Options:
  -o, --output FILE          write the report to FILE (standard output when
                             absent or "-"); one image only
  --csv FILE                 append one row of every figure of the report to
                             FILE, with a header line when FILE is new; in a
                             study one row per measured image, in the order
                             the images were given
  --jobs N                   measure as a study, N images at once, 1 to 1024
                             (one per core)
  --params FILE              read settings from the JSON file FILE; options
                             given on the command line override them
  --save-params FILE         write every setting of this run to FILE, which
                             --params reads back to repeat the measurement;
                             one image only
  --selection X,Y,WIDTH,HEIGHT
                             the rectangle over the layer to trace (required
                             without --auto)
  --reference X,Y            a point of the reference curve along the other
                             side of the retina; repeat in curve order (at
                             least two; required without --auto); A is the
                             rim nearer the first point
  --auto                     propose what is not given: a selection in the
                             dark band above the retina (the tolerance is then
                             estimated from it unless --tolerance is given)
                             and a reference curve along the retina's lower
                             border; an image that shows neither is refused.
                             --save-params records the proposal as ordinary
                             settings, so the run repeats without --auto
  --unit-line X1,Y1,X2,Y2    the ends of the scale line
  --unit-microns M           the scale line's length in microns, above 0 up
                             to 10000 (100)
  --lateral-scale M          microns per pixel across the scan, above 0 up
                             to 1000
  --axial-scale M            microns per pixel down the scan (along the
                             beam), above 0 up to 1000
  --second-unit-line X1,Y1,X2,Y2
                             the ends of a second scale line; with it, each
                             of the two unit lines sets the scale of the axis
                             it mostly runs along (one across, one down)
  --second-unit-microns M    the second line's length in microns, above 0 up
                             to 10000 (--unit-microns)
  --fail-on-warnings         exit with status 3 when a warning was printed,
                             after writing every output
  --frame N                  the frame (B-scan) of a multi-frame DICOM file
                             or the page of a TIFF to measure, counted from 0
                             (0); a frame past the last one is refused
  --tolerance N|estimate     colour tolerance, 1 to 255, or "estimate" to
                             estimate it from the selection (30)
  --min-connection D         minimum line connecting distance, 1 to 99.99 (2)
  --max-connection D         maximum line connecting distance, 1 to 99.99 (3)
  --smooth-level N           smooth level, 2 to 99 (2)
  --smooth-count N           times to smooth the curve, 0 to 10000 (1)
  --divide-count N           curve dividing count, 1 to 10000 (100)
  -h, --help                 show this help
  --version                  show the version

Numbers are plain decimals ("12", "-3.5", "1e2"): no blanks, no "+", no NaN.
The ranges are those of the window's controls. The reference curve gives at
most 1000000 samples: (points - 1) x divide count. Reference points and the
unit line's ends lie within 1000000 pixels of the image.

Axis scales: each axis takes its scale from --lateral-scale/--axial-scale
(or the parameters file), else from the unit lines when a second one is
given, else from the pixel size the image file states (DICOM Pixel Spacing
or Pixel Measures, TIFF resolution, the ImageJ description). With both, the
calibrated section gives the scales and where they came from, the points A
to E of the run in microns (in image pixels, as the first lines), the five
thicknesses, the width and both depths in microns and the four slopes with
their angles in real space.

Warnings: after the report is written, one line per finding that makes its
figures untrustworthy, on standard error: a rim at an end of the sampled
profile, a Top point on an end of the traced curve, a traced curve shorter
than the reference curve; each with what to change.

Measurement file (parameters file): a JSON object with any of these keys,
e.g.
  {"selection": {"x": 150, "y": 10, "width": 100, "height": 25},
   "tolerance": "estimate", "minConnection": 2.0, "maxConnection": 3.0,
   "smoothLevel": 2, "smoothCount": 2, "divideCount": 100,
   "reference": [[10, 139], [389, 139]],
   "unitLine": [[10, 190], [110, 190]], "unitMicrons": 250,
   "lateralMicronsPerPixel": 11.5, "axialMicronsPerPixel": 3.9}
A second scale line is "secondUnitLine" and "secondUnitMicrons"; the stated
source of both scales, "scaleSource". Files the window saves add "version",
"image" (its path and SHA-256: a file of that name with another checksum
gives a warning), and the steps taken by hand: "region" (the image was cut),
"whitened", "erased", "smoothLevels" (presses of different levels) and
"moved" (points A, C or E dragged).
A file of a newer version, bad JSON or a bad value is refused with its line.

CSV table: the image path as given, then every figure of the 50 lines in
their order (points in the report's coordinates, thicknesses, unit line,
width, depths, slopes and their angles), then the two scales and their
source, the calibrated figures (columns "cal_..."; empty without both
scales) and "warnings": the codes of the findings joined by ";"
(rim-at-profile-end, top-at-curve-end, curve-short-of-reference), empty when
there are none. Numbers in the shortest form that reads back exactly, an
empty field for a figure that cannot be computed.

Outputs: the report, the table and the saved settings are each written to a
temporary file beside their target and all moved into place at the end, so
that a failed run leaves every existing file as it was.

Exit status: 0 when every report was written (with or without warnings);
3 when so, but --fail-on-warnings was given and a warning printed; 1 when
an image cannot be read or measured, a figure comes out as infinity or not
a number (the micron figures without a unit line aside), memory runs out or
an output cannot be written; 2 for bad options, a number out of its range,
a scale that is not above 0 up to 1000 microns per pixel, unit lines that
cannot set the scales or a bad parameters file. Every failure prints one
line on standard error and writes no file for that image. On a terminal a
study shows a progress line: images done, failures and the time left.
)";
}

} // namespace measure
