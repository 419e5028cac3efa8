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
    if (formGiven && (result.options.form != form || form == OutputForm::Find)) {
        result.error = "only one of --csv, --counters, --header and the --find options may be given (" + arg + ")";
        return false;
    }
    formGiven = true;
    result.options.form = form;
    return true;
}

FindForm FindOption(const std::string& arg)
{
    auto is = [&arg](const char* name) { return arg == name || arg.rfind(std::string(name) + "=", 0) == 0; };
    if (is("--find-text")) return FindForm::Text;
    if (is("--find-hex")) return FindForm::Hex;
    if (is("--find-status")) return FindForm::Status;
    if (is("--find-stamp")) return FindForm::Stamp;
    return FindForm::None;
}

bool IsOption(const std::string& arg, const char* name)
{
    return arg == name || arg.rfind(std::string(name) + "=", 0) == 0;
}

// The value of an option given as "--name VALUE" or "--name=VALUE". A value
// may be empty or start with '-' (a search for "-x"), so the next argument
// is taken whatever it looks like.
bool OptionValue(const std::vector<std::string>& args, std::size_t& i, ParseResult& result, std::string& value)
{
    const std::string& arg = args[i];
    const std::size_t eq = arg.find('=');
    if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        result.error = arg + " needs a value";
        return false;
    }
    value = args[++i];
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
        } else if (const FindForm find = FindOption(arg); find != FindForm::None) {
            if (!SetForm(result, formGiven, OutputForm::Find, arg)) return result;
            if (!OptionValue(args, i, result, result.options.findArgument)) return result;
            result.options.find = find;
        } else if (IsOption(arg, "--decode")) {
            std::string value;
            if (!OptionValue(args, i, result, value)) return result;
            if (!ParseDecodeProtocol(value, result.options.decode.protocol) ||
                result.options.decode.protocol == DecodeProtocol::None) {
                result.error = "--decode takes modbus-rtu, modbus-ascii or lines, not '" + value + "'";
                return result;
            }
        } else if (IsOption(arg, "--master")) {
            std::string value;
            if (!OptionValue(args, i, result, value)) return result;
            if (!ParseMasterSide(value, result.options.decode.master)) {
                result.error = "--master takes txd, rxd, auto or bus, not '" + value + "'";
                return result;
            }
            result.options.masterGiven = true;
        } else if (IsOption(arg, "--dir")) {
            if (!OptionValue(args, i, result, result.options.direction)) return result;
            result.options.directionGiven = true;
        } else if (arg == "--count") {
            result.options.count = true;
        } else if (IsOption(arg, "--line-width")) {
            std::string value;
            if (!OptionValue(args, i, result, value)) return result;
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
    if (!result.error.empty() || result.options.help || result.options.version) return result;
    ConvertOptions& o = result.options;
    if (o.decode.protocol != DecodeProtocol::None) {
        if (o.form != OutputForm::Listing && o.form != OutputForm::Csv)
            result.error = "--decode goes with --csv or --count, not with another output form";
        else if (o.directionGiven) result.error = "--dir goes with --find-text or --find-hex";
        else if (o.masterGiven && o.decode.protocol == DecodeProtocol::Lines)
            result.error = "--master goes with --decode modbus-rtu or modbus-ascii";
        else if (o.count && o.form == OutputForm::Csv) result.error = "--count and --csv: only one may be given";
        o.decodeCsv = o.form == OutputForm::Csv;
        o.form = OutputForm::Decode;
        return result;
    }
    if (o.masterGiven) {
        result.error = "--master goes with --decode";
        return result;
    }
    if (o.find == FindForm::None) {
        if (o.count) result.error = "--count goes with a --find option or --decode";
        else if (o.directionGiven) result.error = "--dir goes with --find-text or --find-hex";
        return result;
    }
    if (o.directionGiven && o.find != FindForm::Text && o.find != FindForm::Hex) {
        result.error = "--dir goes with --find-text or --find-hex";
        return result;
    }
    ParseFindArguments(o.find, o.findArgument, o.direction, o.query, result.error);
    return result;
}

std::string UsageText()
{
    return R"(Usage: ks-convert [--csv | --counters | --header] [--line-width N] FILE...
       ks-convert --find-text TEXT | --find-hex HEX [--dir txd|rxd|both]
                  [--count] [--line-width N] FILE...
       ks-convert --find-status LINE=VALUE,... | --find-stamp COMPARISON
                  [--count] [--line-width N] FILE...
       ks-convert --decode modbus-rtu|modbus-ascii|lines
                  [--master txd|rxd|auto|bus] [--csv | --count] FILE...

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

Searching, as the program's Find does (one search per run):
  --find-text TEXT    data characters spelling TEXT, one byte per character
                      (case-sensitive; characters beyond one byte need
                      --find-hex)
  --find-hex HEX      data bytes written as in the Find dialog's HEX format:
                      "x0Dx0A", one byte per part between the x's, the last
                      two hexadecimal digits of a part counting ("x4142" is
                      the one byte 42); at most 260 bytes
  --dir D             the direction of the data: txd, rxd or both (the
                      default; then each match keeps to the direction of its
                      first character)
  --find-status C     control-line changes meeting every condition of C, a
                      comma-separated list of LINE=VALUE with the lines RTS,
                      CTS, DTR, DSR, CD and the values low, high, rise (low to
                      high), fall (high to low) and change; e.g.
                      RTS=rise,CTS=high
  --find-stamp S      time stamps compared with a value: S is >, = or <, a
                      whole number and one of the units ms, s, min, h; e.g.
                      '>2s' (quote it for the shell); values beyond 4294967295
                      ms count as 4294967295
  --count             print only the number of matches
  A data match may run across display lines and have characters of the other
  direction, status changes and stamps between its characters; matches may
  overlap ("AA" is found twice in "AAA"). The first change of a log counts
  from every line low. Kinds the file's display settings hide are not there
  to be found.

Search results, one line per match in log order:
  LINE  ITEM  DATA      TXD|RXD  HEX...
  LINE  ITEM  STATUS    RTS=x CTS=x CD=x DTR=x DSR=x  CHANGES
  LINE  ITEM  STAMP     MS ms  YYYY-MM-DD hh:mm:ss
  LINE is the display line of the match's first item and ITEM that item's
  place on its line, both from 1 as the program's Find and Go to count;
  HEX are the matched bytes; the status and stamp columns are those of the
  listing.

Decoding (frames instead of items):
  --decode P          the frames of protocol P: modbus-rtu, modbus-ascii or
                      lines (text lines, NMEA 0183 sentences checked, AT
                      commands paired with their answers)
  --master M          where the Modbus master's requests are: txd, rxd, auto
                      (the default: told by content and order) or bus (one
                      port on a two-wire bus: both sides recorded as one
                      direction)
  --csv               the frames as comma-separated values with a header row
  --count             print only the counts: frames, requests, responses,
                      exceptions, bad checks, character errors
  Modbus RTU frames are found by their content (length from the function
  code, confirmed by the CRC), never by gaps, so responses that reached the
  probe in bursts come out whole; characters that make no frame are listed
  as noise, a frame whose CRC fails as the frame with its check bad.

Frames, one line per frame in the order they were found:
  NUMBER  TIME  DIR  PROTOCOL  KIND  CONTENT  CHECK  NOTES
  TIME is seconds since the capture began from its stamps ("-" without
  stamps); KIND is request, response, exception, noise, line, piece (a
  line cut at 4096 characters), command or answer (AT); CONTENT the slave
  address, function and fields, or the line's text with control characters
  named ("<CR>"); CHECK "CRC ok", or "CRC bad" followed by the value the
  characters give in brackets, "computed 0x1A2B" (LRC and NMEA checksum
  alike); NOTES "character error" (parity or framing), "incomplete", and
  "reply to N after D ms" for a response.
CSV columns:
  number,time_s,direction,protocol,kind,address,function,check,error,
  request,delay_ms,summary,bytes

With several files each output is introduced by a line "== FILE ==".
Exit status: 0 when every file was converted, 1 when a file could not be
read ("File type error!" for a name with neither ending, "Open file failed!"
otherwise, on standard error, with the file name when several are given),
2 for a command line error. When searching or decoding, as grep does: 0 when
something matched (a frame was found), 1 when nothing did, 2 for a command
line error or a file that could not be read.
)";
}
