#pragma once
// A signal that does nothing but interrupt a blocking ioctl (TIOCMIWAIT has
// no timeout and no other way out). One unused real-time signal gets a handler
// while the tap watches control lines, and its old disposition back after.
namespace tap {

class WakeSignal {
public:
    // Claims a real-time signal nobody handles; 0 when there is none.
    int Claim();
    // Gives it back; only once no thread can receive it any more.
    void Release();
    int Number() const { return number; }

private:
    int number = 0;
};

} // namespace tap
