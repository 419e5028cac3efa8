#include "TapWiring.h"

#include <cctype>

namespace tap {
namespace {

constexpr const char* kLineNames[TapWiring::kLineCount] = {"CTS", "RTS", "DSR", "DTR", "CD"};
constexpr uint8_t kLineBits[TapWiring::kLineCount] = {0x10, 0x08, 0x04, 0x02, 0x01};

std::string Lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int FindLine(const std::string& name)
{
    for (int i = 0; i < TapWiring::kLineCount; ++i)
        if (Lower(kLineNames[i]) == name) return i;
    if (name == "dcd") return 4; // the line's CD is often called DCD
    return -1;
}

int FindInput(const std::string& name)
{
    if (name == "cts") return kInCts;
    if (name == "dsr") return kInDsr;
    if (name == "dcd" || name == "cd") return kInDcd;
    if (name == "ri") return kInRi;
    return 0;
}

const char* InputName(int input)
{
    switch (input) {
    case kInCts: return "cts";
    case kInDsr: return "dsr";
    case kInDcd: return "dcd";
    case kInRi: return "ri";
    default: return "?";
    }
}

} // namespace

const char* TapWiring::LineName(int line) { return kLineNames[line]; }
uint8_t TapWiring::LineBit(int line) { return kLineBits[line]; }

TapWiring TapWiring::Default()
{
    TapWiring w;
    std::string ignored;
    w.Parse("RTS=txd.cts DTR=txd.dsr CTS=rxd.cts DSR=rxd.dsr CD=rxd.dcd", ignored);
    return w;
}

bool TapWiring::Parse(const std::string& text, std::string& error)
{
    TapWiring next;
    bool named[kLineCount] = {};
    std::string item;
    const auto take = [&](const std::string& raw) {
        if (raw.empty()) return true;
        const std::string s = Lower(raw);
        const auto eq = s.find('=');
        if (eq == std::string::npos) {
            error = "'" + raw + "' is not LINE=port.input";
            return false;
        }
        const int line = FindLine(s.substr(0, eq));
        if (line < 0) {
            error = "unknown line '" + raw.substr(0, eq) + "' (RTS, DTR, CTS, DSR or CD)";
            return false;
        }
        if (named[line]) {
            error = std::string(kLineNames[line]) + " is wired twice";
            return false;
        }
        named[line] = true;
        const std::string target = s.substr(eq + 1);
        if (target == "none") return true;
        const auto dot = target.find('.');
        const std::string port = target.substr(0, dot);
        const int input = dot == std::string::npos ? 0 : FindInput(target.substr(dot + 1));
        if ((port != "txd" && port != "rxd") || input == 0) {
            error = "'" + raw + "': the target is txd.INPUT or rxd.INPUT with INPUT cts, dsr, dcd or ri, or none";
            return false;
        }
        const int p = port == "txd" ? kTxdPort : kRxdPort;
        for (int other = 0; other < kLineCount; ++other) {
            if (next.wires[other].port == p && next.wires[other].input == input) {
                error = "'" + raw + "': " + port + "." + InputName(input) + " already carries " + kLineNames[other];
                return false;
            }
        }
        next.wires[line] = Wire{p, input};
        return true;
    };
    for (const char c : text) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!take(item)) return false;
            item.clear();
        } else {
            item += c;
        }
    }
    if (!take(item)) return false;
    *this = next;
    return true;
}

std::string TapWiring::Describe() const
{
    std::string out;
    for (int i = 0; i < kLineCount; ++i) {
        if (!out.empty()) out += ' ';
        out += kLineNames[i];
        out += '=';
        if (wires[i].port < 0) out += "none";
        else out += std::string(wires[i].port == kTxdPort ? "txd." : "rxd.") + InputName(wires[i].input);
    }
    return out;
}

int TapWiring::InputsUsed(int port) const
{
    int mask = 0;
    for (const Wire& w : wires)
        if (w.port == port) mask |= w.input;
    return mask;
}

uint8_t TapWiring::Apply(uint8_t lineBits, int port, int levels) const
{
    for (int i = 0; i < kLineCount; ++i) {
        if (wires[i].port != port) continue;
        // Asserted (high) is a clear bit; a set bit is the inactive level.
        if (levels & wires[i].input) lineBits = static_cast<uint8_t>(lineBits & ~kLineBits[i]);
        else lineBits = static_cast<uint8_t>(lineBits | kLineBits[i]);
    }
    return lineBits;
}

uint8_t TapWiring::BitOf(int port, Input input) const
{
    for (int i = 0; i < kLineCount; ++i)
        if (wires[i].port == port && wires[i].input == input) return kLineBits[i];
    return 0;
}

} // namespace tap
