#pragma once
// Names of the files of an auto-save series. The dialog's check for an
// existing first file, the document and ks-capture all build names here, so
// the file the user was asked about is the file the writer empties.
#include <cstdint>
#include <string>

namespace series {

// The file number runs to six digits.
inline constexpr uint32_t kMaxFileNumber = 999999;
inline constexpr const char* kExtension = ".ksf";

// The directory as typed, with one '/' added when it does not end in one.
std::string WithSeparator(const std::string& directory);

// The series' base name: directory (with its separator) and file name.
std::string BaseName(const std::string& directory, const std::string& fileName);

// base + "_%06d" + ".ksf" when the series has more than one file, else
// base + ".ksf" (so the first file of a series is ..._000000.ksf).
std::string FileName(const std::string& base, uint32_t number, uint32_t maxFileNumber);

// The directory part of a base name ("." when it has none).
std::string DirectoryOf(const std::string& base);

} // namespace series
