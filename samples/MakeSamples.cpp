// Writes the bundled sample scans: synthetic fovea B-scans with a scale bar
// drawn in, each beside a text file of its known geometry and the settings
// that measure it with quorrel-measure.
//
//   quorrel-make-samples OUTPUT_FOLDER

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

#include "analysis/Point2d.h"
#include "samples/generator/SyntheticScan.h"

namespace {

struct Sample {
    const char* name;
    const char* description;
    quorrel::SyntheticScanParameters scan;
    double micronPerPixel; // across the scan, the scale of the horizontal bar
    int scaleBarMicrons;
    // Scans whose pixels are taller in microns than wide carry a second,
    // vertical scale bar; 0 means square pixels and no second bar.
    double axialMicronPerPixel = 0.0;
    int axialBarMicrons = 0;

    bool anisotropic() const { return axialMicronPerPixel > 0.0; }
};

// Row (counted up from the bottom) of the scale bar's middle line and its
// first column; the bar lies in the band below the retina, far from the
// lower border, where the fill from the vitreous never reaches.
constexpr int kScaleBarRow = 28;
constexpr int kScaleBarLeft = 40;
// Column and lowest row of the vertical bar, right of the horizontal one.
constexpr int kAxialBarColumn = 330;
constexpr int kAxialBarBottom = 12;

// The vitreous patch the walk-through drags, in viewer pixels (rows counted
// down from the top): columns 20 to 100, rows 14 to 54.
constexpr int kPatchLeft = 20;
constexpr int kPatchTop = 14;
constexpr int kPatchRight = 100;
constexpr int kPatchBottom = 54;

quorrel::SyntheticScanParameters sampleFrame()
{
    quorrel::SyntheticScanParameters parameters;
    parameters.width = 768;
    parameters.height = 384;
    parameters.referenceRow = 110.0;
    parameters.surfaceRow = 174.0;
    parameters.pitCentreX = 384.0;
    parameters.noiseAmplitude = 6.0;
    return parameters;
}

std::vector<Sample> samples()
{
    std::vector<Sample> list;

    Sample standard{"fovea-standard", "a typical pit: about 1.5 mm from rim to rim and 100 um deep", sampleFrame(), 5.0,
                    250};
    standard.scan.pitDepth = 30.0;
    standard.scan.pitSigma = 65.0;
    standard.scan.rimHeight = 14.0;
    standard.scan.rimSigma = 130.0;
    standard.scan.seed = 11;
    list.push_back(standard);

    Sample deepNarrow{"fovea-deep-narrow", "a deep, narrow pit left of the middle", sampleFrame(), 4.0, 200};
    deepNarrow.scan.surfaceRow = 190.0;
    deepNarrow.scan.pitCentreX = 360.0;
    deepNarrow.scan.pitDepth = 50.0;
    deepNarrow.scan.pitSigma = 42.0;
    deepNarrow.scan.rimHeight = 14.0;
    deepNarrow.scan.rimSigma = 95.0;
    deepNarrow.scan.seed = 12;
    list.push_back(deepNarrow);

    Sample shallow{"fovea-shallow", "a wide, shallow pit whose bottom is nearly flat", sampleFrame(), 5.0, 250};
    shallow.scan.pitCentreX = 400.0;
    shallow.scan.pitDepth = 14.0;
    shallow.scan.pitSigma = 75.0;
    shallow.scan.rimHeight = 8.0;
    shallow.scan.rimSigma = 150.0;
    shallow.scan.seed = 13;
    list.push_back(shallow);

    Sample tilted{"fovea-tilted", "the whole retina tilted by about 5.7 degrees, rising to the right", sampleFrame(),
                  5.0, 500};
    tilted.scan.referenceRow = 150.0;
    tilted.scan.surfaceRow = 214.0;
    tilted.scan.pitCentreX = 400.0;
    tilted.scan.pitDepth = 30.0;
    tilted.scan.pitSigma = 65.0;
    tilted.scan.rimHeight = 14.0;
    tilted.scan.rimSigma = 130.0;
    tilted.scan.tiltRowsPerColumn = 0.1;
    tilted.scan.seed = 14;
    list.push_back(tilted);

    // An unaveraged scan: the grains give the retina's level a standard
    // deviation of about 40 grey levels, the vitreous's about 10.
    Sample speckle{"fovea-speckle", "strong speckle, as in a scan made without frame averaging", sampleFrame(), 6.0,
                   300};
    speckle.scan.pitCentreX = 370.0;
    speckle.scan.pitDepth = 32.0;
    speckle.scan.pitSigma = 60.0;
    speckle.scan.rimHeight = 14.0;
    speckle.scan.rimSigma = 120.0;
    speckle.scan.noiseAmplitude = 16.0;
    speckle.scan.speckleContrast = 0.22;
    speckle.scan.seed = 15;
    list.push_back(speckle);

    // Pixels as a clinical scanner makes them: 11.5 um across, 3.9 um down.
    // Drawn in pixels the pit looks three times narrower than it is.
    Sample anisotropic{"fovea-anisotropic",
                       "pixels 11.5 um wide and 3.9 um high, as real scans have: a pit about 2 mm wide and 100 um deep",
                       sampleFrame(), 11.5, 1150};
    anisotropic.axialMicronPerPixel = 3.9;
    anisotropic.axialBarMicrons = 195;
    anisotropic.scan.surfaceRow = 185.0;
    anisotropic.scan.pitDepth = 38.0;
    anisotropic.scan.pitSigma = 38.0;
    anisotropic.scan.rimHeight = 18.0;
    anisotropic.scan.rimSigma = 68.0;
    anisotropic.scan.seed = 16;
    list.push_back(anisotropic);

    for (Sample& sample : list) {
        sample.scan.lateralMicronsPerPixel = sample.micronPerPixel;
        sample.scan.axialMicronsPerPixel = sample.anisotropic() ? sample.axialMicronPerPixel : sample.micronPerPixel;
    }

    return list;
}

// A 5 x 7 pixel font for the scale bar's label, top row first; 'u' is drawn
// as a micro sign. Characters without a glyph are left blank.
struct Glyph {
    char character;
    const char* rows[7];
};

constexpr Glyph kGlyphs[] = {
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'u', {".....", "#...#", "#...#", "#...#", "#..##", "###.#", "#...."}},
    {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"}},
};

const Glyph* findGlyph(char character)
{
    for (const Glyph& glyph : kGlyphs) {
        if (glyph.character == character)
            return &glyph;
    }
    return nullptr;
}

class RgbaCanvas {
public:
    explicit RgbaCanvas(quorrel::SyntheticScan& scan)
        : scan(scan)
    {
    }

    // Sets pixel (x, row counted up from the bottom) to a grey level; points
    // outside the picture are left out.
    void set(int x, int row, std::uint8_t level)
    {
        if (x < 0 || row < 0 || x >= scan.width || row >= scan.height)
            return;
        std::uint8_t* pixel = scan.rgba.data() + (static_cast<std::size_t>(row) * scan.width + x) * 4u;
        pixel[0] = pixel[1] = pixel[2] = level;
        pixel[3] = 255;
    }

    void fill(int left, int bottom, int right, int top, std::uint8_t level)
    {
        for (int row = bottom; row <= top; ++row)
            for (int x = left; x <= right; ++x)
                set(x, row, level);
    }

    // Text at twice the font size, its lower left corner at (left, bottom).
    void text(const std::string& text, int left, int bottom, std::uint8_t level)
    {
        constexpr int scale = 2;
        for (char character : text) {
            const Glyph* glyph = findGlyph(character);
            for (int glyphRow = 0; glyph && glyphRow < 7; ++glyphRow) {
                for (int column = 0; column < 5; ++column) {
                    if (glyph->rows[glyphRow][column] != '#')
                        continue;
                    const int x = left + column * scale;
                    const int row = bottom + (6 - glyphRow) * scale;
                    fill(x, row, x + scale - 1, row + scale - 1, level);
                }
            }
            left += 6 * scale;
        }
    }

private:
    quorrel::SyntheticScan& scan;
};

// A white bar from column left to column right (both tick centres), with
// ticks three columns wide so that a drag from tick to tick measures exactly
// right - left pixels, and the length written beside it.
void drawScaleBar(quorrel::SyntheticScan& scan, int left, int right, int microns)
{
    RgbaCanvas canvas(scan);
    canvas.fill(left, kScaleBarRow - 1, right, kScaleBarRow + 1, 255);
    for (int x : {left, right})
        canvas.fill(x - 1, kScaleBarRow - 6, x + 1, kScaleBarRow + 6, 255);
    canvas.text(std::to_string(microns) + " um", right + 14, kScaleBarRow - 7, 255);
}

// A white bar from row bottom to row top (both tick centres, rows counted
// up), with ticks three rows high, and the length written right of it.
void drawAxialScaleBar(quorrel::SyntheticScan& scan, int bottom, int top, int microns)
{
    RgbaCanvas canvas(scan);
    canvas.fill(kAxialBarColumn - 1, bottom, kAxialBarColumn + 1, top, 255);
    for (int row : {bottom, top})
        canvas.fill(kAxialBarColumn - 6, row - 1, kAxialBarColumn + 6, row + 1, 255);
    canvas.text(std::to_string(microns) + " um", kAxialBarColumn + 14, (bottom + top) / 2 - 7, 255);
}

bool writePicture(const quorrel::SyntheticScan& scan, const QString& path)
{
    // Every pixel is grey, so one byte per pixel keeps the file small and
    // loses nothing.
    QImage image(scan.width, scan.height, QImage::Format_Grayscale8);
    for (int row = 0; row < scan.height; ++row) {
        const std::uint8_t* source = scan.rgba.data() + static_cast<std::size_t>(row) * scan.width * 4u;
        std::uint8_t* target = image.scanLine(scan.height - 1 - row);
        for (int x = 0; x < scan.width; ++x) {
            if (source[x * 4] != source[x * 4 + 1] || source[x * 4] != source[x * 4 + 2])
                return false;
            target[x] = source[x * 4];
        }
    }
    return image.save(path, "PNG", 0); // quality 0: the strongest compression
}

std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string point(double x, double y)
{
    return "(" + format("%.2f", x) + ", " + format("%.2f", y) + ")";
}

std::string pixel(int x, int y)
{
    return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

// Columns to either side of x over which the thickness stays within half a
// pixel of its value at x: a traced surface that is only good to a pixel
// step may put the rim or the pit centre anywhere in there.
std::pair<double, double> flatStretch(const quorrel::SyntheticScan& scan, double x, bool largest)
{
    const double step = 0.125;
    const double limit = scan.thicknessAt(x) + (largest ? -0.5 : 0.5);
    auto within = [&](double at) { return largest ? scan.thicknessAt(at) >= limit : scan.thicknessAt(at) <= limit; };
    double low = x;
    while (low - step >= 0.0 && within(low - step))
        low -= step;
    double high = x;
    while (high + step <= scan.width - 1.0 && within(high + step))
        high += step;
    return {low, high};
}

std::string stretch(const std::pair<double, double>& columns)
{
    return "from " + format("%.2f", columns.first) + " to " + format("%.2f", columns.second);
}

// Rows of the vertical scale bar; whole by the choice of its length.
int axialBarRows(const Sample& sample)
{
    return static_cast<int>(std::lround(sample.axialBarMicrons / sample.axialMicronPerPixel));
}

// The geometry the report should find. The thicknesses, the depth and the
// width are taken at right angles to the lower border, as the report takes
// them: at the pit centre and at the rims the inner surface runs parallel to
// the straight border, so the nearest surface point lies straight across.
std::string describe(const Sample& sample, const quorrel::SyntheticScan& scan, int barLeft, int barRight)
{
    const double tilt = sample.scan.tiltRowsPerColumn;
    const double across = 1.0 / std::sqrt(1.0 + tilt * tilt);
    const int lastRow = scan.height - 1;
    const quorrel::SyntheticMicronGeometry microns = quorrel::syntheticMicronGeometry(scan);

    const quorrel::Point2d left{scan.leftRimX, scan.surfaceRowAt(scan.leftRimX)};
    const quorrel::Point2d centre{scan.pitCentreX, scan.surfaceRowAt(scan.pitCentreX)};
    const quorrel::Point2d right{scan.rightRimX, scan.surfaceRowAt(scan.rightRimX)};
    const double dx = right.x - left.x;
    const double dy = right.y - left.y;
    const double width = std::sqrt(dx * dx + dy * dy);
    // Distance of the pit centre's surface point from the line through the rims.
    const double depth = std::fabs(dx * (centre.y - left.y) - dy * (centre.x - left.x)) / width;

    std::string text;
    auto line = [&text](const std::string& key, const std::string& value) { text += key + ": " + value + "\n"; };
    text += "# " + std::string(sample.name) + ".png: " + sample.description + ".\n";
    text += "# Made by quorrel-make-samples (see README.md). Viewer pixels count rows down from the top\n";
    text += "# of the picture; report pixels count rows up from the bottom, as the report does.\n";
    line("image size (px)", std::to_string(scan.width) + " x " + std::to_string(scan.height));
    if (sample.anisotropic()) {
        line("lateral micron per pixel", format("%g", sample.micronPerPixel));
        line("axial micron per pixel", format("%g", sample.axialMicronPerPixel));
    } else {
        line("micron per pixel", format("%g", sample.micronPerPixel));
    }
    line("scale bar",
         std::to_string(sample.scaleBarMicrons) + " um = " + std::to_string(barRight - barLeft) + " px from "
             + pixel(barLeft, lastRow - kScaleBarRow) + " to " + pixel(barRight, lastRow - kScaleBarRow)
             + " in viewer pixels");
    if (sample.anisotropic()) {
        const int barRows = axialBarRows(sample);
        line("axial scale bar",
             std::to_string(sample.axialBarMicrons) + " um = " + std::to_string(barRows) + " px from "
                 + pixel(kAxialBarColumn, lastRow - kAxialBarBottom - barRows) + " to "
                 + pixel(kAxialBarColumn, lastRow - kAxialBarBottom) + " in viewer pixels");
    }
    line("vitreous patch (viewer px)", pixel(kPatchLeft, kPatchTop) + " to " + pixel(kPatchRight, kPatchBottom));
    line("lower retinal border (viewer px)",
         "from " + point(0, lastRow - scan.referenceRowAt(0)) + " to "
             + point(scan.width - 1, lastRow - scan.referenceRowAt(scan.width - 1)));
    line("lower border tilt (rows per column)", format("%g", tilt));
    line("pit centre x (px)", format("%.2f", scan.pitCentreX));
    line("left rim x (px)", format("%.2f", scan.leftRimX));
    line("right rim x (px)", format("%.2f", scan.rightRimX));
    line("pit centre, thickness within 0.5 px of it (px)", stretch(flatStretch(scan, scan.pitCentreX, false)));
    line("left rim, thickness within 0.5 px of it (px)", stretch(flatStretch(scan, scan.leftRimX, true)));
    line("right rim, thickness within 0.5 px of it (px)", stretch(flatStretch(scan, scan.rightRimX, true)));
    line("inner surface at pit centre (report px)", point(centre.x, centre.y));
    line("inner surface at left rim (report px)", point(left.x, left.y));
    line("inner surface at right rim (report px)", point(right.x, right.y));
    std::string profile;
    for (int x = 32; x < scan.width; x += 64)
        profile += (profile.empty() ? "" : " ") + point(x, scan.surfaceRowAt(x));
    line("inner surface every 64 columns (report px)", profile);
    line("thickness at pit centre (px)", format("%.2f", scan.thicknessAtCentre * across));
    line("thickness at pit centre (um)", format("%.1f", microns.thicknessAtCentre));
    line("thickness at left rim (px)", format("%.2f", scan.thicknessAtLeftRim * across));
    line("thickness at left rim (um)", format("%.1f", microns.thicknessAtLeftRim));
    line("thickness at right rim (px)", format("%.2f", scan.thicknessAtRightRim * across));
    line("thickness at right rim (um)", format("%.1f", microns.thicknessAtRightRim));
    line("foveal depth (px)", format("%.2f", depth));
    line("foveal depth (um)", format("%.1f", microns.fovealDepth));
    line("foveal width, rim to rim (px)", format("%.2f", width));
    line("foveal width, rim to rim (um)", format("%.1f", microns.fovealWidth));
    if (sample.anisotropic()) {
        std::string angles;
        for (double degrees : microns.wallChordDegrees)
            angles += (angles.empty() ? "" : " ") + format("%.2f", degrees);
        line("wall chords A-B B-C C-D D-E in microns (degrees)", angles);
    }
    line("grey noise (levels, plus or minus)", format("%g", sample.scan.noiseAmplitude));
    line("speckle contrast", format("%g", sample.scan.speckleContrast));
    return text;
}

template <typename... Values> std::string printed(const char* pattern, Values... values)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, values...);
    return buffer;
}

// The measurement settings a user would choose on this sample, in the form
// quorrel-measure reads with --params: the vitreous patch, points along the
// lower border, and the scale bar with its length.
std::string measurementSettings(const Sample& sample, const quorrel::SyntheticScan& scan, int barLeft, int barRight)
{
    const int lastRow = scan.height - 1;
    std::string reference;
    for (int i = 0; i < 5; ++i) {
        const double x = 10.0 + (scan.width - 21.0) * i / 4.0;
        const double row = std::floor(lastRow - scan.referenceRowAt(x) + 0.5);
        reference += (i == 0 ? "" : ", ") + printed("[%g, %g]", x, row);
    }
    std::string text = "{\n";
    text += printed("  \"selection\": {\"x\": %d, \"y\": %d, \"width\": %d, \"height\": %d},\n", kPatchLeft, kPatchTop,
                    kPatchRight - kPatchLeft, kPatchBottom - kPatchTop);
    text += "  \"tolerance\": \"estimate\",\n";
    text += "  \"smoothCount\": 2,\n";
    text += "  \"reference\": [" + reference + "],\n";
    text += printed("  \"unitLine\": [[%d, %d], [%d, %d]],\n", barLeft, lastRow - kScaleBarRow, barRight,
                    lastRow - kScaleBarRow);
    text += printed("  \"unitMicrons\": %d", sample.scaleBarMicrons);
    if (sample.anisotropic()) {
        // The vertical bar gives the axial scale, the horizontal one the lateral.
        const int barRows = axialBarRows(sample);
        text += printed(",\n  \"secondUnitLine\": [[%d, %d], [%d, %d]],\n", kAxialBarColumn,
                        lastRow - kAxialBarBottom - barRows, kAxialBarColumn, lastRow - kAxialBarBottom);
        text += printed("  \"secondUnitMicrons\": %d", sample.axialBarMicrons);
    }
    text += "\n}\n";
    return text;
}

bool writeText(const QString& path, const std::string& text)
{
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

// The patch must be all vitreous and the scale bar below the lower border, or
// the sample would teach the wrong thing.
bool checkLayout(const quorrel::SyntheticScan& scan, int barRight)
{
    double highestSurface = 0.0;
    double lowestBorder = scan.height;
    for (int x = 0; x < scan.width; ++x) {
        highestSurface = std::fmax(highestSurface, scan.surfaceRowAt(x));
        lowestBorder = std::fmin(lowestBorder, scan.referenceRowAt(x));
    }
    const double patchLowestRow = scan.height - 1 - kPatchBottom;
    return highestSurface + 10.0 < patchLowestRow && kScaleBarRow + 20 < lowestBorder && barRight + 100 < scan.width;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists()) {
        std::fprintf(stderr, "%s: no such folder\n", argv[1]);
        return 1;
    }
    for (const Sample& sample : samples()) {
        quorrel::SyntheticScan scan = quorrel::makeSyntheticScan(sample.scan);
        const double barPixels = sample.scaleBarMicrons / sample.micronPerPixel;
        const int barLeft = kScaleBarLeft;
        const int barRight = kScaleBarLeft + static_cast<int>(std::lround(barPixels));
        if (std::fabs(barPixels - (barRight - barLeft)) > 1e-9 || !checkLayout(scan, barRight)) {
            std::fprintf(stderr, "%s: the scale bar or the vitreous patch does not fit\n", sample.name);
            return 1;
        }
        drawScaleBar(scan, barLeft, barRight, sample.scaleBarMicrons);
        if (sample.anisotropic()) {
            const int barRows = axialBarRows(sample);
            if (std::fabs(sample.axialBarMicrons / sample.axialMicronPerPixel - barRows) > 1e-9
                || kAxialBarBottom + barRows + 20 > scan.referenceRowAt(kAxialBarColumn)) {
                std::fprintf(stderr, "%s: the vertical scale bar does not fit\n", sample.name);
                return 1;
            }
            drawAxialScaleBar(scan, kAxialBarBottom, kAxialBarBottom + barRows, sample.axialBarMicrons);
        }
        const QString base = folder.filePath(QString::fromLatin1(sample.name));
        if (!writePicture(scan, base + QStringLiteral(".png"))
            || !writeText(base + QStringLiteral(".txt"), describe(sample, scan, barLeft, barRight))
            || !writeText(base + QStringLiteral(".json"), measurementSettings(sample, scan, barLeft, barRight))) {
            std::fprintf(stderr, "%s: cannot write the sample\n", sample.name);
            return 1;
        }
        std::printf("%s\n", qPrintable(base));
    }
    return 0;
}
