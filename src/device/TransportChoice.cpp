#include "TransportChoice.h"

#include <cstring>

#include <sys/stat.h>

namespace {

constexpr std::size_t kMaxNameLength = 64;

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// Shows a refused name with anything unprintable escaped, so that the message
// itself cannot be made to say something else.
std::string Printable(std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (const char ch : text.substr(0, 200)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    if (text.size() > 200) out += "...";
    return out;
}

} // namespace

bool IsPlainTransportName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxNameLength) return false;
    for (const char c : name)
        if (!IsNameChar(c)) return false;
    return true;
}

std::string TransportLibraryFile(std::string_view name)
{
    if (name.empty()) return "libCorvane.so";
    return "libCorvane-" + std::string(name) + ".so";
}

TransportChoice ChooseTransport(const std::string& programDirectory, const std::string* commandLineName,
                                const char* environmentName, const std::string& settingsName)
{
    TransportChoice choice;
    if (commandLineName) {
        choice.name = *commandLineName;
        choice.origin = "--transport";
        if (choice.name.empty()) {
            choice.error = "--transport needs a name, e.g. --transport tap";
            return choice;
        }
    } else if (environmentName && *environmentName) {
        choice.name = environmentName;
        choice.origin = kTransportEnvironment;
    } else if (!settingsName.empty()) {
        choice.name = settingsName;
        choice.origin = std::string(kTransportKey) + "= in the settings file";
    }

    if (!choice.name.empty() && !IsPlainTransportName(choice.name)) {
        choice.error = "Transport name '" + Printable(choice.name) + "' (from " + choice.origin +
                       ") refused: a transport is named by a plain word of letters, digits, '-' and '_' "
                       "(e.g. tap), never by a path.";
        return choice;
    }

    std::string dir = programDirectory.empty() ? std::string(".") : programDirectory;
    if (dir.back() != '/') dir += '/';
    choice.libraryPath = dir + TransportLibraryFile(choice.name);
    if (!choice.name.empty()) {
        struct stat st{};
        if (::stat(choice.libraryPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            choice.error = "No transport '" + choice.name + "' (from " + choice.origin + "): " +
                           choice.libraryPath + " does not exist.";
            choice.libraryPath.clear();
        }
    }
    return choice;
}

bool FindTransportArgument(int argc, const char* const* argv, std::string& name)
{
    static constexpr const char* kOption = "--transport";
    const std::size_t optionLength = std::strlen(kOption);
    bool found = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, kOption) == 0) {
            found = true;
            name = i + 1 < argc ? argv[++i] : "";
        } else if (std::strncmp(arg, kOption, optionLength) == 0 && arg[optionLength] == '=') {
            found = true;
            name = arg + optionLength + 1;
        }
    }
    return found;
}
