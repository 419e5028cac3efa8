#pragma once
// A temporary folder for one test, removed with everything in it afterwards.
#include <QTemporaryDir>

#include <cstdint>
#include <string>
#include <vector>

class TempDir {
public:
    TempDir() { dir.setAutoRemove(true); }
    std::string Path(const std::string& name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }
    std::string Root() const { return dir.path().toStdString() + "/"; }

private:
    QTemporaryDir dir;
};

// Whole-file helpers for tests that check bytes on disk.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFileText(const std::string& path, const std::string& text);
