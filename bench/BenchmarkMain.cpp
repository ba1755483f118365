// Times the literal ("plain") and the production form of each slow
// measurement step on inputs made by the synthetic scan generator, and checks
// that both give the same output. Usage:
//   quorrel-bench [--plain-make-curve-100k] [--plain-foveal-1000] [--full]
//                 [--first-call-and-loading] [--proposals] [--texture-upload] [--study]
// The options also run the plain forms that take long (hours for Make Curve
// on 100 000 edge points, minutes for the foveal step at N = 1000); --full
// runs both. --first-call-and-loading times only the fill's first call and
// the loading of image files; loading is timed against a plain decode of the
// same file. --proposals times only the proposals of a measurement without
// clicks. --texture-upload times only the window's texture upload (it needs
// a display: run it under xvfb-run -a on a server). --study times a study of
// the sample scans in one quorrel-measure process against their measurement.
// --fill-calls FILE [--fresh] and --texture-first-open are the runs the
// benchmark starts in processes of their own to time first calls.

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include <QFileInfo>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include "analysis/ColorDistance.h"
#include "analysis/CurveConstruction.h"
#include "analysis/FovealExtrema.h"
#include "analysis/MeasurementPipeline.h"
#include "analysis/ReferenceCurveProposal.h"
#include "analysis/RegionGrowing.h"
#include "analysis/VitreousPatchProposal.h"
#include "bench/BenchClock.h"
#include "bench/LoadBenchmark.h"
#include "bench/StudyBenchmark.h"
#ifdef QUORREL_BENCH_TEXTURE
#include "bench/TextureBenchmark.h"
#endif
#include "imageio/ImageFile.h"
#include "imageio/PictureMemory.h"
#include "oracle/PlainCurveConstruction.h"
#include "oracle/PlainNearestPoint.h"
#include "oracle/PlainRegionGrowing.h"
#include "samples/generator/SyntheticScan.h"

// Heap use of the whole program, counted in the replaced global allocation
// functions below: the bytes live now and the most live since the last reset.
namespace {
std::size_t liveBytes = 0;
std::size_t peakBytes = 0;

void* allocate(std::size_t size)
{
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr)
        throw std::bad_alloc();
    liveBytes += malloc_usable_size(block);
    peakBytes = std::max(peakBytes, liveBytes);
    return block;
}

void release(void* block) noexcept
{
    if (block == nullptr)
        return;
    liveBytes -= malloc_usable_size(block);
    std::free(block);
}
} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}
void* operator new[](std::size_t size)
{
    return allocate(size);
}
void operator delete(void* block) noexcept
{
    release(block);
}
void operator delete[](void* block) noexcept
{
    release(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    release(block);
}
void operator delete[](void* block, std::size_t) noexcept
{
    release(block);
}

namespace quorrel {
namespace {

using Clock = std::chrono::steady_clock;

struct Measurement {
    double seconds = 0.0; // best of the runs
    double firstSeconds = 0.0; // the first run, which also pays for fresh memory pages
    // The same in this thread's processor time, which other programs on the
    // machine do not stretch.
    double processorSeconds = 0.0;
    double firstProcessorSeconds = 0.0;
    std::size_t peakExtraBytes = 0;
    bool ran = false;
};

double threadProcessorSeconds()
{
    return bench::secondsOn(CLOCK_THREAD_CPUTIME_ID);
}

// Runs work `runs` times. The heap peak is that of the first run above what
// was live before it.
Measurement measure(int runs, const std::function<void()>& work)
{
    Measurement result;
    result.ran = true;
    for (int run = 0; run < runs; ++run) {
        const std::size_t before = liveBytes;
        peakBytes = liveBytes;
        const double processorStart = threadProcessorSeconds();
        const Clock::time_point start = Clock::now();
        work();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double processorSeconds = threadProcessorSeconds() - processorStart;
        if (run == 0) {
            result.firstSeconds = seconds;
            result.seconds = seconds;
            result.firstProcessorSeconds = processorSeconds;
            result.processorSeconds = processorSeconds;
            result.peakExtraBytes = peakBytes - before;
        }
        result.seconds = std::min(result.seconds, seconds);
        result.processorSeconds = std::min(result.processorSeconds, processorSeconds);
    }
    return result;
}

std::string megabytes(std::size_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
    return text;
}

void printHeader()
{
    std::printf("%-42s %9s %9s %10s %9s %10s %9s %19s %10s\n", "step", "plain s", "prod s", "prod 1st s", "ratio",
                "identical", "output MB", "prod work MB (x in)", "plain work");
}

// Work memory: the heap peak minus what the output holds.
std::size_t workBytes(const Measurement& measurement, std::size_t outputBytes)
{
    return measurement.peakExtraBytes > outputBytes ? measurement.peakExtraBytes - outputBytes : 0;
}

void printRow(const std::string& step, const Measurement& plain, const Measurement& production,
              const std::string& identical, std::size_t inputBytes, std::size_t outputBytes)
{
    char plainSeconds[32] = "skipped";
    char ratio[32] = "-";
    char plainWork[32] = "-";
    if (plain.ran) {
        std::snprintf(plainSeconds, sizeof plainSeconds, "%.4f", plain.seconds);
        std::snprintf(ratio, sizeof ratio, "%.1fx", plain.seconds / std::max(production.seconds, 1e-9));
        std::snprintf(plainWork, sizeof plainWork, "%s", megabytes(workBytes(plain, outputBytes)).c_str());
    }
    const std::size_t work = workBytes(production, outputBytes);
    char productionWork[48];
    std::snprintf(productionWork, sizeof productionWork, "%s (%.1fx)", megabytes(work).c_str(),
                  static_cast<double>(work) / static_cast<double>(std::max<std::size_t>(inputBytes, 1)));
    std::printf("%-42s %9s %9.4f %10.4f %9s %10s %9s %19s %10s\n", step.c_str(), plainSeconds, production.seconds,
                production.firstSeconds, ratio, identical.c_str(), megabytes(outputBytes).c_str(), productionWork,
                plainWork);
    std::fflush(stdout);
}

std::size_t bytesOf(const std::vector<Point2d>& points)
{
    return points.capacity() * sizeof(Point2d);
}

std::size_t bytesOf(const std::vector<Polyline>& polylines)
{
    std::size_t bytes = polylines.capacity() * sizeof(Polyline);
    for (const Polyline& polyline : polylines)
        bytes += bytesOf(polyline);
    return bytes;
}

std::size_t bytesOf(const std::vector<CurveNode>& nodes)
{
    std::size_t bytes = nodes.capacity() * sizeof(CurveNode);
    for (const CurveNode& node : nodes)
        bytes += node.neighbours.capacity() * sizeof(int) + node.neighbourDistances.capacity() * sizeof(double);
    return bytes;
}

bool sameNodes(const std::vector<CurveNode>& a, const std::vector<CurveNode>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].point != b[i].point || a[i].prev != b[i].prev || a[i].next != b[i].next
            || a[i].neighbours != b[i].neighbours || a[i].neighbourDistances != b[i].neighbourDistances)
            return false;
    }
    return true;
}

// Bit for bit: NaN equals NaN here, and -0 differs from +0.
bool samePoints(const std::vector<Point2d>& a, const std::vector<Point2d>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Point2d)) == 0);
}

bool sameDetection(const Boundary& a, const Boundary& b)
{
    return samePoints(a.curveSamples, b.curveSamples) && samePoints(a.referenceSamples, b.referenceSamples)
        && samePoints(a.resampledCurve, b.resampledCurve) && samePoints(a.resampledReference, b.resampledReference)
        && a.resampledDistances == b.resampledDistances && a.indexA == b.indexA && a.indexB == b.indexB
        && a.indexC == b.indexC && a.indexD == b.indexD && a.indexE == b.indexE
        && a.resampledIndexC == b.resampledIndexC;
}

const char* yesNo(bool value)
{
    return value ? "yes" : "NO";
}

// A 4096 x 2048 scan with strong speckle: the vitreous has holes, and the
// retina's surface frays where dark grains reach into it, so the region's
// edge runs to well over 100 000 pixels.
SyntheticScanParameters speckledScanParameters()
{
    SyntheticScanParameters parameters;
    parameters.width = 4096;
    parameters.height = 2048;
    parameters.surfaceRow = 400.0;
    parameters.referenceRow = 150.0;
    parameters.pitCentreX = 2048.0;
    parameters.pitDepth = 150.0;
    parameters.pitSigma = 200.0;
    parameters.rimHeight = 20.0;
    parameters.rimSigma = 450.0;
    parameters.noiseAmplitude = 10.0;
    parameters.speckleContrast = 0.9;
    parameters.vitreousColor = RgbaColor{40, 40, 40, 255};
    parameters.retinaColor = RgbaColor{150, 150, 150, 255};
    parameters.seed = 7;
    return parameters;
}

struct MakeCurveResult {
    std::vector<Point2d> sortedEdgePoints;
    std::vector<CurveNode> nodes;
    std::vector<Point2d> curve;
};

constexpr double kMinLineConnectionDistance = 2.0;
constexpr double kMaxLineConnectionDistance = 3.0;
constexpr int kMinCurvePointCount = 20;

void benchmarkMakeCurve(const std::vector<Point2d>& edgePoints, bool runPlain, const char* skipNote)
{
    const std::size_t inputBytes = edgePoints.size() * sizeof(Point2d);
    const std::string size = std::to_string(edgePoints.size());

    // Stage by stage first, each from the same input.
    std::vector<Point2d> sortedPlain = edgePoints;
    std::vector<Point2d> sortedProduction = edgePoints;
    Measurement plainSort;
    if (runPlain)
        plainSort = measure(1, [&] { plain::sortEdgePoints(sortedPlain); });
    std::vector<Point2d> scratch;
    const Measurement productionSort = measure(3, [&] {
        scratch = edgePoints;
        sortEdgePoints(scratch);
    });
    sortedProduction = scratch;
    // The sorted copy is the output here.
    printRow("  sortEdgePoints, " + size + " points", plainSort, productionSort,
             runPlain ? yesNo(samePoints(sortedPlain, sortedProduction)) : "-", inputBytes, bytesOf(scratch));

    std::vector<CurveNode> nodesPlain;
    std::vector<CurveNode> nodesProduction;
    Measurement plainGraph;
    if (runPlain)
        plainGraph =
            measure(1, [&] { nodesPlain = plain::buildNeighbourGraph(sortedProduction, kMinLineConnectionDistance); });
    const Measurement productionGraph =
        measure(3, [&] { nodesProduction = buildNeighbourGraph(sortedProduction, kMinLineConnectionDistance); });
    printRow("  buildNeighbourGraph, " + size + " points", plainGraph, productionGraph,
             runPlain ? yesNo(sameNodes(nodesPlain, nodesProduction)) : "-", inputBytes, bytesOf(nodesProduction));

    linkSuccessors(nodesProduction);
    const std::vector<Polyline> chains = collectChains(nodesProduction);
    std::size_t chainPoints = 0;
    for (const Polyline& chain : chains)
        chainPoints += chain.size();
    std::vector<Polyline> joinedPlain = chains;
    std::vector<Polyline> joinedProduction;
    Measurement plainJoin;
    if (runPlain)
        plainJoin = measure(1, [&] { plain::joinPolylines(joinedPlain, kMaxLineConnectionDistance); });
    const Measurement productionJoin = measure(3, [&] {
        joinedProduction = chains;
        joinPolylines(joinedProduction, kMaxLineConnectionDistance);
    });
    printRow("  joinPolylines, " + std::to_string(chains.size()) + " chains", plainJoin, productionJoin,
             runPlain ? yesNo(joinedPlain == joinedProduction) : "-", bytesOf(chains), bytesOf(joinedProduction));

    // The whole step as "Make Curve" runs it.
    MakeCurveResult plainResult;
    MakeCurveResult productionResult;
    Measurement plainTotal;
    if (runPlain) {
        plainTotal = measure(1, [&] {
            Boundary boundary;
            boundary.edgePoints = edgePoints;
            plain::sortEdgePoints(boundary.edgePoints);
            plain::buildBoundaryCurve(boundary, kMinLineConnectionDistance, kMaxLineConnectionDistance,
                                      kMinCurvePointCount);
            plainResult = {boundary.edgePoints, boundary.curveNodes, boundary.curve};
        });
    }
    Boundary boundary;
    const Measurement productionTotal = measure(3, [&] {
        boundary = Boundary{};
        boundary.edgePoints = edgePoints;
        sortEdgePoints(boundary.edgePoints);
        buildBoundaryCurve(boundary, kMinLineConnectionDistance, kMaxLineConnectionDistance, kMinCurvePointCount);
    });
    productionResult = {boundary.edgePoints, boundary.curveNodes, boundary.curve};
    const bool identical = runPlain && samePoints(plainResult.sortedEdgePoints, productionResult.sortedEdgePoints)
        && sameNodes(plainResult.nodes, productionResult.nodes)
        && samePoints(plainResult.curve, productionResult.curve);
    // The boundary's copy of the edge points, its nodes and its curve are the output.
    printRow("Make Curve, " + size + " edge points", plainTotal, productionTotal, runPlain ? yesNo(identical) : "-",
             inputBytes, bytesOf(boundary.edgePoints) + bytesOf(boundary.curveNodes) + bytesOf(boundary.curve));
    std::printf("    (%zu chains of %zu points; curve of %zu points)\n", chains.size(), chainPoints,
                productionResult.curve.size());
    if (!runPlain)
        std::printf("    plain runs skipped: %s\n", skipNote);
}

// A 2000-point traced surface from a scan with the default mild noise, and a
// 20-point reference curve along the lower border, as a user would click it.
Boundary fovealInput()
{
    SyntheticScanParameters parameters;
    parameters.width = 2080;
    parameters.height = 600;
    parameters.surfaceRow = 420.0;
    parameters.referenceRow = 150.0;
    parameters.pitCentreX = 1000.0;
    parameters.pitDepth = 120.0;
    parameters.pitSigma = 110.0;
    parameters.rimHeight = 15.0;
    parameters.rimSigma = 260.0;
    const SyntheticScan scan = makeSyntheticScan(parameters);
    const PixelRect rect = pixelRectBetween(950, 560, 1050, 520, scan.width, scan.height);
    Boundary boundary = makeCandidateBoundary(scan.view(), L"", rect, estimateMaxColorDistance(scan.view(), rect));
    boundary.edgePoints =
        collectEdgePoints(scan.view(), boundary.seedPoint, boundary.referenceColor, boundary.maxColorDistance);
    sortEdgePoints(boundary.edgePoints);
    buildBoundaryCurve(boundary, kMinLineConnectionDistance, kMaxLineConnectionDistance, kMinCurvePointCount);
    if (boundary.curve.size() > 2000)
        boundary.curve.resize(2000);

    const double first = std::min(boundary.curve.front().x, boundary.curve.back().x);
    const double last = std::max(boundary.curve.front().x, boundary.curve.back().x);
    for (int k = 0; k < 20; ++k) {
        const double x = first + (last - first) * k / 19.0;
        boundary.referenceCurve.push_back(Point2d{x, scan.referenceRowAt(x) + (k % 3) - 1.0});
    }
    return boundary;
}

// The boundary is copied from the input inside each run: the copy counts as output.
std::size_t detectionBytes(const Boundary& boundary)
{
    return bytesOf(boundary.curve) + bytesOf(boundary.referenceCurve) + bytesOf(boundary.curveSamples)
        + bytesOf(boundary.referenceSamples) + bytesOf(boundary.resampledCurve) + bytesOf(boundary.resampledReference)
        + boundary.resampledDistances.capacity() * sizeof(double);
}

void benchmarkFoveal(const Boundary& input, int dividingCount, bool runPlain)
{
    const std::size_t inputBytes = (input.curve.size() + input.referenceCurve.size()) * sizeof(Point2d);
    const std::string step = "Calculate Foveal Depth && Width, N = " + std::to_string(dividingCount);
    Boundary production;
    const Measurement productionTime = measure(3, [&] {
        production = input;
        detectFovealWidthAndDepth(production, dividingCount);
    });
    if (runPlain) {
        Boundary plainBoundary = input;
        const Measurement plainTime =
            measure(1, [&] { plain::detectFovealWidthAndDepth(plainBoundary, dividingCount); });
        printRow(step, plainTime, productionTime, yesNo(sameDetection(plainBoundary, production)), inputBytes,
                 detectionBytes(production));
        return;
    }
    // The plain search for every 50th sample only, to check the production
    // result where the whole plain run would take minutes.
    bool identical = true;
    std::size_t checked = 0;
    for (std::size_t k = 0; k < production.curveSamples.size(); k += 50, ++checked) {
        const Point2d expected =
            plain::findNearestCurvePoint(input.curve, production.referenceSamples[k], dividingCount);
        identical = identical && samePoints({expected}, {production.curveSamples[k]});
    }
    char note[64];
    std::snprintf(note, sizeof note, "%s (%zu of %zu)", yesNo(identical), checked, production.curveSamples.size());
    printRow(step, Measurement{}, productionTime, note, inputBytes, detectionBytes(production));
    std::printf("    plain run skipped (about %.0f s); every 50th sample checked against the plain search;"
                " --plain-foveal-1000 runs it\n",
                1.0e-9 * 2.5 * static_cast<double>(production.curveSamples.size()) * (input.curve.size() - 1)
                    * dividingCount);
}

// The two proposals of a measurement without clicks, on a scan of a common
// device size with the speckle sample's noise, a bright choroid and a vessel
// shadow. Together they should take under 0.1 s.
void benchmarkProposals()
{
    SyntheticScanParameters parameters;
    parameters.width = 1536;
    parameters.height = 1024;
    parameters.surfaceRow = 440.0;
    parameters.referenceRow = 300.0;
    parameters.pitCentreX = 768.0;
    parameters.pitDepth = 70.0;
    parameters.pitSigma = 130.0;
    parameters.rimHeight = 30.0;
    parameters.rimSigma = 260.0;
    parameters.curvature = 0.0001;
    parameters.noiseAmplitude = 16.0;
    parameters.speckleContrast = 0.22;
    parameters.choroidThickness = 60.0;
    parameters.shadowLeft = 900.0;
    parameters.shadowWidth = 20.0;
    const SyntheticScan scan = makeSyntheticScan(parameters);
    std::printf("\nproposals on a %d x %d scan with speckle, a bright choroid and a vessel shadow\n\n", scan.width,
                scan.height);
    printHeader();

    VitreousPatchProposal patch;
    const Measurement patchTime = measure(3, [&] { patch = proposeVitreousPatch(scan.view()); });
    printRow("Propose vitreous patch", Measurement{}, patchTime, patch.found ? "-" : "refused", scan.rgba.size(), 0);
    if (!patch.found)
        return;
    MeasurementParameters traced;
    traced.selection = patch.rect;
    traced.estimateTolerance = true;
    traced.smoothCount = 2;
    const std::vector<Point2d> surface = runMeasurement(scan.view(), L"", traced).boundary.curve;
    ReferenceCurveProposal reference;
    const Measurement referenceTime = measure(3, [&] { reference = proposeReferenceCurve(scan.view(), surface); });
    printRow("Propose reference curve", Measurement{}, referenceTime, reference.found ? "-" : "refused",
             scan.rgba.size(), bytesOf(reference.points));
    const double together = patchTime.seconds + referenceTime.seconds;
    std::printf("    (both %.4f s: %s the 0.1 s target; %zu reference points)\n", together,
                together < 0.1 ? "within" : "OVER", reference.points.size());
}

// The fill's first call and its best later call, in this thread's processor
// time, after loading the scan from a file as the window and the command
// do; with keptMemory, the memory freed before the fill is kept, as both
// programs keep it. Prints both in seconds.
int timeFillCallsAfterLoading(const char* path, bool keptMemory)
{
    if (keptMemory)
        keepFreedPictureMemory();
    const LoadedRegion region = loadImageRegion(QString::fromLocal8Bit(path).toStdWString(), 0.0, 0.0, 1.0, 1.0, 0);
    if (region.status != LoadStatus::Ok)
        return 1;
    const RgbaImageView image{region.pixels.get(), static_cast<int>(region.width), static_cast<int>(region.height)};
    const PixelRect patch = pixelRectBetween(1900, 1900, 2200, 1700, image.width, image.height);
    const Boundary candidate = makeCandidateBoundary(image, L"", patch, estimateMaxColorDistance(image, patch));
    std::vector<Point2d> edges;
    const Measurement fill = measure(5, [&] {
        edges = collectEdgePoints(image, candidate.seedPoint, candidate.referenceColor, candidate.maxColorDistance);
    });
    std::printf("%.6f %.6f\n", fill.firstProcessorSeconds, fill.processorSeconds);
    return 0;
}

// The fill's first call against its later calls, each in a process of its
// own that has only loaded the scan, saved as a PNG file (this program with
// --fill-calls). Judged in processor time: the page faults are the process's
// own work, while the clock also counts the waits for a core on a busy
// machine. One first call is one sample, so each figure is the median of
// several processes.
void printFillFirstCall(const SyntheticScan& scan)
{
    using bench::median;
    constexpr int kProcesses = 5;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("speckled.png"));
    QImage picture(scan.width, scan.height, QImage::Format_RGBA8888);
    for (int y = 0; y < scan.height; ++y)
        std::memcpy(picture.scanLine(y), scan.rgba.data() + std::size_t(scan.height - 1 - y) * scan.width * 4,
                    std::size_t(scan.width) * 4);
    if (!picture.save(path)) {
        std::printf("fill's first call: cannot write the scan\n\n");
        return;
    }
    for (const bool keptMemory : {true, false}) {
        std::vector<double> firstCalls;
        std::vector<double> laterCalls;
        const std::string command = "'" + QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().toStdString()
            + "' --fill-calls '" + path.toStdString() + "'" + (keptMemory ? "" : " --fresh");
        for (int run = 0; run < kProcesses; ++run) {
            FILE* child = popen(command.c_str(), "r");
            double first = 0.0;
            double later = 0.0;
            const bool read = child && std::fscanf(child, "%lf %lf", &first, &later) == 2;
            if (child)
                pclose(child);
            if (!read || first <= 0.0 || later <= 0.0) {
                std::printf("fill's first call: the process timing it failed\n\n");
                return;
            }
            firstCalls.push_back(first);
            laterCalls.push_back(later);
        }
        const double ratio = median(firstCalls) / median(laterCalls);
        if (keptMemory) {
            std::printf("fill's first call after loading the scan from a PNG file, freed memory kept as the window "
                        "and the command keep it\n(processor time, medians of %d processes): %.4f s, best later "
                        "call %.4f s: %.2fx (target <= 1.5x, %s)\n",
                        kProcesses, median(firstCalls), median(laterCalls), ratio, ratio <= 1.5 ? "met" : "MISSED");
        } else {
            std::printf("  the same without keeping freed memory: %.4f s, best later call %.4f s: %.2fx\n\n",
                        median(firstCalls), median(laterCalls), ratio);
        }
    }
}

} // namespace
} // namespace quorrel

int main(int argc, char** argv)
{
    using namespace quorrel;
    bool plainMakeCurve100k = false;
    bool plainFoveal1000 = false;
    bool loadingOnly = false;
    if (argc >= 3 && std::strcmp(argv[1], "--fill-calls") == 0)
        return timeFillCallsAfterLoading(argv[2], !(argc >= 4 && std::strcmp(argv[3], "--fresh") == 0));
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--first-call-and-loading") == 0) {
            loadingOnly = true;
            continue;
        }
        if (std::strcmp(argv[k], "--proposals") == 0) {
            benchmarkProposals();
            return 0;
        }
        if (std::strcmp(argv[k], "--study") == 0)
            return bench::benchmarkStudy(argc, argv);
#ifdef QUORREL_BENCH_TEXTURE
        if (std::strcmp(argv[k], "--texture-first-open") == 0 && k + 2 < argc)
            return bench::benchmarkTextureFirstOpen(argc, argv, argv[k + 1], argv[k + 2]);
#endif
        if (std::strcmp(argv[k], "--texture-upload") == 0) {
#ifdef QUORREL_BENCH_TEXTURE
            return bench::benchmarkTextureUpload(argc, argv, 7);
#else
            std::fprintf(stderr, "quorrel-bench was built without the window (QUORREL_BUILD_GUI=OFF)\n");
            return 2;
#endif
        }
        const bool full = std::strcmp(argv[k], "--full") == 0;
        if (full || std::strcmp(argv[k], "--plain-make-curve-100k") == 0)
            plainMakeCurve100k = true;
        if (full || std::strcmp(argv[k], "--plain-foveal-1000") == 0)
            plainFoveal1000 = true;
        if (!full && std::strcmp(argv[k], "--plain-make-curve-100k") != 0
            && std::strcmp(argv[k], "--plain-foveal-1000") != 0) {
            std::fprintf(stderr,
                         "usage: quorrel-bench [--plain-make-curve-100k] [--plain-foveal-1000] [--full] "
                         "[--first-call-and-loading] [--proposals] [--texture-upload] [--study]\n");
            return 2;
        }
    }
    std::printf("quorrel-bench: plain = the literal procedure, prod = the library's. Times are the best of 3 runs\n"
                "(plain: 1 run); 'prod 1st' is the first production run, which also pays for fresh memory pages.\n"
                "Work MB is the most heap held above what was live before the step, less the output's size.\n\n");

    const SyntheticScanParameters parameters = speckledScanParameters();
    Clock::time_point start = Clock::now();
    const SyntheticScan scan = makeSyntheticScan(parameters);
    const RgbaImageView image = scan.view();
    const PixelRect patch = pixelRectBetween(1900, 1900, 2200, 1700, scan.width, scan.height);
    const Boundary candidate = makeCandidateBoundary(image, L"", patch, estimateMaxColorDistance(image, patch));
    std::printf("speckled scan %d x %d (noise %.0f, speckle contrast %.1f) made in %.2f s; tolerance %d from a "
                "vitreous patch\n\n",
                scan.width, scan.height, parameters.noiseAmplitude, parameters.speckleContrast,
                std::chrono::duration<double>(Clock::now() - start).count(), candidate.maxColorDistance);

    // The production fill runs first, so that its first run is the process's
    // first fill, on memory pages no fill has touched yet.
    std::vector<Point2d> plainEdges;
    std::vector<Point2d> edges;
    const Measurement productionFill = measure(5, [&] {
        edges = collectEdgePoints(image, candidate.seedPoint, candidate.referenceColor, candidate.maxColorDistance);
    });
    printFillFirstCall(scan);
    if (loadingOnly) {
        bench::benchmarkLoading(5);
        return 0;
    }

    printHeader();
    const Measurement plainFill = measure(1, [&] {
        plainEdges =
            plain::collectEdgePoints(image, candidate.seedPoint, candidate.referenceColor, candidate.maxColorDistance);
    });
    printRow("Detect Retina Contour (region fill)", plainFill, productionFill, yesNo(samePoints(plainEdges, edges)),
             scan.rgba.size(), bytesOf(edges));
    std::printf("    (%zu edge pixels)\n", edges.size());

    if (edges.size() < 100000) {
        std::printf("the scan gave fewer than 100 000 edge pixels; stopping\n");
        return 1;
    }
    // Make Curve on the first edge pixels in the order the fill found them.
    benchmarkMakeCurve(std::vector<Point2d>(edges.begin(), edges.begin() + 20000), true, "");
    benchmarkMakeCurve(std::vector<Point2d>(edges.begin(), edges.begin() + 100000), plainMakeCurve100k,
                       "the plain form takes hours here (its join passes alone grow with the cube of the chain"
                       " count); --plain-make-curve-100k runs it");

    const Boundary fovealBoundary = fovealInput();
    std::printf("\nfoveal input: curve of %zu points, reference curve of %zu points\n", fovealBoundary.curve.size(),
                fovealBoundary.referenceCurve.size());
    benchmarkFoveal(fovealBoundary, 100, true);
    benchmarkFoveal(fovealBoundary, 1000, plainFoveal1000);
    benchmarkProposals();
    bench::benchmarkLoading(5);
    return 0;
}
