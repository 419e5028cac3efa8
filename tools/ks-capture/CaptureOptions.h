#pragma once
// The command line of ks-capture.
#include <string>

struct CaptureOptions {
    std::string output;      // the ".ksf" file to write
    // A series instead: directory and file name without extension, the
    // buffers per file (2..7), the number of files (1..999999), Overwrite.
    std::string series;
    int fileSize = 2;
    int files = 1;
    bool overwrite = false;
    int seconds = 0;         // 0: until Ctrl+C (or the probe is lost)
    int baudIndex = 10;      // into the baud-rate table, 10 = 9600
    int databit = 1;         // CCommSetting indexes: 0 = 7 data bits, 1 = 8
    int parity = 0;          // 0 none, 1 odd, 2 even
    int stopbit = 0;         // 0 = 1 stop bit, 1 = 2
    bool status = false;     // control-line rows
    bool stamp = false;      // time stamps
    bool data = true;        // data rows
    bool transportGiven = false; // --transport was given (checked later, with the environment)
    std::string transport;   // its value
    std::string libraryPath; // the chosen transport library; empty: the default
};

// Parses argv; false with a one-line reason in `error` for anything wrong.
bool ParseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error);

const char* CaptureUsage();
