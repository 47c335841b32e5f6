// Data files of the program folder: MATLAB level-5 MAT-files (the v5 and v7
// layouts that MATLAB and Octave write, v7 being v5 with zlib-compressed
// variables) holding named numeric matrices.
//
// A file is loaded either as one record of all its variables, in the order in
// which they are stored, or into the variables the caller names.  Every numeric
// class (double, single, the integer classes, logical) arrives as a real
// matrix of doubles.  The file is looked at before it is read: a folder, a
// device or pipe (a link to /dev/zero) and a file over 64 MB (the models are
// under 1 MB) are refused at once, by name.  Anything else (text, cells,
// records, sparse or complex data, more than two dimensions), a missing file,
// a missing variable or a malformed file raises kolmo::DataFileError whose text names the file and the
// problem; the callers report it to the user in their own words.
#pragma once

#include "platform/pointset.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo::platform {

struct DataVariable {
    std::string name;
    Mat value;
};

// The variables of one data file, in stored order.
struct DataRecord {
    std::vector<DataVariable> fields;

    // The variable `name`; throws DataFileError naming `file` when it is absent.
    const Mat& at(std::string_view name) const;
    const DataVariable* find(std::string_view name) const;
};

// All variables of `file`.
DataRecord loadDataFile(const std::filesystem::path& file);

// Only the variables `names`, in the order asked; a missing one is an error.
DataRecord loadDataFile(const std::filesystem::path& file, const std::vector<std::string>& names);

// Writes `record` as a MATLAB v5 MAT-file (uncompressed unless `compress`),
// replacing `file` in one step (platform/files.h).  Used by the data generator
// and the tests.
void saveDataFile(const std::filesystem::path& file, const DataRecord& record, bool compress = false);

// Joins the values of all fields side by side, in their stored order.  The
// fields must have the same number of rows (empty fields add nothing).
Mat struct2array(const DataRecord& record);

// The one matrix a file of one variable holds; its rows x cols must be as
// given.  Used for files whose variable name is free (HREF_SVS2010.mat).
Mat loadSingleMatrix(const std::filesystem::path& file, Eigen::Index rows, Eigen::Index cols);

} // namespace kolmo::platform
