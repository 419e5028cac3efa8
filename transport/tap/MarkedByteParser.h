#pragma once
// Reads what the terminal driver delivers with PARMRK and INPCK set:
//   0xFF 0xFF   a character 0xFF
//   0xFF 0x00 x a character x received with a parity or framing error
//   0xFF 0x00 0x00  a break (and equally a framing error on a NUL)
//   any other byte  itself
// A read can end anywhere inside a sequence, so the state is kept from one
// read to the next.
#include <cstddef>
#include <cstdint>

namespace tap {

struct ReceivedChar {
    uint8_t value;
    bool error; // parity or framing error, or a break (value 0)
};

class MarkedByteParser {
public:
    // Calls sink(ReceivedChar) for every character completed by `bytes`.
    template <typename Sink> void Feed(const uint8_t* bytes, std::size_t count, Sink&& sink)
    {
        for (std::size_t i = 0; i < count; ++i) {
            const uint8_t b = bytes[i];
            switch (state) {
            case State::Plain:
                if (b == 0xFF) state = State::Marked;
                else sink(ReceivedChar{b, false});
                break;
            case State::Marked:
                if (b == 0x00) {
                    state = State::Error;
                } else {
                    // 0xFF 0xFF is the character 0xFF. A lone 0xFF before
                    // anything else cannot come from the driver; keep both
                    // bytes rather than lose one.
                    sink(ReceivedChar{0xFF, false});
                    state = State::Plain;
                    if (b != 0xFF) sink(ReceivedChar{b, false});
                }
                break;
            case State::Error:
                sink(ReceivedChar{b, true});
                state = State::Plain;
                break;
            }
        }
    }

    // Forgets a sequence cut short (the port was reopened or restarted).
    void Reset() { state = State::Plain; }
    bool InSequence() const { return state != State::Plain; }

private:
    enum class State { Plain, Marked, Error };
    State state = State::Plain;
};

} // namespace tap
