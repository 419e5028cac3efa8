#include "BusScenarios.h"

#include "ModbusCheck.h"

#include <array>
#include <cstdio>
#include <string>

namespace sim {
namespace {

void Put16(std::vector<uint8_t>& frame, uint32_t value)
{
    frame.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
    frame.push_back(static_cast<uint8_t>(value & 0xFF));
}

std::string AsciiFrame(const std::vector<uint8_t>& bytes, bool damaged)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = ":";
    for (const uint8_t b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    const uint8_t lrc = static_cast<uint8_t>(ModbusLrc(bytes.data(), bytes.size()) ^ (damaged ? 0x5A : 0));
    text += kHex[lrc >> 4];
    text += kHex[lrc & 15];
    return text + "\r\n";
}

class ModbusMixScenario final : public Scenario {
public:
    explicit ModbusMixScenario(ModbusFraming f) : framing(f)
    {
        for (std::size_t i = 0; i < registers.size(); ++i) registers[i] = static_cast<uint16_t>(1000 + 7 * i);
    }

    uint32_t ErrorOneIn() const override { return 5000; }

    void Next(ScriptBuilder& b) override
    {
        Random& r = b.Rand();
        const uint8_t slave = static_cast<uint8_t>(r.Range(1, 3));
        static constexpr uint8_t kFunctions[] = {1, 2, 3, 3, 3, 4, 5, 6, 15, 16, 16, 0x41};
        const uint8_t function = kFunctions[r.Range(0, sizeof kFunctions - 1)];
        const uint16_t address = static_cast<uint16_t>(r.Range(0, 100));
        std::vector<uint8_t> request{slave, function};
        std::vector<uint8_t> answer{slave, function};
        switch (function) {
        case 1:
        case 2: {
            const uint32_t count = r.OneIn(5) ? 2000 : r.Range(1, 40);
            Put16(request, address);
            Put16(request, count);
            const uint32_t bytes = (count + 7) / 8;
            answer.push_back(static_cast<uint8_t>(bytes));
            for (uint32_t i = 0; i < bytes; ++i) answer.push_back(static_cast<uint8_t>(r.Range(0, 255)));
            break;
        }
        case 3:
        case 4: {
            // Now and then the longest read there is: 125 registers, 255 bytes.
            const uint32_t count = r.OneIn(4) ? 125 : r.Range(1, 20);
            Put16(request, address);
            Put16(request, count);
            answer.push_back(static_cast<uint8_t>(count * 2));
            for (uint32_t i = 0; i < count; ++i) Put16(answer, registers[(address + i) % registers.size()]);
            break;
        }
        case 5:
            Put16(request, address);
            Put16(request, r.OneIn(2) ? 0xFF00 : 0x0000);
            answer = request;
            break;
        case 6:
            Put16(request, address);
            Put16(request, r.Range(0, 65535));
            answer = request;
            break;
        case 15: {
            const uint32_t count = r.Range(1, 30);
            Put16(request, address);
            Put16(request, count);
            request.push_back(static_cast<uint8_t>((count + 7) / 8));
            for (uint32_t i = 0; i < (count + 7) / 8; ++i) request.push_back(static_cast<uint8_t>(r.Range(0, 255)));
            answer = std::vector<uint8_t>(request.begin(), request.begin() + 6);
            break;
        }
        case 16: {
            const uint32_t count = r.OneIn(5) ? 123 : r.Range(1, 10);
            Put16(request, address);
            Put16(request, count);
            request.push_back(static_cast<uint8_t>(count * 2));
            for (uint32_t i = 0; i < count; ++i) {
                const uint16_t value = static_cast<uint16_t>(r.Range(0, 65535));
                registers[(address + i) % registers.size()] = value;
                Put16(request, value);
            }
            answer = std::vector<uint8_t>(request.begin(), request.begin() + 6);
            break;
        }
        default:
            // A function the slaves do not know: a few bytes of its own, and
            // "illegal function" back.
            for (uint32_t i = r.Range(2, 6); i > 0; --i) request.push_back(static_cast<uint8_t>(r.Range(0, 255)));
            answer = {slave, static_cast<uint8_t>(function | 0x80), 1};
            break;
        }
        if (function != 0x41 && r.OneIn(20)) answer = {slave, static_cast<uint8_t>(function | 0x80), 2};

        SendFrame(b, false, request, r.OneIn(25));
        b.Pause(b.CharNanos() * 4);
        if (r.OneIn(25)) {
            b.Think(150, 150); // no answer: the master times out
            return;
        }
        b.Think(2, 8);
        if (r.OneIn(30)) {
            // The bus turning round: a glitch or two before the answer.
            for (uint32_t i = r.Range(1, 3); i > 0; --i) {
                const uint8_t noise = static_cast<uint8_t>(r.Range(0, 255));
                b.SendBytes(Answers(), &noise, 1);
            }
            b.Pause(b.CharNanos() * 2);
        }
        SendFrame(b, Answers(), answer, r.OneIn(25));
        b.Think(30, 60);
    }

private:
    bool Answers() const { return framing != ModbusFraming::SharedRtu; }

    void SendFrame(ScriptBuilder& b, bool rxd, std::vector<uint8_t> frame, bool damaged)
    {
        if (framing == ModbusFraming::Ascii) {
            b.Send(rxd, AsciiFrame(frame, damaged));
            return;
        }
        AppendModbusCrc(frame);
        // A damaged frame: one bit flipped on the way, after the CRC was made.
        if (damaged) frame[b.Rand().Range(0, static_cast<uint32_t>(frame.size() - 1))] ^= 0x10;
        b.SendBytes(rxd, frame.data(), frame.size());
    }

    ModbusFraming framing;
    std::array<uint16_t, 128> registers{};
};

// --- NMEA 0183 ----------------------------------------------------------------

std::string Sentence(const std::string& body, bool damaged)
{
    uint8_t sum = 0;
    for (const char c : body) sum ^= static_cast<uint8_t>(c);
    if (damaged) sum ^= 0x21;
    char check[4];
    std::snprintf(check, sizeof check, "%02X", sum);
    return "$" + body + "*" + check + "\r\n";
}

class NmeaScenario final : public Scenario {
public:
    uint32_t ErrorOneIn() const override { return 5000; }

    void Next(ScriptBuilder& b) override
    {
        Random& r = b.Rand();
        const uint32_t h = 10 + second / 3600 % 14, m = second / 60 % 60, s = second % 60;
        char body[128];
        std::snprintf(body, sizeof body, "GPGGA,%02u%02u%02u.00,4807.%03u,N,01131.%03u,E,1,%02u,0.9,545.4,M,46.9,M,,",
                      h, m, s, r.Range(0, 999), r.Range(0, 999), r.Range(5, 12));
        b.Send(true, Sentence(body, Damaged()));
        std::snprintf(body, sizeof body, "GPRMC,%02u%02u%02u.00,A,4807.038,N,01131.000,E,0.%u,84.4,101226,003.1,W",
                      h, m, s, r.Range(0, 9));
        b.Send(true, Sentence(body, Damaged()));
        if (second % 5 == 0) {
            for (int part = 1; part <= 3; ++part) {
                std::snprintf(body, sizeof body, "GPGSV,3,%d,11,%02u,%02u,%03u,%02u,%02u,%02u,%03u,%02u", part,
                              r.Range(1, 32), r.Range(5, 85), r.Range(0, 359), r.Range(20, 45), r.Range(1, 32),
                              r.Range(5, 85), r.Range(0, 359), r.Range(20, 45));
                b.Send(true, Sentence(body, Damaged()));
            }
        }
        ++second;
        b.Think(1000, 1000);
    }

private:
    // Every ninth sentence arrives with a wrong checksum.
    bool Damaged() { return ++sentences % 9 == 0; }

    uint32_t second = 0;
    uint32_t sentences = 0;
};

} // namespace

std::unique_ptr<Scenario> MakeModbusMixScenario(ModbusFraming framing) { return std::make_unique<ModbusMixScenario>(framing); }

std::unique_ptr<Scenario> MakeNmeaScenario() { return std::make_unique<NmeaScenario>(); }

} // namespace sim
