#include "LinkTestSupport.h"

#include <QCoreApplication>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include <dlfcn.h>
#include <poll.h>

std::string BinDirectory() { return QCoreApplication::applicationDirPath().toStdString(); }

// --- scripted transport -------------------------------------------------------

ScriptedTransport::ScriptedTransport(const std::string& variant)
{
    path = BinDirectory() + "/libks-scripted" + (variant.empty() ? "" : "-without-" + variant) + ".so";
    handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return;
    reset = Find<Scripted_Reset_fn>("Scripted_Reset");
    failOpenMask = Find<Scripted_FailOpenMask_fn>("Scripted_FailOpenMask");
    failOpenPipe = Find<Scripted_FailOpenPipe_fn>("Scripted_FailOpenPipe");
    setRequestResult = Find<Scripted_SetRequestResult_fn>("Scripted_SetRequestResult");
    setFirmware = Find<Scripted_SetFirmware_fn>("Scripted_SetFirmware");
    send = Find<Scripted_Send_fn>("Scripted_Send");
    waitConsumed = Find<Scripted_WaitConsumed_fn>("Scripted_WaitConsumed");
    unplug = Find<Scripted_Unplug_fn>("Scripted_Unplug");
    failRead = Find<Scripted_FailRead_fn>("Scripted_FailRead");
    vendorCalls = Find<Scripted_VendorCalls_fn>("Scripted_VendorCalls");
    getCounts = Find<Scripted_GetCounts_fn>("Scripted_GetCounts");
    reset();
}

ScriptedTransport::~ScriptedTransport()
{
    if (!handle) return;
    reset();
    ::dlclose(handle);
}

template <typename T> T ScriptedTransport::Find(const char* name)
{
    return reinterpret_cast<T>(::dlsym(handle, name));
}

std::vector<ScriptedVendorCall> ScriptedTransport::VendorCalls()
{
    std::vector<ScriptedVendorCall> out(static_cast<std::size_t>(vendorCalls(nullptr, 0)));
    vendorCalls(out.data(), static_cast<int>(out.size()));
    return out;
}

ScriptedCounts ScriptedTransport::Counts()
{
    ScriptedCounts c{};
    getCounts(&c);
    return c;
}

// --- messages -----------------------------------------------------------------

ks::MessageResult CapturedMessages::Show(const QString& text, ks::MessageButtons)
{
    std::lock_guard<std::mutex> lock(mutex);
    texts << text;
    return ks::MessageResult::Ok;
}

QStringList CapturedMessages::Texts()
{
    std::lock_guard<std::mutex> lock(mutex);
    return texts;
}

namespace {

// Polls pred under the lock every millisecond until it holds or time is up.
template <typename Pred> bool PollUnder(std::mutex& mutex, Pred pred, int timeoutMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (pred()) return true;
        }
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace

bool CapturedMessages::WaitFor(int n, int timeoutMs)
{
    return PollUnder(mutex, [&] { return texts.size() >= n; }, timeoutMs);
}

// --- recorder -----------------------------------------------------------------

void LinkRecorder::Data(const uint8_t* data, uint32_t count, void* user)
{
    auto* self = static_cast<LinkRecorder*>(user);
    std::unique_lock<std::mutex> lock(self->mutex);
    self->dataThread = std::this_thread::get_id();
    if (data == nullptr && count == 0) {
        self->calls.push_back(Call{true, {}, nullptr});
        return;
    }
    self->calls.push_back(Call{false, std::vector<uint8_t>(data, data + count), data});
    ++self->blocks;
    if (self->gateClosed) {
        self->blockedAtGate = true;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (self->gateClosed && std::chrono::steady_clock::now() < until) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            lock.lock();
        }
        self->blockedAtGate = false;
    }
    auto hook = self->blockHook;
    lock.unlock();
    if (hook) hook(data, count);
}

void LinkRecorder::Lost(const uint8_t* data, uint32_t count, void* user)
{
    auto* self = static_cast<LinkRecorder*>(user);
    std::lock_guard<std::mutex> lock(self->mutex);
    ++self->lost;
    self->lostData = data;
    self->lostCount = count;
    self->lostThread = std::this_thread::get_id();
}

void LinkRecorder::CloseGate()
{
    std::lock_guard<std::mutex> lock(mutex);
    gateClosed = true;
}

void LinkRecorder::OpenGate()
{
    std::lock_guard<std::mutex> lock(mutex);
    gateClosed = false;
}

template <typename Pred> bool LinkRecorder::Wait(Pred pred, int timeoutMs)
{
    return PollUnder(mutex, pred, timeoutMs);
}

bool LinkRecorder::WaitForBlocks(std::size_t n, int timeoutMs)
{
    return Wait([&] { return blocks >= n; }, timeoutMs);
}

bool LinkRecorder::WaitForEmptyAfterBlocks(std::size_t n, int timeoutMs)
{
    return Wait(
        [&] {
            std::size_t seen = 0;
            for (const Call& c : calls) {
                if (!c.empty) ++seen;
                else if (seen >= n) return true;
            }
            return false;
        },
        timeoutMs);
}

bool LinkRecorder::WaitForLost(int timeoutMs) { return Wait([&] { return lost > 0; }, timeoutMs); }

bool LinkRecorder::WaitUntilBlocked(int timeoutMs) { return Wait([&] { return blockedAtGate; }, timeoutMs); }

std::vector<LinkRecorder::Call> LinkRecorder::Calls()
{
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
}

std::vector<std::vector<uint8_t>> LinkRecorder::Blocks()
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::vector<uint8_t>> out;
    for (const Call& c : calls)
        if (!c.empty) out.push_back(c.bytes);
    return out;
}

std::vector<const uint8_t*> LinkRecorder::Pointers()
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<const uint8_t*> out;
    for (const Call& c : calls)
        if (!c.empty) out.push_back(c.pointer);
    return out;
}

int LinkRecorder::LostCalls()
{
    std::lock_guard<std::mutex> lock(mutex);
    return lost;
}

bool LinkRecorder::LostArgumentsWere(const uint8_t* data, uint32_t count)
{
    std::lock_guard<std::mutex> lock(mutex);
    return lostData == data && lostCount == count;
}

std::thread::id LinkRecorder::LostThread()
{
    std::lock_guard<std::mutex> lock(mutex);
    return lostThread;
}

std::thread::id LinkRecorder::DataThread()
{
    std::lock_guard<std::mutex> lock(mutex);
    return dataThread;
}

// --- testable link ------------------------------------------------------------

int TestableLink::CreateExitEvent() { return failExitEvent ? -1 : CUSBCom::CreateExitEvent(); }

bool TestableLink::StartThread(ThreadRole role, std::thread& thread, void (*entry)(CUSBCom*))
{
    if (role == ThreadRole::Reader && failReaderStart) return false;
    if (role == ThreadRole::Dispatch && failDispatchStart) return false;
    return CUSBCom::StartThread(role, thread, entry);
}

int TestableLink::PollPipe(pollfd* fds, unsigned count, int timeoutMs)
{
    int pending = pollFailures.load();
    while (pending > 0) {
        if (pollFailures.compare_exchange_weak(pending, pending - 1)) {
            errno = EINVAL;
            return -1;
        }
    }
    if (pollInvalid.exchange(false)) {
        for (unsigned i = 0; i < count; ++i) fds[i].revents = 0;
        fds[0].revents = POLLNVAL;
        return 1;
    }
    return CUSBCom::PollPipe(fds, count, timeoutMs);
}

// --- helpers ------------------------------------------------------------------

std::vector<std::string> ThreadNames()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream in(entry.path() / "comm");
        std::string name;
        std::getline(in, name);
        names.push_back(name);
    }
    return names;
}

int CountThreads(const std::string& name)
{
    int n = 0;
    for (const std::string& t : ThreadNames()) n += t == name ? 1 : 0;
    return n;
}

bool WaitForThreadCount(const std::string& name, int n, int timeoutMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (CountThreads(name) != n) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::vector<uint8_t> Pattern(std::size_t n, uint8_t seed)
{
    std::vector<uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i);
    return v;
}
