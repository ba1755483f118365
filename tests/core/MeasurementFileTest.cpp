// The measurement file: what the window records of a measurement, written
// and read back, repeats it exactly; every key survives a round trip; bad
// files are refused with their line and change nothing.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/FovealExtrema.h"
#include "analysis/MeasurementReport.h"
#include "analysis/MeasurementSteps.h"
#include "analysis/RegionGrowing.h"
#include "core/MeasurementFile.h"
#include "samples/generator/SyntheticScan.h"
#include "tests/analysis/TestImage.h"

namespace quorrel {
namespace {

// The view's own sequence of steps, with those a user may take besides the
// usual ones, then the file the window saves, read back and run as
// quorrel-measure runs it: the same report and curve.
TEST(MeasurementFile, SavedSteps_RepeatTheWindowsReportAndCurve)
{
    const struct {
        const char* name;
        std::vector<PixelRect> whitenFirst; // Clear Image Mode before detecting
        std::vector<PixelRect> eraseBeforeCurve;
        std::vector<PixelRect> eraseAfterFirstCurve; // then Make Curve again
        std::vector<int> smoothLevels;
        std::vector<PointMove> moves;
    } steps[] = {
        {"moved A and C",
         {},
         {},
         {},
         {2, 2},
         {{MovablePoint::ATop, {120.5, 150.25}}, {MovablePoint::CBottom, {201, 58}}, {MovablePoint::ATop, {121, 149}}}},
        {"erased twice, mixed levels",
         {},
         {PixelRect{0, 120, 12, 160}},
         {PixelRect{380, 120, 399, 160}, PixelRect{5, 5, 5, 5}},
         {2, 3, 2},
         {}},
        {"whitened, unsmoothed", {PixelRect{0, 190, 40, 200}}, {}, {}, {}, {{MovablePoint::EBottom, {300, 61}}}},
    };
    for (const auto& hand : steps) {
        SCOPED_TRACE(hand.name);
        SyntheticScan scan = makeSyntheticScan(test::smallFovea());
        ImageOrigin origin;
        for (const PixelRect& rect : hand.whitenFirst) {
            whitenPixels(scan.rgba.data(), scan.width, scan.height, rect);
            origin.whitened.push_back(rect);
        }
        Boundary boundary = makeCandidateBoundary(scan.view(), L"fovea.png", PixelRect{150, 165, 250, 190}, 30);
        recordDetection(boundary, origin);
        boundary.edgePoints = collectEdgePoints(scan.view(), boundary.seedPoint, boundary.referenceColor, 30);
        for (const PixelRect& rect : hand.eraseBeforeCurve)
            eraseEdgePoints(boundary, rect);
        makeCurve(boundary, 2.0, 3.0, 20);
        if (!hand.eraseAfterFirstCurve.empty()) {
            for (const PixelRect& rect : hand.eraseAfterFirstCurve)
                eraseEdgePoints(boundary, rect);
            makeCurve(boundary, 1.5, 4.0, 20);
        }
        for (int level : hand.smoothLevels)
            smoothCurveOnce(boundary, level);
        boundary.referenceCurve = {{10, 60}, {200, 61.5}, {389, 60}};
        measureFovea(boundary, 50);
        // Drawn again after the detection: the report keeps the samples.
        boundary.referenceCurve.push_back({395, 70});
        for (const PointMove& move : hand.moves)
            ASSERT_TRUE(moveMeasuredPoint(boundary, move));
        ASSERT_TRUE(hasReportableExtrema(boundary));
        const Point2d unitStart{10.5, 9};
        const Point2d unitEnd{110.5, 9};
        const std::string windowReport =
            formatMeasurementReport(computeFovealMeasurements(boundary, unitStart, unitEnd, 250.0));

        const std::string text =
            formatMeasurementFile(settingsForBoundary(boundary, scan.height, unitStart, unitEnd, 250.0, AxisScales{}));
        MeasurementSettings read;
        std::string error;
        ASSERT_TRUE(parseMeasurementFile(text, read, error)) << error << "\n" << text;
        SyntheticScan fresh = makeSyntheticScan(test::smallFovea());
        const ImageOrigin readOrigin = toImageOrigin(read, fresh.width, fresh.height);
        EXPECT_TRUE(readOrigin == origin);
        for (const PixelRect& rect : readOrigin.whitened)
            whitenPixels(fresh.rgba.data(), fresh.width, fresh.height, rect);
        const MeasurementResult repeated =
            runMeasurement(fresh.view(), L"fovea.png", toMeasurementParameters(read, fresh.width, fresh.height));
        ASSERT_EQ(repeated.status, MeasurementStatus::Ok) << describeMeasurement(repeated);
        EXPECT_EQ(repeated.report, windowReport);
        EXPECT_TRUE(repeated.boundary.curve == boundary.curve);
        EXPECT_EQ(repeated.boundary.measuredSteps.moves.size(), boundary.measuredSteps.moves.size());
    }
}

TEST(MeasurementFile, EveryKey_SurvivesWritingAndReading)
{
    MeasurementSettings settings;
    settings.image = ImageReference{"/scans/é 1.png", std::string(64, 'a')};
    settings.selection = ViewerRect{-3, 4, 5, 6};
    settings.tolerance = ToleranceSetting{false, 41};
    settings.minConnection = 1.25;
    settings.maxConnection = 4.5;
    settings.smoothLevels = std::vector<int>{2, 5};
    settings.divideCount = 77;
    settings.reference = std::vector<Point2d>{{0.1, 2.5}, {1e-3, 300}};
    settings.unitLine = std::array<Point2d, 2>{Point2d{1, 2}, Point2d{3.75, 4}};
    settings.unitMicrons = 123.456;
    settings.lateralMicronsPerPixel = 11.5;
    settings.axialMicronsPerPixel = 3.9;
    settings.scaleSource = "file (TIFF resolution)";
    settings.secondUnitLine = std::array<Point2d, 2>{Point2d{5, 6}, Point2d{5, 106.5}};
    settings.secondUnitMicrons = 390.0;
    settings.frame = 3;
    settings.region = ImageRegion{0.125, 0.25, 0.5, 0.75};
    settings.whitened = std::vector<ViewerRect>{{1, 2, 3, 4}};
    settings.erasures = std::vector<ViewerErasure>{{{5, 6, 0, 0}, 1}};
    settings.moves = std::vector<PointMove>{{MovablePoint::EBottom, {7.5, -8}}, {MovablePoint::CTop, {9, 10}}};
    const std::string text = formatMeasurementFile(settings);
    EXPECT_EQ(text.rfind("{\n  \"version\": 3,\n  \"image\": ", 0), 0u) << text;

    MeasurementSettings read;
    std::string error;
    ASSERT_TRUE(parseMeasurementFile(text, read, error)) << error;
    EXPECT_EQ(formatMeasurementFile(read), text);
    EXPECT_EQ(read.image->path, "/scans/é 1.png");
    EXPECT_EQ((*read.moves)[0].point, MovablePoint::EBottom);
    // First-version files (no version, no steps): the samples' in AcceptanceTest.

    EXPECT_EQ(measurementFilePathFor("/a/report.TXT").toStdString(), "/a/report.json");
    EXPECT_EQ(measurementFilePathFor("/a/report").toStdString(), "/a/report.json");
    EXPECT_EQ(measurementFilePathFor("/a/r.txt.bak").toStdString(), "/a/r.txt.bak.json");
}

// Each bad file is refused with its line and why, and changes nothing.
TEST(MeasurementFile, BadFiles_AreRefusedWithTheirLineAndChangeNothing)
{
    const struct {
        const char* name;
        const char* text;
        const char* message; // what the error must contain
    } badFiles[] = {
        {"malformed", "{\"smoothLevel\": 3,}", "parse error at line 1"},
        {"truncated", "{\n  \"version\": 2,\n  \"tolerance\": 3", "parse error at line 3"},
        {"wrongType", "{\n  \"version\": 2,\n  \"smoothLevel\": \"3\"\n}",
         "line 3: \"smoothLevel\" must be a whole number from 2 to 99"},
        {"outOfRange", "{\n\n  \"unitMicrons\": 0\n}", "line 3: \"unitMicrons\" must be a number greater than 0"},
        {"futureVersion", "{\n  \"version\": 4,\n  \"newKey\": 1\n}",
         "line 2: \"version\" the file is of version 4, written by a newer Quorrel"},
        {"absurdScale", "{\"lateralMicronsPerPixel\": 11.5,\n\"axialMicronsPerPixel\": 1001}",
         "line 2: \"axialMicronsPerPixel\" must be a number greater than 0 up to 1000"},
        {"scaleSourceOfTwoLines", "{\"scaleSource\": \"a\\nb\"}", "\"scaleSource\" must be a text of one line"},
        {"secondUnitLineOfOnePoint", "{\"secondUnitLine\": [[1, 2]]}", "\"secondUnitLine\" must be [[X1, Y1]"},
        {"unknownKey", "{\"smoothLevl\": 3}", "line 1: unknown key \"smoothLevl\""},
        {"notAnObject", "[1, 2]", "line 1: the top level must be an object"},
        {"badChecksum", "{\"image\": {\"path\": \"a.png\", \"sha256\": \"xyz\"}}", "\"image\" must be"},
        {"movedTwice",
         "{\"moved\": [{\"point\": \"ATop\", \"x\": 1, \"y\": 2}, {\"point\": \"ATop\", \"x\": 3, \"y\": 4}]}",
         "\"moved\" must be"},
        {"levelsAndCount", "{\"smoothLevels\": [2, 3],\n\"smoothCount\": 2}", "line 1: \"smoothLevels\" replaces"},
        {"regionOutside", "{\"region\": {\"x0\": 0, \"y0\": 0, \"width\": 1.5, \"height\": 1}}", "\"region\" must be"},
    };
    for (const auto& bad : badFiles) {
        SCOPED_TRACE(bad.name);
        MeasurementSettings settings;
        settings.smoothLevel = 7;
        settings.reference = std::vector<Point2d>{{1, 2}, {3, 4}};
        const std::string before = formatMeasurementFile(settings);
        std::string error;
        EXPECT_FALSE(parseMeasurementFile(bad.text, settings, error));
        EXPECT_NE(error.find(bad.message), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(formatMeasurementFile(settings), before);
    }
}

} // namespace
} // namespace quorrel
