#pragma once
// Whole-file reading and replacing for the files the program keeps (settings,
// capture files). Paths are the bytes the system call gets, never converted:
// a name that is not valid UTF-8 still names the file it names.
//
// Only regular files are read: a FIFO, a device or a directory of the given
// name is refused before anything waits on it, and a file is read through the
// one descriptor that was checked, so what was checked is what is read.
#include <string>

namespace ks {

enum class FileRead {
    Ok,         // the whole file is in `bytes`
    Absent,     // no such file (or a folder on the way is missing)
    NotRegular, // a FIFO, device, socket or directory
    Failed,     // exists but could not be read whole (permissions, I/O error, shrank while read)
};

FileRead ReadRegularFile(const std::string& path, std::string& bytes);

// Replaces `path` with `bytes` through a temporary file in the same folder
// that is renamed over it once complete, so that a failure at any point
// leaves the earlier file as it was. A symbolic link is followed (the file it
// names is replaced, the link stays); an existing file keeps its permissions.
// On failure `error` holds the errno of the step that failed.
bool ReplaceFile(const std::string& path, const std::string& bytes, int& error);

// Whether a file can be created and renamed into `directory`: a temporary
// file is made and removed again. Asked of the folder itself, not of its
// permission bits, so a read-only file system or a full disk answer too.
bool CanReplaceFilesIn(const std::string& directory);

// Whether two names (or an open descriptor and a name) are the same file:
// the same device and inode, however they are spelt ("./x" and "/dir/x",
// a symbolic or a hard link). False when either does not exist.
bool SameFile(const std::string& a, const std::string& b);
bool SameFile(int fd, const std::string& path);

// The folder part of `path` ("." when it has none).
std::string FolderOf(const std::string& path);

} // namespace ks
