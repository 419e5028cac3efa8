#pragma once
// One file of a recording, open for writing. It is created with its header
// in place (an existing file of that name is emptied behind the header) and
// held with an exclusive lock, so that two recorders pointed at the same
// names cannot interleave their buffers: the second one finds the lock
// before it changes anything.
//
// The file is kept readable at every moment, so that whatever stops the
// program leaves a capture that opens: the header is never rewritten later,
// and the records go in two steps. The buffer being filled is written early,
// as its "tail" after everything committed; its bytes may be written again
// (a stamp that grows in place), and when the buffer is complete the tail is
// committed and anything written beyond its final length is cut off.
#include <cstddef>
#include <cstdint>
#include <string>

class CSeriesFile {
public:
    CSeriesFile() = default;
    CSeriesFile(const CSeriesFile&) = delete;
    CSeriesFile& operator=(const CSeriesFile&) = delete;
    ~CSeriesFile(); // closes, ignoring errors

    // Creates or empties the file and writes `header` into it. False with
    // errno set when it cannot be created or written, is not a regular file
    // (EINVAL) or is locked by another writer (EWOULDBLOCK). The folder's
    // entry for a new file is synced too.
    bool Create(const std::string& path, const void* header, std::size_t headerSize);
    // Writes at the committed end and commits it; no tail may be open.
    bool Append(const void* data, std::size_t size);
    // Writes bytes [from, from + size) of the open buffer behind the
    // committed end.
    bool WriteTail(std::size_t from, const void* data, std::size_t size);
    // The open buffer is complete with `size` bytes: they become part of the
    // file, and anything beyond them is cut off.
    bool CommitTail(std::size_t size);
    // What is written so far reaches the disk (fdatasync).
    bool Sync();
    // False with errno set when the close reports a delayed write error.
    bool Close();

    bool IsOpen() const { return fd >= 0; }
    int Descriptor() const { return fd; }
    const std::string& Path() const { return path; }
    // Bytes the file holds now (its header included).
    uint64_t Extent() const { return extent; }

private:
    bool WriteAt(uint64_t offset, const void* data, std::size_t size);

    int fd = -1;
    std::string path;
    uint64_t committed = 0; // the header and every committed buffer and mark
    uint64_t extent = 0;
};
