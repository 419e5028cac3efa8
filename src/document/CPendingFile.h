#pragma once
// A file written under a temporary name beside its target and moved over the
// target only when everything was written. Until Commit the target keeps its
// old contents, whatever fails on the way; an uncommitted temporary file is
// removed when the object goes.
#include <string>

class CPendingFile {
public:
    explicit CPendingFile(const std::string& target);
    ~CPendingFile();
    CPendingFile(const CPendingFile&) = delete;
    CPendingFile& operator=(const CPendingFile&) = delete;

    // Creates the temporary file (with the target's permissions when the
    // target exists) holding `firstBytes`; false when it cannot be created
    // or written.
    bool Create(const std::string& firstBytes);
    // Where more bytes may be appended before Commit.
    const std::string& TempPath() const { return tempPath; }
    // Flushes the temporary file to the disk and renames it over the target.
    bool Commit();

private:
    void RemoveTemp();

    std::string target;
    std::string tempPath;
    bool committed = false;
};
