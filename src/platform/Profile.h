#pragma once
// The settings file layer: classic profile files of [sections] and key=value
// lines. Sections and keys match without regard to case; a missing file,
// section or key gives the caller's default; a write replaces one value and
// leaves every other line of the file untouched.
#include <cstddef>
#include <string>

namespace ks {

// The key's value read as an optional sign and decimal digits (stopping at the
// first other character, no digits reading as 0); `defaultValue` when the file,
// section or key is absent or the value is empty.
int GetPrivateProfileIntA(const char* section, const char* key, int defaultValue,
                          const std::string& path);

// Copies the key's text (or `defaultText` when absent) into `buffer`, cut to
// `size` - 1 characters and zero-terminated. Returns the number of characters
// copied, without the terminator.
std::size_t GetPrivateProfileStringA(const char* section, const char* key,
                                     const char* defaultText, char* buffer,
                                     std::size_t size, const std::string& path);

// Convenience for callers that want the whole text, cut to `maxChars`.
std::string GetPrivateProfileString(const char* section, const char* key,
                                    const std::string& defaultText, std::size_t maxChars,
                                    const std::string& path);

// Sets one key, creating file and section on the first write. The file is
// replaced atomically, so a crash or a full disk never leaves half a file.
// Returns false when the file could not be written (callers may ignore it).
bool WritePrivateProfileStringA(const char* section, const char* key, const char* text,
                                const std::string& path);

// The leading-sign-and-digits rule shared by the settings file and the
// capture-file header: "  -12x" is -12, "x" is 0, overflow saturates.
int ParseLeadingInt(const char* text, std::size_t length);

} // namespace ks
