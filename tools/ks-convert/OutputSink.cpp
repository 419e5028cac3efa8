#include "OutputSink.h"

bool OutputSink::Flush()
{
    if (!buffer.empty()) {
        if (!failed && std::fwrite(buffer.data(), 1, buffer.size(), stream) != buffer.size()) failed = true;
        buffer.clear();
    }
    if (!failed && std::fflush(stream) != 0) failed = true;
    return !failed;
}
