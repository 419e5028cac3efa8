#pragma once
// One file of a series, open for writing. It is created empty (an existing
// file of that name is emptied) and held with an exclusive lock, so that two
// series recorders pointed at the same names cannot interleave their buffers:
// the second one finds the lock before it empties anything.
#include <cstddef>
#include <string>

class CSeriesFile {
public:
    CSeriesFile() = default;
    CSeriesFile(const CSeriesFile&) = delete;
    CSeriesFile& operator=(const CSeriesFile&) = delete;
    ~CSeriesFile(); // closes, ignoring errors

    // False with errno set when the file cannot be created or is locked by
    // another writer (EWOULDBLOCK).
    bool Create(const std::string& path);
    // Writes everything; false with errno set on the first failure.
    bool Write(const void* data, std::size_t size);
    // False with errno set when the close reports a delayed write error.
    bool Close();

    bool IsOpen() const { return fd >= 0; }
    int Descriptor() const { return fd; }
    const std::string& Path() const { return path; }

private:
    int fd = -1;
    std::string path;
};
