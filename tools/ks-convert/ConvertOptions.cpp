#include "ConvertOptions.h"

#include <cstddef>

namespace {

// A whole decimal number within [1, kMaxLineWidth]; anything else is refused
// rather than read up to its first bad character.
bool ParseWidth(const std::string& text, int& width)
{
    if (text.empty() || text.size() > 7) return false;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > ConvertOptions::kMaxLineWidth) return false;
    width = static_cast<int>(value);
    return true;
}

bool SetForm(ParseResult& result, bool& formGiven, OutputForm form, const std::string& arg)
{
    if (formGiven && result.options.form != form) {
        result.error = "only one of --csv, --counters and --header may be given (" + arg + ")";
        return false;
    }
    formGiven = true;
    result.options.form = form;
    return true;
}

} // namespace

ParseResult ParseArguments(const std::vector<std::string>& args)
{
    ParseResult result;
    bool formGiven = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            result.options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            result.options.help = true;
        } else if (arg == "--version") {
            result.options.version = true;
        } else if (arg == "--csv") {
            if (!SetForm(result, formGiven, OutputForm::Csv, arg)) return result;
        } else if (arg == "--counters") {
            if (!SetForm(result, formGiven, OutputForm::Counters, arg)) return result;
        } else if (arg == "--header") {
            if (!SetForm(result, formGiven, OutputForm::Header, arg)) return result;
        } else if (arg == "--line-width" || arg.rfind("--line-width=", 0) == 0) {
            std::string value;
            if (arg == "--line-width") {
                if (i + 1 >= args.size()) {
                    result.error = "--line-width needs a number of pixels";
                    return result;
                }
                value = args[++i];
            } else {
                value = arg.substr(sizeof("--line-width=") - 1);
            }
            if (!ParseWidth(value, result.options.lineWidth)) {
                result.error = "--line-width takes a whole number from 1 to " +
                               std::to_string(ConvertOptions::kMaxLineWidth) + ", not '" + value + "'";
                return result;
            }
        } else {
            result.error = "unknown option '" + arg + "'";
            return result;
        }
    }
    if (!result.options.help && !result.options.version && result.options.files.empty())
        result.error = "no capture file given";
    return result;
}

std::string UsageText()
{
    return R"(Usage: ks-convert [--csv | --counters | --header] [--line-width N] FILE...

Converts Kestrane capture files (".ksf", and the older ".df" type) to text.
A file is chosen by the last letters of its name, as the program does: names
ending in "ksf" are current files, names ending in "df" old ones (any case).

Output forms (one per run):
  (none)          a listing, one line per display item in log order
  --csv           the same items as comma-separated values with a header row
  --counters      the thirteen count-bar texts, one per line
  --header        the display settings stored in the file's header, one
                  Key=value line each, with the settings file's key names
Options:
  --line-width N  width of a display line in pixels (default 770), which
                  decides the display line numbers; the character cell is
                  that of the program's data font
  --help          this text
  --version       the version
  --              everything after it is a file name

Listing, one line per item (line = display line number, from 1):
  LINE  DATA      TXD|RXD  HEX  CHAR  ERROR
  LINE  STATUS    RTS=x CTS=x CD=x DTR=x DSR=x  CHANGES
  LINE  STAMP     MS ms  YYYY-MM-DD hh:mm:ss
  LINE  DATETIME  YYYY-MM-DD hh:mm:ss
  HEX is the character in two hexadecimal digits; CHAR the character itself,
  SP for a space, the control name (CR, LF, ESC, ...) below 0x20, DEL for 0x7F
  and "." from 0x80 up; ERROR is FRAMING, PARITY or "-". A line level is H
  (active, high) or L (inactive, low); CHANGES lists each line that changed
  with "+" for a rise (inactive to active) and "-" for a fall. Stamps give
  their elapsed milliseconds and the time they were last advanced; DATETIME
  is a start or stop mark. Times are local time. The zero-width markers that
  open each display line are not listed.

CSV columns:
  line,kind,direction,hex,char,error,rts,cts,cd,dtr,dsr,changes,elapsed_ms,time
  with the values of the listing; columns that do not apply are empty.

Counters, in this order: TXD, RXD, RTS rise, RTS fall, CTS rise, CTS fall,
  CD rise, CD fall, DTR rise, DTR fall, DSR rise, DSR fall, ERR ("TXD:12").

Header keys: Data, DataMode, crDataTXD, crDataRXD, crSpecChar, Error,
  crErrFrame, crErrParity, Status, Stamp, StampMode, DateTime, crStampFore,
  crStampBack, NoDisplay, crBkColor (cxLine is not read from files).

With several files each output is introduced by a line "== FILE ==".
Exit status: 0 when every file was converted, 1 when a file could not be
read ("File type error!" for a name with neither ending, "Open file failed!"
otherwise, on standard error, with the file name when several are given),
2 for a command line error.
)";
}
