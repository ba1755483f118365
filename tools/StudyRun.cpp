#include "StudyRun.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include <unistd.h>

#include "MeasureOutput.h"
#include "StrictText.h"

namespace measure {

namespace {

using Clock = std::chrono::steady_clock;

// "about 1 min 20 s", "about 12 s".
std::string formatDuration(double seconds)
{
    const long long whole = static_cast<long long>(seconds + 0.5);
    if (whole >= 60)
        return "about " + std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
    return "about " + std::to_string(whole) + " s";
}

// Lines on standard error from several threads, and on a terminal one
// progress line kept below them.
class Console {
public:
    explicit Console(int total)
        : m_total(total)
        , m_terminal(::isatty(STDERR_FILENO) == 1)
        , m_start(Clock::now())
    {
    }

    void line(const std::string& text)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        clearProgress();
        std::fprintf(stderr, "quorrel-measure: %s\n", text.c_str());
        showProgress();
    }

    void imageDone(bool failed)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        ++m_done;
        m_failed += failed ? 1 : 0;
        showProgress();
    }

    void finish()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        clearProgress();
    }

private:
    void clearProgress()
    {
        if (m_terminal)
            std::fputs("\r\033[K", stderr);
    }

    void showProgress()
    {
        if (!m_terminal)
            return;
        std::string text = std::to_string(m_done) + " of " + std::to_string(m_total) + " images, "
            + std::to_string(m_failed) + " failed";
        if (m_done > 0 && m_done < m_total) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - m_start).count();
            text += ", " + formatDuration(elapsed / m_done * (m_total - m_done)) + " left";
        }
        std::fprintf(stderr, "\r\033[K%s", text.c_str());
        std::fflush(stderr);
    }

    std::mutex m_mutex;
    const int m_total;
    const bool m_terminal;
    const Clock::time_point m_start;
    int m_done = 0;
    int m_failed = 0;
};

} // namespace

StudyResult runStudy(const QStringList& imagePaths, const MeasureSettings* shared, const MeasureSettings& options,
                     int jobs, bool propose)
{
    const int total = imagePaths.size();
    std::vector<ImageOutcome> outcomes(static_cast<std::size_t>(total));
    Console console(total);
    std::atomic<int> next{0};
    const auto work = [&] {
        for (int index = next++; index < total; index = next++) {
            const QString& imagePath = imagePaths[index];
            ImageOutcome& outcome = outcomes[static_cast<std::size_t>(index)];
            outcome = measureImage(imagePath, shared, options, propose);
            if (outcome.status == kMeasured) {
                StagedOutputs report;
                std::string error;
                if (!report.stage(reportPathBeside(imagePath), outcome.report, error) || !report.commit(error)) {
                    outcome.status = kMeasurementFailed;
                    outcome.error = error;
                }
            }
            for (const std::string& warning : outcome.warnings)
                console.line("warning: image " + quoted(imagePath.toStdString()) + ": " + warning);
            if (outcome.status != kMeasured) {
                const bool namesImage = outcome.error.find(quoted(imagePath.toStdString())) != std::string::npos;
                console.line(namesImage ? outcome.error
                                        : "image " + quoted(imagePath.toStdString()) + ": " + outcome.error);
            }
            // The table is written at the end; the rest is no longer needed.
            outcome.report.clear();
            outcome.settings = MeasureSettings{};
            console.imageDone(outcome.status != kMeasured);
        }
    };
    std::vector<std::thread> threads;
    const int threadCount = std::max(1, std::min(jobs, total));
    for (int i = 1; i < threadCount; ++i)
        threads.emplace_back(work);
    work();
    for (std::thread& thread : threads)
        thread.join();
    console.finish();

    StudyResult result;
    for (const ImageOutcome& outcome : outcomes) {
        result.status = std::max(result.status, outcome.status);
        if (outcome.status == kMeasured)
            result.csvRows.push_back(outcome.csvRow);
        else
            ++result.failedCount;
        if (outcome.status == kMeasured && !outcome.warnings.empty())
            ++result.warnedCount;
    }
    return result;
}

} // namespace measure
