#include "CaptureOptions.h"

#include "BaudRateTable.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseInt(const char* text, long max, int& value)
{
    if (!text || !*text || *text == '-' || *text == '+') return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < 0 || v > max) return false;
    value = static_cast<int>(v);
    return true;
}

bool EndsWithKsf(const std::string& path)
{
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".ksf";
}

} // namespace

const char* CaptureUsage()
{
    return "usage: ks-capture --output FILE.ksf [--seconds N] [LINE OPTIONS] [--transport NAME]\n"
           "       ks-capture --series DIR/NAME [--file-size 2..7] [--files N] [--overwrite]\n"
           "                  [--seconds N] [LINE OPTIONS] [--transport NAME]\n"
           "       ks-capture --serve [--transport NAME]\n"
           "LINE OPTIONS: [--baud B] [--data 7|8] [--parity none|odd|even] [--stop 1|2]\n"
           "              [--status] [--stamp] [--no-data]\n"
           "Records from the probe into a capture file the program and ks-convert open,\n"
           "or into a numbered series of them (DIR/NAME_000000.ksf, ...; DIR/NAME.ksf for\n"
           "one file) as the program's Buffer setup does: each file holds --file-size\n"
           "buffers of about 400 KB; after --files files the series stops, or with\n"
           "--overwrite starts again at the first. Characters are kept unless --no-data,\n"
           "control-line changes with --status, time stamps with --stamp.\n"
           "Stops after N seconds, or on Ctrl+C; nothing received is lost.\n"
           "--transport NAME (or KS_TRANSPORT=NAME) records through libCorvane-NAME.so beside\n"
           "this program, e.g. --transport tap; without it libCorvane.so is used.\n"
           "--transport remote records from a probe on another machine over ssh\n"
           "(KS_REMOTE_HOST=user@host; see the manual page); there --serve is the far end.\n"
           "Exit status: 0 saved, 1 probe not opened or a file not written, 2 bad arguments,\n"
           "3 the probe was lost during the capture (what arrived is saved),\n"
           "4 the series is full (without --overwrite), 5 the disk is full (200 MiB or\n"
           "less left; what was buffered is saved).\n";
}

bool ParseCaptureOptions(int argc, char** argv, CaptureOptions& o, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        const auto needValue = [&]() {
            if (!value) error = arg + " needs a value";
            else ++i;
            return value != nullptr;
        };
        if (arg == "--status") o.status = true;
        else if (arg == "--stamp") o.stamp = true;
        else if (arg == "--no-data") o.data = false;
        else if (arg == "--overwrite") o.overwrite = true;
        else if (arg == "--output") {
            if (!needValue()) return false;
            o.output = value;
        } else if (arg == "--series") {
            if (!needValue()) return false;
            o.series = value;
        } else if (arg == "--file-size") {
            if (!needValue()) return false;
            if (!ParseInt(value, 7, o.fileSize) || o.fileSize < 2) {
                error = "--file-size takes 2 to 7 buffers";
                return false;
            }
        } else if (arg == "--files") {
            if (!needValue()) return false;
            if (!ParseInt(value, 999999, o.files) || o.files < 1) {
                error = "--files takes a number from 1 to 999999";
                return false;
            }
        } else if (arg == "--transport" || arg.rfind("--transport=", 0) == 0) {
            o.transportGiven = true;
            if (arg == "--transport") {
                if (!needValue()) return false;
                o.transport = value;
            } else {
                o.transport = arg.substr(12);
            }
        } else if (arg == "--seconds") {
            if (!needValue()) return false;
            if (!ParseInt(value, INT_MAX / 1000, o.seconds) || o.seconds == 0) {
                error = "--seconds takes a whole number of seconds above 0";
                return false;
            }
        } else if (arg == "--baud") {
            if (!needValue()) return false;
            int index = -1;
            for (std::size_t b = 0; b < kBaudRateTexts.size(); ++b)
                if (std::strcmp(kBaudRateTexts[b], value) == 0) index = static_cast<int>(b);
            if (index < 0) {
                error = std::string("the probe has no baud rate ") + value;
                return false;
            }
            o.baudIndex = index;
        } else if (arg == "--data") {
            if (!needValue()) return false;
            if (std::strcmp(value, "7") == 0) o.databit = 0;
            else if (std::strcmp(value, "8") == 0) o.databit = 1;
            else return error = "--data takes 7 or 8", false;
        } else if (arg == "--parity") {
            if (!needValue()) return false;
            if (std::strcmp(value, "none") == 0) o.parity = 0;
            else if (std::strcmp(value, "odd") == 0) o.parity = 1;
            else if (std::strcmp(value, "even") == 0) o.parity = 2;
            else return error = "--parity takes none, odd or even", false;
        } else if (arg == "--stop") {
            if (!needValue()) return false;
            if (std::strcmp(value, "1") == 0) o.stopbit = 0;
            else if (std::strcmp(value, "2") == 0) o.stopbit = 1;
            else return error = "--stop takes 1 or 2", false;
        } else {
            error = "unknown argument " + arg;
            return false;
        }
    }
    if (!o.series.empty()) {
        if (!o.output.empty()) {
            error = "--output and --series do not go together";
            return false;
        }
        // NAME.ksf is taken for NAME: the numbers go before the extension.
        if (EndsWithKsf(o.series)) o.series.resize(o.series.size() - 4);
        const std::size_t slash = o.series.rfind('/');
        if (o.series.empty() || slash == o.series.size() - 1) {
            error = "--series needs a file name: DIR/NAME";
            return false;
        }
        return true;
    }
    if (o.fileSize != 2 || o.files != 1 || o.overwrite) {
        error = "--file-size, --files and --overwrite go with --series";
        return false;
    }
    if (o.output.empty()) {
        error = "--output FILE.ksf or --series DIR/NAME is required";
        return false;
    }
    if (!EndsWithKsf(o.output)) {
        // The program and the converter tell file types by their ending.
        error = "the output file must end in .ksf";
        return false;
    }
    return true;
}
