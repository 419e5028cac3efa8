#include "CCaptureLoad.h"

#include "CLines.h"

#include <algorithm>
#include <new>
#include <system_error>

CCaptureLoad::CCaptureLoad(std::unique_ptr<CCaptureReader> reader, const CDisplayMode& mode)
    : reader(std::move(reader)), mode(mode), lines(std::make_unique<CLines>())
{
}

CCaptureLoad::~CCaptureLoad()
{
    cancel = true;
    if (thread.joinable()) thread.join();
}

void CCaptureLoad::Start()
{
    try {
        thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        Run();
    }
}

void CCaptureLoad::Run()
{
    Outcome result = Outcome::Done;
    try {
        while (reader->DecodeNext(*lines, mode)) {
            done = reader->BodyDone();
            if (cancel) break;
        }
        if (reader->Failed()) result = Outcome::ReadFailed;
        else if (!reader->AtEnd()) result = Outcome::Cancelled;
    } catch (const std::bad_alloc&) {
        // What was decoded goes at once, so that the message about it can
        // be shown.
        lines.reset();
        result = Outcome::OutOfMemory;
    }
    std::lock_guard<std::mutex> guard(endLock);
    outcome = result;
    ended = true;
    endSignal.notify_all();
}

bool CCaptureLoad::WaitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> guard(endLock);
    return endSignal.wait_for(guard, timeout, [this] { return ended; });
}

bool CCaptureLoad::Ended() const
{
    std::lock_guard<std::mutex> guard(endLock);
    return ended;
}

int CCaptureLoad::Permille() const
{
    const std::uint64_t size = reader->BodySize();
    if (size == 0) return 1000;
    return static_cast<int>(std::min<std::uint64_t>(1000, done.load() * 1000 / size));
}

CCaptureLoad::Outcome CCaptureLoad::Finish()
{
    if (thread.joinable()) thread.join();
    std::lock_guard<std::mutex> guard(endLock);
    return outcome;
}

std::unique_ptr<CLines> CCaptureLoad::TakeLines() { return std::move(lines); }
