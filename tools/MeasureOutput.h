#pragma once

// What the headless measurement writes: the report, the parameters file and
// one CSV row per image added to a table that spreadsheets and pandas open,
// all of them together once the measurement has succeeded, or none.

#include <string>
#include <vector>

#include <QString>

#include "analysis/CalibratedMeasurement.h"
#include "analysis/MeasurementReport.h"

namespace measure {

// The table's header line: "image", then every figure of the 50 lines in
// their order, then the axis scales and their source, the figures of the run
// in microns and the codes of the trust warnings; ends in '\n'.
std::string csvHeader();

// One row: the image path, quoted as RFC 4180 asks, then the figures in the
// header's order; ends in '\n'. A figure that cannot be computed (NaN, an
// infinity, a depth not determined, the run in microns without both scales)
// is an empty field; warnings are the codes joined by ";", empty when clean.
std::string csvRow(const std::string& imagePath, const quorrel::FovealMeasurements& measurements,
                   const quorrel::CalibratedMeasurements& calibrated, const std::string& warnings);

// A text field, in double quotes (inner ones doubled) when it holds a comma,
// a quote or a line break.
std::string csvField(const std::string& text);

// A number in the shortest form that reads back as the same double; empty
// for NaN and the infinities.
std::string csvNumber(double value);

// The table at path with row added: its current content, or the header when
// the file is new or empty, then the row. False with an error when the file
// cannot be read or already starts with another header.
bool tableWithRow(const QString& path, const std::string& row, std::string& table, std::string& error);

// Output files that appear together or not at all. Each is written in full to
// a temporary file beside its target; only commit moves them into place, one
// rename each. Until then every target keeps its old content, and temporary
// files that were not moved are removed when the object goes, also while an
// exception unwinds.
class StagedOutputs {
public:
    StagedOutputs() = default;
    StagedOutputs(const StagedOutputs&) = delete;
    StagedOutputs& operator=(const StagedOutputs&) = delete;
    ~StagedOutputs();

    // Writes content beside path (the file a symbolic link names, for a
    // link). False with an error when that fails or an existing target is
    // not writable.
    bool stage(const QString& path, const std::string& content, std::string& error);

    // Renames every staged file over its target. False with an error when a
    // rename fails; the targets renamed before it keep their new content.
    bool commit(std::string& error);

private:
    struct Staged {
        QString temporaryPath;
        QString targetPath;
    };
    std::vector<Staged> m_staged;
};

} // namespace measure
