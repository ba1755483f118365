#include "bench/StudyBenchmark.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "ImageMeasurement.h"
#include "analysis/MeasurementPipeline.h"
#include "analysis/MeasurementSettings.h"
#include "imageio/ImageFile.h"

namespace quorrel::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStudySize = 60;

struct Cost {
    double wall = 0.0;
    double processor = 0.0; // user and system time
};

double processorSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

Cost costOf(int who, const std::function<void()>& work)
{
    const double processor = processorSeconds(who);
    const Clock::time_point start = Clock::now();
    work();
    return Cost{std::chrono::duration<double>(Clock::now() - start).count(), processorSeconds(who) - processor};
}

// The smallest of several runs, each figure on its own.
Cost leastOf(int runs, int who, const std::function<void()>& work)
{
    Cost least = costOf(who, work);
    for (int run = 1; run < runs; ++run) {
        const Cost cost = costOf(who, work);
        least.wall = std::min(least.wall, cost.wall);
        least.processor = std::min(least.processor, cost.processor);
    }
    return least;
}

// The measurement of one scan with its settings, its pixels already loaded.
struct LoadedScan {
    MeasurementParameters parameters;
    LoadedRegion region;
    std::wstring path;
};

} // namespace

int benchmarkStudy(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QString program = QStringLiteral(QUORREL_MEASURE_PROGRAM);
    QTemporaryDir folder;
    std::vector<LoadedScan> scans;
    QStringList studyImages;
    const QStringList samples =
        QDir(QStringLiteral(QUORREL_SAMPLES_DIR)).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    for (const QString& sample : samples) {
        const QString image = QDir(QStringLiteral(QUORREL_SAMPLES_DIR)).filePath(sample);
        const QString settingsPath = measure::parametersPathBeside(image);
        measure::MeasureSettings settings;
        std::string error;
        if (!measure::readSettingsFile(settingsPath, settings, error)) {
            std::printf("left out %s: %s\n", qPrintable(sample), error.c_str());
            continue;
        }
        LoadedScan scan;
        scan.path = image.toStdWString();
        scan.region = loadImageRegion(scan.path, 0.0, 0.0, 1.0, 1.0, 0);
        scan.parameters = toMeasurementParameters(settings, static_cast<int>(scan.region.width),
                                                  static_cast<int>(scan.region.height));
        scans.push_back(std::move(scan));
        const QString copy = folder.filePath(QFileInfo(image).completeBaseName());
        QFile::copy(image, copy + QStringLiteral(".png"));
        QFile::copy(settingsPath, copy + QStringLiteral(".json"));
    }
    if (scans.empty() || program.isEmpty()) {
        std::printf("no sample with settings to measure\n");
        return 1;
    }
    // The study: the samples again and again, each copy a file of its own.
    for (int k = 0; k < kStudySize; ++k) {
        const QString base = QFileInfo(QString::fromStdWString(scans[k % scans.size()].path)).completeBaseName();
        const QString name = folder.filePath(QStringLiteral("%1-%2").arg(base).arg(k, 3, 10, QLatin1Char('0')));
        QFile::copy(folder.filePath(base + QStringLiteral(".png")), name + QStringLiteral(".png"));
        QFile::copy(folder.filePath(base + QStringLiteral(".json")), name + QStringLiteral(".json"));
        studyImages << name + QStringLiteral(".png");
    }

    // The measurement alone: the pixels are loaded, the process is running.
    Cost measurement;
    Cost loading;
    for (int k = 0; k < kStudySize; ++k) {
        const LoadedScan& scan = scans[k % scans.size()];
        const RgbaImageView image{scan.region.pixels.get(), static_cast<int>(scan.region.width),
                                  static_cast<int>(scan.region.height)};
        const Cost one = leastOf(3, RUSAGE_SELF, [&] { runMeasurement(image, scan.path, scan.parameters); });
        const Cost load = leastOf(3, RUSAGE_SELF, [&] { loadImageRegion(scan.path, 0.0, 0.0, 1.0, 1.0, 0); });
        measurement.wall += one.wall / kStudySize;
        measurement.processor += one.processor / kStudySize;
        loading.wall += load.wall / kStudySize;
        loading.processor += load.processor / kStudySize;
    }

    // One process for the first image, one for all of them: on one thread,
    // so that the processor time compares with the measurement's, and with
    // the default number of jobs (one per core), whose clock time shows what
    // the cores give.
    const auto study = [&](const QStringList& images, const QStringList& jobs) {
        return leastOf(3, RUSAGE_CHILDREN, [&] {
            QProcess process;
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process.start(program, QStringList(images) << jobs);
            if (!process.waitForFinished(-1) || process.exitCode() != 0)
                std::printf("the study of %d images failed\n", images.size());
        });
    };
    const QStringList oneJob{QStringLiteral("--jobs"), QStringLiteral("1")};
    const Cost first = study(studyImages.mid(0, 1), oneJob);
    const Cost all = study(studyImages, oneJob);
    const Cost allDefault = study(studyImages, {});
    const Cost beyond{(all.wall - first.wall) / (kStudySize - 1), (all.processor - first.processor) / (kStudySize - 1)};
    const Cost beyondDefault{(allDefault.wall - first.wall) / (kStudySize - 1),
                             (allDefault.processor - first.processor) / (kStudySize - 1)};

    std::printf("a study of %d copies of %zu samples in one quorrel-measure process, least of 3 runs\n\n", kStudySize,
                scans.size());
    std::printf("%-52s %10s %10s\n", "", "wall ms", "cpu ms");
    std::printf("%-52s %10.2f %10.2f\n", "process with the first image", 1e3 * first.wall, 1e3 * first.processor);
    std::printf("%-52s %10.2f %10.2f\n", "each image beyond the first, --jobs 1", 1e3 * beyond.wall,
                1e3 * beyond.processor);
    std::printf("%-52s %10.2f %10.2f\n", "each image beyond the first, default jobs (per core)",
                1e3 * beyondDefault.wall, 1e3 * beyondDefault.processor);
    std::printf("%-52s %10.2f %10.2f\n", "measurement alone, per image", 1e3 * measurement.wall,
                1e3 * measurement.processor);
    std::printf("%-52s %10.2f %10.2f\n", "loading alone, per image", 1e3 * loading.wall, 1e3 * loading.processor);
    std::printf("\nthe default jobs measure the study %.2fx as fast as --jobs 1 by the clock\n",
                all.wall / allDefault.wall);
    // Read strictly, the target leaves no room for loading the image; read
    // as "start-up and library initialisation are paid once", it compares
    // with loading and measuring in a running process. Both are printed.
    const double ratio = beyond.processor / measurement.processor;
    const double withLoading = beyond.processor / (measurement.processor + loading.processor);
    std::printf("each image beyond the first (--jobs 1) / the measurement alone (processor time): %.2fx "
                "(target <= 1.5x, %s)\n",
                ratio, ratio <= 1.5 ? "met" : "MISSED");
    // Decoding the file cannot be left out of a study; where it alone costs
    // half the measurement or more, the strict reading is out of reach.
    if (loading.processor >= 0.5 * measurement.processor)
        std::printf("  (loading alone costs %.2fx the measurement, so no study can reach 1.5x of the measurement "
                    "alone)\n",
                    loading.processor / measurement.processor);
    std::printf("each image beyond the first (--jobs 1) / its loading and measurement in a running process: %.2fx "
                "(target <= 1.5x, %s)\n",
                withLoading, withLoading <= 1.5 ? "met" : "MISSED");
    return withLoading <= 1.5 ? 0 : 1;
}

} // namespace quorrel::bench
