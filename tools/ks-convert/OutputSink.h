#pragma once
// Buffered text output to a stream. Listings of long captures run to millions
// of lines, so text is gathered in a block and written in large pieces; a
// failed write (full disk, closed pipe) is remembered so that the exit status
// can say so.
#include <cstdio>
#include <string>
#include <string_view>

class OutputSink {
public:
    explicit OutputSink(std::FILE* stream) : stream(stream) {}
    OutputSink(const OutputSink&) = delete;
    OutputSink& operator=(const OutputSink&) = delete;
    ~OutputSink() { Flush(); }

    void Write(std::string_view text)
    {
        buffer.append(text);
        if (buffer.size() >= kBlock) Flush();
    }
    // The text of one line followed by '\n'.
    void Line(std::string_view text)
    {
        buffer.append(text);
        buffer.push_back('\n');
        if (buffer.size() >= kBlock) Flush();
    }
    // Writes what is gathered; false once any write has failed.
    bool Flush();
    bool Failed() const { return failed; }

private:
    static constexpr std::size_t kBlock = 64 * 1024;
    std::FILE* stream;
    std::string buffer;
    bool failed = false;
};
