#pragma once
// The window's unsaved capture kept on disk while a capture runs, so that a
// crash or a kill of the program loses at most the last few seconds: a
// "recovered-<date>-<time>-<pid>.ksf" in the per-user data directory, which
// the next start offers like a capture kept at a termination signal. Each
// update replaces the whole file through a temporary file and a rename, so
// the file is a complete capture at every moment. It is not synced: it
// guards against the program ending, not against a power cut.
#include <cstdint>
#include <string>
#include <vector>

class CRecoveryFile {
public:
    // Files go into `directory` (with its trailing separator); empty: the
    // per-user data directory, made when first needed.
    explicit CRecoveryFile(std::string directory = {});
    ~CRecoveryFile() = default;
    CRecoveryFile(const CRecoveryFile&) = delete;
    CRecoveryFile& operator=(const CRecoveryFile&) = delete;

    // Replaces the file with `header` and `body`; false when it could not be
    // written (the previous version, if any, stays).
    bool Write(const std::string& header, const std::vector<uint8_t>& body);
    // The capture was saved, cleared or deliberately left: the file goes.
    void Remove();
    // The file's path once written, else empty.
    const std::string& Path() const { return path; }

    // How often the document brings the file up to date while a capture runs.
    static constexpr int kUpdateIntervalMs = 2000;

private:
    std::string directory;
    std::string path;
};
