#pragma once
// The buffer setup dialog's values and rules, kept apart from its widgets:
// the "BufSetting" keys, the space estimate and its texts, the name of the
// first series file, and the checks Start makes before a series may begin.
// The values live as long as the document, so the dialog shows what the user
// chose last time.
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

class CBufferSetup {
public:
    // For the estimate a buffer counts as this many bytes.
    static constexpr uint64_t kBytesPerBuffer = 419431;
    static constexpr int kMinBuffersPerFile = 2;
    static constexpr int kMaxBuffersPerFile = 7;
    static constexpr int kFileNumberLength = 6;
    static constexpr int kDirectoryLength = 259;
    static constexpr int kMaxFileNumber = 999999;

    // Control ids the checks put the focus on.
    static constexpr int kReferenceButton = 198;
    static constexpr int kFileNameEdit = 200;
    static constexpr int kFileNumberEdit = 204;

    // Section "BufSetting" of the settings file; `defaultDirectory` stands in
    // for a missing "DesPath". An empty path reads the defaults.
    void LoadBufferSettings(const std::string& settingsPath, const QString& defaultDirectory);
    // Writes "FileSize", "FileNum", "OverWrite", "DesPath" in this order.
    void SaveBufferSettings(const std::string& settingsPath) const;

    // Where series go unless the user says otherwise: "Kestrane" in the
    // user's documents folder (the home folder when there is none).
    static QString DefaultDirectory();
    // Makes every missing directory of `path` from the root down, one level
    // at a time; a level that cannot be made (it exists, or is not ours) is
    // passed over.
    static void CreateDirectoryLevels(const QString& path);

    // The file number text read as a decimal number (0 without digits).
    int MaxFileNumber() const;
    // Buffers per file brought into the slider's range.
    int BuffersPerFile() const;
    // Buffers per file × maximum file number × kBytesPerBuffer.
    uint64_t RequiredBytes() const;

    struct Space {
        uint64_t freeBytes = 0;
        uint64_t requiredBytes = 0;
        QString freeText, requiredText, remainedText;
        bool enough = false; // more free than required
    };
    // The texts for `freeBytes` of free space.
    Space SpaceFor(uint64_t freeBytes) const;
    // The same for the free space of the directory's file system.
    Space UpdateSpace() const;

    // "1023 B", "0.99 KB", "819.20 KB", "2.67 TB": two decimals, cut rather
    // than rounded up.
    static QString FormatByteSize(int64_t bytes);

    struct Check {
        bool ok = true;
        int messageId = 0; // the message to show, or 0 with `text`
        QString text;
        int focusId = 0;   // the control to put the focus on, or 0
        // The space the check measured, when it got that far.
        std::optional<Space> space;
    };
    // What Start checks before anything is created, in its order: the probe,
    // the disk, the directory, the file number, the space and the name.
    Check CheckStart(bool connected) const;

    // The directory gets its trailing '/' (and is saved with it).
    void AppendSeparator();
    // The series' base name and the name of its first file.
    std::string BaseName() const;
    std::string CheckPath() const;

    enum class FirstFile { Created, Exists, CannotCreate };
    // An existing first file is reported (the user decides); otherwise an
    // empty one is made now, so that a name that cannot be written is found
    // before the probe starts.
    FirstFile PrepareFirstFile() const;

    QString directory;
    QString fileName;
    QString fileNumberText = QStringLiteral("1");
    int buffersPerFile = 2;
    int overwrite = 0;
};
