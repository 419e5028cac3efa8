#include "Scenarios.h"

#include "BusScenarios.h"
#include "ModbusCheck.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace sim {

bool ParseScenario(const std::string& name, ScenarioKind& kind)
{
    if (name == "modem") kind = ScenarioKind::Modem;
    else if (name == "modbus") kind = ScenarioKind::Modbus;
    else if (name == "random") kind = ScenarioKind::Random;
    else if (name == "full") kind = ScenarioKind::Full;
    else if (name == "modbus-mix") kind = ScenarioKind::ModbusMix;
    else if (name == "modbus-ascii") kind = ScenarioKind::ModbusAscii;
    else if (name == "modbus-bus") kind = ScenarioKind::ModbusShared;
    else if (name == "nmea") kind = ScenarioKind::Nmea;
    else return false;
    return true;
}

const char* ScenarioName(ScenarioKind kind)
{
    switch (kind) {
    case ScenarioKind::Modem: return "modem";
    case ScenarioKind::Modbus: return "modbus";
    case ScenarioKind::Random: return "random";
    case ScenarioKind::Full: return "full";
    case ScenarioKind::ModbusMix: return "modbus-mix";
    case ScenarioKind::ModbusAscii: return "modbus-ascii";
    case ScenarioKind::ModbusShared: return "modbus-bus";
    case ScenarioKind::Nmea: return "nmea";
    }
    return "modem";
}

uint32_t DefaultRate(ScenarioKind kind) { return kind == ScenarioKind::Random ? 30 : 100; }

namespace {

// --- modem ------------------------------------------------------------------

class ModemScenario final : public Scenario {
public:
    uint32_t ErrorOneIn() const override { return 2000; }

    void Next(ScriptBuilder& b) override
    {
        if (!powered) {
            // The terminal comes up, then the modem answers with DSR.
            b.Think(20, 60);
            b.Line(kDtr, true);
            b.Think(5, 20);
            b.Line(kDsr, true);
            b.Think(100, 300);
            b.Line(kRts, true);
            b.Pause(b.CharNanos() * 2);
            b.Line(kCts, true);
            b.Think(50, 200);
            Command(b, "AT", "\r\nOK\r\n");
            Command(b, "ATZ", "\r\nOK\r\n", 200, 600);
            Command(b, "ATE1V1&C1&D2", "\r\nOK\r\n");
            if (b.Rand().OneIn(3)) Command(b, "ATI3", "\r\nKS-SIM V.92 DATA/FAX MODEM\r\n\r\nOK\r\n");
            powered = true;
            return;
        }
        Dial(b);
    }

private:
    // The terminal types a command line; the modem echoes each character as
    // it arrives and answers after the carriage return.
    void Command(ScriptBuilder& b, const std::string& command, const std::string& answer,
                 uint32_t minMs = 10, uint32_t maxMs = 40)
    {
        const std::string line = command + "\r";
        const uint64_t step = b.CharNanos();
        uint64_t t = b.Now();
        for (char c : line) {
            t += step;
            b.CharAt(t, false, static_cast<uint8_t>(c));
            b.CharAt(t + step + 20000, true, static_cast<uint8_t>(c));
        }
        b.At(t + step + 20000);
        b.Think(minMs, maxMs);
        b.Send(true, answer);
        b.Think(200, 900);
    }

    void Dial(ScriptBuilder& b)
    {
        char number[16];
        std::snprintf(number, sizeof number, "%03u%04u", b.Rand().Range(200, 999), b.Rand().Range(0, 9999));
        Command(b, std::string("ATDT") + number, "", 1, 2);
        b.Think(2000, 6000); // dialling, ringing, training
        const uint32_t outcome = b.Rand().Range(0, 9);
        if (outcome == 0) {
            b.Send(true, "\r\nBUSY\r\n");
            b.Think(2000, 4000);
            return;
        }
        if (outcome == 1) {
            b.Send(true, "\r\nNO CARRIER\r\n");
            b.Think(2000, 4000);
            return;
        }
        b.Line(kCd, true);
        b.Think(5, 20);
        b.Send(true, "\r\nCONNECT " + std::to_string(b.Format().baud) + "\r\n");
        Session(b);
        Hangup(b);
    }

    // Typed by a person: slow characters, each echoed by the far end.
    void Type(ScriptBuilder& b, const std::string& text, bool echo = true)
    {
        for (char c : text) {
            b.Think(80, 250);
            b.Send(false, std::string(1, c));
            if (echo) {
                b.Think(20, 40);
                b.Send(true, c == '\r' ? std::string("\r\n") : std::string(1, c));
            }
        }
    }

    void Session(ScriptBuilder& b)
    {
        b.Think(300, 800);
        b.Send(true, "\r\nWelcome to the KS bulletin board\r\nlogin: ");
        Type(b, "guest\r");
        b.Think(100, 300);
        b.Send(true, "Password: ");
        Type(b, "kestrel\r", false);
        b.Think(500, 1500);
        b.Send(true, "\r\nLast login: yesterday\r\n\r\n[L]ist files  [G]oodbye\r\n> ");
        Type(b, "L\r");
        b.Think(100, 400);
        // A listing long enough for the terminal to hold the modem off once
        // with RTS; the modem stops within a character and resumes after.
        const uint32_t files = b.Rand().Range(12, 30);
        const uint32_t holdAt = b.Rand().Range(4, files - 2);
        for (uint32_t i = 0; i < files; ++i) {
            char row[80];
            std::snprintf(row, sizeof row, "FILE%04u.ZIP  %7u  1996-%02u-%02u\r\n", i + 1,
                          b.Rand().Range(1000, 900000), b.Rand().Range(1, 12), b.Rand().Range(1, 28));
            b.Send(true, row);
            if (i == holdAt) {
                b.Line(kRts, false);
                b.Pause(b.CharNanos());
                b.Send(true, "\r");
                b.Think(80, 300);
                b.Line(kRts, true);
                b.Think(1, 3);
            }
        }
        b.Send(true, "> ");
        // A message pasted into the terminal goes out back to back; the
        // modem's buffer fills and it holds the terminal off with CTS.
        Type(b, "M\r");
        b.Think(100, 300);
        b.Send(true, "Message, end with a full stop on its own line:\r\n");
        const std::string message =
            "Hello sysop, the new firmware for the weather station is in the upload area. "
            "It fixes the rain gauge counter and the battery warning. Please move it to the "
            "public section when you have a moment. Thanks!\r.\r";
        const std::size_t pasteHold = b.Rand().Range(40, static_cast<uint32_t>(message.size()) - 40);
        b.Send(false, std::string_view(message).substr(0, pasteHold));
        b.Line(kCts, false);
        b.Pause(b.CharNanos());
        b.Send(false, std::string_view(message).substr(pasteHold, 1)); // already in the shift register
        b.Think(100, 300);
        b.Line(kCts, true);
        b.Send(false, std::string_view(message).substr(pasteHold + 1));
        b.Think(200, 600);
        b.Send(true, "\r\nMessage saved.\r\n> ");
        b.Think(400, 1200);
        Type(b, "G\r");
        b.Think(100, 300);
        b.Send(true, "Goodbye\r\n");
    }

    void Hangup(ScriptBuilder& b)
    {
        if (b.Rand().OneIn(2)) {
            // The far end hangs up.
            b.Think(50, 300);
            b.Line(kCd, false);
            b.Send(true, "\r\nNO CARRIER\r\n");
        } else {
            // Escape to command mode with guard times, then hang up here.
            b.Think(1000, 1200);
            b.Send(false, "+++");
            b.Think(1000, 1200);
            b.Send(true, "\r\nOK\r\n");
            b.Think(300, 800);
            const uint64_t step = b.CharNanos();
            uint64_t t = b.Now();
            for (char c : std::string("ATH0\r")) {
                t += step;
                b.CharAt(t, false, static_cast<uint8_t>(c));
                b.CharAt(t + step + 20000, true, static_cast<uint8_t>(c));
            }
            b.At(t + step + 20000);
            b.Think(100, 300);
            b.Line(kCd, false);
            b.Send(true, "\r\nOK\r\n");
        }
        if (b.Rand().OneIn(3)) {
            // The terminal program closes the port: DTR drops, the modem follows.
            b.Think(300, 900);
            b.Line(kRts, false);
            b.Line(kCts, false);
            b.Line(kDtr, false);
            b.Think(5, 20);
            b.Line(kDsr, false);
            b.Think(2000, 5000);
            powered = false;
            return;
        }
        b.Think(2000, 5000);
    }

    bool powered = false;
};

// --- Modbus RTU ---------------------------------------------------------------

class ModbusScenario final : public Scenario {
public:
    ModbusScenario()
    {
        for (std::size_t i = 0; i < registers.size(); ++i) registers[i] = static_cast<uint16_t>(200 + 3 * i);
    }

    uint32_t ErrorOneIn() const override { return 2000; }

    void Next(ScriptBuilder& b) override
    {
        if (!ready) {
            b.Think(10, 30);
            b.Line(kDtr, true);
            b.Line(kDsr, true);
            b.Think(50, 100);
            ready = true;
        }
        Random& r = b.Rand();
        const uint8_t slave = r.OneIn(4) ? 2 : 1;
        const uint32_t pick = r.Range(0, 19);
        const uint8_t function = pick < 14 ? 3 : (pick < 17 ? 4 : 6);
        const uint16_t address = static_cast<uint16_t>(r.Range(0, 7) * 8);
        const uint16_t count = static_cast<uint16_t>(r.Range(1, 8));
        const uint16_t value = static_cast<uint16_t>(r.Range(0, 999));

        std::vector<uint8_t> request{slave, function, static_cast<uint8_t>(address >> 8),
                                     static_cast<uint8_t>(address & 0xFF)};
        if (function == 6) {
            request.push_back(static_cast<uint8_t>(value >> 8));
            request.push_back(static_cast<uint8_t>(value & 0xFF));
        } else {
            request.push_back(static_cast<uint8_t>(count >> 8));
            request.push_back(static_cast<uint8_t>(count & 0xFF));
        }
        AppendModbusCrc(request);

        // The RS-485 adapter is keyed with RTS for the master's frame only.
        b.Line(kRts, true);
        b.Pause(b.CharNanos());
        b.SendBytes(false, request.data(), request.size());
        b.Pause(b.CharNanos());
        b.Line(kRts, false);

        // At least 3.5 character times of silence, then the slave's turnaround.
        b.Pause(b.CharNanos() * 4);
        const uint32_t outcome = r.Range(0, 49);
        if (outcome < 2) {
            b.Think(200, 200); // no answer: the master times out
            return;
        }
        b.Think(3, 12);
        std::vector<uint8_t> answer{slave};
        if (outcome < 4) {
            answer.push_back(static_cast<uint8_t>(function | 0x80));
            answer.push_back(2); // illegal data address
        } else if (function == 6) {
            answer = std::vector<uint8_t>(request.begin(), request.end() - 2);
            registers[address % registers.size()] = value;
        } else {
            answer.push_back(function);
            answer.push_back(static_cast<uint8_t>(count * 2));
            for (uint16_t i = 0; i < count; ++i) {
                uint16_t& reg = registers[(address + i) % registers.size()];
                reg = static_cast<uint16_t>(reg + r.Range(0, 2) - 1); // slowly drifting readings
                answer.push_back(static_cast<uint8_t>(reg >> 8));
                answer.push_back(static_cast<uint8_t>(reg & 0xFF));
            }
        }
        AppendModbusCrc(answer);
        b.SendBytes(true, answer.data(), answer.size());
        b.Think(80, 120); // poll interval
    }

private:
    std::array<uint16_t, 64> registers{};
    bool ready = false;
};

// --- random -----------------------------------------------------------------

class RandomScenario final : public Scenario {
public:
    uint32_t ErrorOneIn() const override { return 300; }

    void Next(ScriptBuilder& b) override
    {
        Random& r = b.Rand();
        if (r.OneIn(8)) {
            static constexpr uint8_t kBits[5] = {kCts, kRts, kDsr, kDtr, kCd};
            const uint8_t bit = kBits[r.Range(0, 4)];
            b.Line(bit, (b.Lines() & bit) != 0);
        }
        const bool rxd = (r.Next() & 1) != 0;
        const uint32_t length = r.Range(1, 64);
        std::vector<uint8_t> bytes(length);
        for (uint8_t& c : bytes) c = r.Byte();
        b.SendBytes(rxd, bytes.data(), bytes.size());
        // Silence so that the line is busy about `rate` percent of the time.
        const uint32_t rate = b.Rate() > 100 ? 100 : b.Rate();
        const uint64_t busy = length * b.CharNanos();
        const uint64_t idle = busy * (100 - rate) / rate;
        b.Pause(idle / 2 + (idle ? r.Next() % idle : 0));
    }
};

// --- full rate ----------------------------------------------------------------

class FullScenario final : public Scenario {
public:
    uint32_t ErrorOneIn() const override { return 0; }

    void Next(ScriptBuilder& b) override
    {
        if (pair == 0) {
            b.Line(kRts, true);
            b.Line(kCts, true);
            b.Line(kDtr, true);
            b.Line(kDsr, true);
        }
        // Times from the pair number, so that rounding never accumulates.
        const LineFormat& f = b.Format();
        const uint32_t rate = b.Rate() > 100 ? 100 : b.Rate();
        const uint64_t bitsPerPair = static_cast<uint64_t>(f.FrameBits()) * 100 / rate;
        for (int i = 0; i < 256; ++i, ++pair) {
            const uint64_t t = (pair + 1) * bitsPerPair * 1000000000ull / f.baud;
            b.CharAt(t, false, FullPairLow(pair), false);
            b.CharAt(t, true, FullPairHigh(pair), false);
        }
        b.At((pair + 1) * bitsPerPair * 1000000000ull / f.baud - 1);
    }

private:
    uint64_t pair = 0;
};

} // namespace

std::unique_ptr<Scenario> MakeScenario(ScenarioKind kind)
{
    switch (kind) {
    case ScenarioKind::Modem: return std::make_unique<ModemScenario>();
    case ScenarioKind::Modbus: return std::make_unique<ModbusScenario>();
    case ScenarioKind::Random: return std::make_unique<RandomScenario>();
    case ScenarioKind::Full: return std::make_unique<FullScenario>();
    case ScenarioKind::ModbusMix: return MakeModbusMixScenario(ModbusFraming::Rtu);
    case ScenarioKind::ModbusAscii: return MakeModbusMixScenario(ModbusFraming::Ascii);
    case ScenarioKind::ModbusShared: return MakeModbusMixScenario(ModbusFraming::SharedRtu);
    case ScenarioKind::Nmea: return MakeNmeaScenario();
    }
    return std::make_unique<ModemScenario>();
}

Generator::Generator(ScenarioKind kind, uint64_t seed, uint32_t percent, const LineFormat& f)
    : format(f), random(seed), rate(percent == 0 ? DefaultRate(kind) : percent), scenario(MakeScenario(kind))
{
}

void Generator::Refill()
{
    // Errors happen on the line whether or not the probe is asked to flag
    // them, so the stream differs only in the flags.
    ScriptBuilder b(format, random, stretchEnd, lines, scenario->ErrorOneIn(), rate);
    if (!started) {
        // The probe tells the line state as it starts.
        b.ReportLines();
        started = true;
    }
    scenario->Next(b);
    std::vector<Event> events = b.Take();
    pending.insert(pending.end(), events.begin(), events.end());
    lines = b.Lines();
    // A stretch always moves time on, so that a scenario can never spin.
    stretchEnd = b.End() > stretchEnd ? b.End() : stretchEnd + 1000000ull;
}

bool Generator::Until(uint64_t until, std::vector<uint8_t>& out, std::size_t maxBytes)
{
    const std::size_t limit = out.size() + std::min(maxBytes, SIZE_MAX - out.size());
    std::vector<uint8_t> one;
    bool complete = true;
    for (;;) {
        if (pending.empty()) {
            if (stretchEnd > until) return complete;
            Refill();
            continue;
        }
        const Event& e = pending.front();
        if (e.t > until) return complete;
        one.clear();
        emitter.Emit(e, format, one);
        if (out.size() + one.size() <= limit) out.insert(out.end(), one.begin(), one.end());
        else complete = false;
        pending.pop_front();
    }
}

} // namespace sim
