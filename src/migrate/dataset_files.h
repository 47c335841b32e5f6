// The files a GIS dataset consists of, so that two datasets are told apart by
// their files and not by the names given for them: "--in a.dbf --out a.shp"
// names two files of one Shapefile, and "--in DIR --out DIR/a.shp" writes
// into the folder that is the input.
//
// A dataset named by a file of a family stands for the whole family beside
// it: a Shapefile's .shp .shx .dbf .prj .cpg and its spatial indexes (.qix
// .sbn .sbx), .qpj and .shp.xml; GML's .gml .xsd .gfs; a CSV's .csv .csvt
// .prj; a GeoPackage with its SQLite journals (-wal -shm -journal).  Any other
// file stands for itself, and a folder for every file directly in it (GDAL
// reads a folder of Shapefiles as one dataset).  GDAL finds a Shapefile's
// parts whatever the case of their extensions, so within that family names
// are compared without case.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kolmo {

struct DatasetParts {
    std::filesystem::path folder;   // where the parts lie
    bool wholeFolder = false;       // the dataset is the folder itself: every file in it
    std::vector<std::string> names; // the parts' file names (existing or not), the named file first
};

DatasetParts datasetParts(const std::filesystem::path& path);

// The parts as paths: every name of datasetParts(), and the files of the
// folder whose names differ from one of them only in case where that is the
// same part for GDAL (a Shapefile's).
std::vector<std::filesystem::path> datasetPartPaths(const std::filesystem::path& path);

// The file a driver made when asked for `asked`: itself, or the one in its
// folder whose name differs only in case (GDAL writes "a.SHP" as a.shp).
std::filesystem::path writtenFile(const std::filesystem::path& asked);

// Throws FileError (nothing read or written yet) when the output would write
// a file of the input: the same file by device and inode (links, hard links
// included), or the same name in the same folder (without case within a
// Shapefile's family), or a file directly in an input folder.
void checkDatasetsApart(const std::filesystem::path& in, const std::filesystem::path& out);

// Throws FileError when an existing part of the output cannot be replaced
// whole: besides platform::checkOutputFile's refusals (read-only, a folder, a
// device), a file marked immutable or append-only (chattr +i, +a: its rename
// fails even for root, after the other parts are in place), or one owned by
// another user (the new file would be ours, and its owner would lose it).
void checkDatasetOutputParts(const std::filesystem::path& out);

} // namespace kolmo
