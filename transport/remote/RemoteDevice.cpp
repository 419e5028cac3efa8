#include "RemoteDevice.h"

#include "LibraryDirectory.h"
#include "PipeOutput.h"
#include "ProbeTransport.h"
#include "SshCommand.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace remote {
namespace {

// Enough of ssh's and the far side's messages for one failure message.
constexpr std::size_t kErrorTextLimit = 4000;
constexpr std::size_t kReadChunk = 65536;

bool IsPlainName(const std::string& name)
{
    if (name.size() > 64) return false;
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                        c == '_';
        if (!ok) return false;
    }
    return true;
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

// The first few message lines as one: "a; b".
std::string OneLine(const std::string& text)
{
    std::string out;
    int lines = 1;
    for (const char c : Trimmed(text)) {
        if (c == '\n' && ++lines > 4) return out + "; ...";
        if (c == '\n') out += "; ";
        else if (c != '\r') out += c;
    }
    return out;
}

} // namespace

RemoteDevice::~RemoteDevice()
{
    std::unique_lock<std::mutex> lock(mutex);
    if (phase != Phase::Idle) Shutdown(lock, 0);
}

void RemoteDevice::Say(const std::string& text) const
{
    std::fprintf(stderr, "remote probe: %s\n", text.c_str());
}

// --- opening and closing ----------------------------------------------------------

int RemoteDevice::Open(int vendor, int product)
{
    if (vendor != KS_PROBE_VENDOR || product != KS_PROBE_PRODUCT) return -1;
    std::unique_lock<std::mutex> lock(mutex);
    if (phase != Phase::Idle) return -1; // one program at a time

    std::string problems;
    config = LoadConfig(sim::LibraryDirectory(), problems);
    if (!problems.empty()) Say(problems.substr(0, problems.size() - 2));
    if (!IsPlainName(config.transport)) {
        Say("KS_REMOTE_TRANSPORT '" + OneLine(config.transport) +
            "' refused: a transport is named by a plain word of letters, digits, '-' and '_'");
        return -1;
    }
    std::vector<std::string> argv;
    std::string error;
    if (!SshArguments(config, argv, error)) {
        Say(error);
        return -1;
    }
    decoder = FrameDecoder{};
    helloSeen = false;
    farVersion = 0;
    haveAnswer = false;
    endReason.clear();
    errorText.clear();
    errorLine.clear();
    sayErrors = false;
    out.clear();
    outPos = 0;
    overflowSaid = false;
    quit = false;
    closing = false;
    if (!ssh.Start(argv, error)) {
        Say(error);
        return -1;
    }
    wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    phase = Phase::Opening;
    try {
        reader = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        Shutdown(lock, 0);
        phase = Phase::Idle;
        Say("no thread for the connection");
        return -1;
    }

    // The hello and the open go together: one round trip over the network.
    std::vector<uint8_t> request;
    AppendHello(request);
    AppendFrame(request, FrameType::Open, config.transport);
    lock.unlock();
    const bool sent = ssh.Send(request.data(), request.size(), kOpenWaitMs);
    lock.lock();
    const bool done = sent && answered.wait_for(lock, std::chrono::milliseconds(kOpenWaitMs),
                                                [this] { return haveAnswer || phase == Phase::Ended; });
    if (done && haveAnswer && answerType == FrameType::Open && answerResult == 1 && phase == Phase::Opening) {
        haveAnswer = false;
        phase = Phase::Open;
        // What the far side said while it opened (its settings, say) is
        // worth seeing; from now on its messages pass as they come.
        for (std::size_t start = 0; start < errorText.size();) {
            const std::size_t end = errorText.find('\n', start);
            Say(config.host + ": " + errorText.substr(start, end - start));
            start = end == std::string::npos ? errorText.size() : end + 1;
        }
        errorText.clear();
        sayErrors = true;
        handle = nextHandle++;
        if (nextHandle > 0x7FFF0000) nextHandle = 0x5200;
        return handle;
    }
    const bool timedOut = sent && !done;
    const bool farRefusedOpen = done && haveAnswer && answerType == FrameType::Open;
    const std::string farText = farRefusedOpen ? answerData : std::string();
    const int status = Shutdown(lock, timedOut ? 0 : 2000);
    std::string message;
    const std::string lines = OneLine(errorText);
    const std::string who = config.host;
    if (timedOut) {
        message = who + " did not answer within " + std::to_string(kOpenWaitMs / 1000) + " s";
    } else if (farRefusedOpen) {
        message = "the far probe on " + who + " could not be opened";
        if (!farText.empty()) message += ": " + farText;
        if (!lines.empty()) message += " (" + lines + ")";
    } else if (!endReason.empty()) {
        message = endReason;
    } else if (lines.find("unknown argument --serve") != std::string::npos) {
        // A ks-capture from before the remote transport.
        message = "the ks-capture on " + who + " does not serve yet: install the same Kestrane version on both machines";
    } else if (status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 255) {
        message = "ssh could not connect to " + who + (lines.empty() ? std::string() : ": " + lines);
    } else if ((status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 127) ||
               lines.find("not found") != std::string::npos ||
               lines.find("No such file") != std::string::npos) {
        message = who + " has no " + config.command + " (install Kestrane there, or set KS_REMOTE_COMMAND to its path)" +
                  (lines.empty() ? std::string() : ": " + lines);
    } else {
        message = "the far program on " + who + " ended before it answered (" + DescribeStatus(status) + ")" +
                  (lines.empty() ? std::string() : ": " + lines);
    }
    Say(message);
    phase = Phase::Idle;
    return -1;
}

int RemoteDevice::Shutdown(std::unique_lock<std::mutex>& lock, int graceMs)
{
    closing = true;
    std::thread t = std::move(reader);
    lock.unlock();
    // The far side reads end of file and ends; ssh then ends too.
    const int status = ssh.Reap(graceMs);
    lock.lock();
    quit = true;
    Wake();
    lock.unlock();
    if (t.joinable()) t.join();
    lock.lock();
    // Whatever the far side still said before it ended, for a failure message.
    ReadErrors(true);
    ssh.CloseDescriptors();
    if (writeFd >= 0) ::close(writeFd);
    writeFd = -1;
    if (wakeFd >= 0) ::close(wakeFd);
    wakeFd = -1;
    out.clear();
    outPos = 0;
    return status;
}

int RemoteDevice::OpenPipe(int device)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (device != handle || handle == 0 || phase != Phase::Open || writeFd >= 0) return -1;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    (void)::fcntl(fds[1], F_SETPIPE_SZ, 1 << 20); // a smaller pipe also works
    writeFd = fds[1];
    out.clear();
    outPos = 0;
    overflowSaid = false;
    return fds[0];
}

int RemoteDevice::Close(int device)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (device == -1 || device == 0 || device != handle) return 0;
    if (phase == Phase::Open) {
        std::vector<uint8_t> request;
        AppendFrame(request, FrameType::Close);
        lock.unlock();
        ssh.Send(request.data(), request.size(), 1000);
        lock.lock();
    }
    Shutdown(lock, 3000);
    handle = 0;
    phase = Phase::Idle;
    return 1;
}

// --- requests -----------------------------------------------------------------------

bool RemoteDevice::Ask(std::unique_lock<std::mutex>& lock, FrameType type, const std::string& payload, int waitMs,
                       int32_t& result, std::string& data)
{
    if (phase != Phase::Open) return false;
    haveAnswer = false;
    std::vector<uint8_t> request;
    AppendFrame(request, type, payload);
    lock.unlock();
    const bool sent = ssh.Send(request.data(), request.size(), waitMs);
    lock.lock();
    if (!sent) return false;
    answered.wait_for(lock, std::chrono::milliseconds(waitMs),
                      [this] { return haveAnswer || phase != Phase::Open; });
    if (!haveAnswer || answerType != type) return false;
    haveAnswer = false;
    result = answerResult;
    data = answerData;
    return true;
}

int RemoteDevice::Request(int device, int directionIn, int request, int value, int length, void* buffer)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (device != handle || handle == 0 || phase != Phase::Open) return 0;
    int32_t result = 0;
    std::string data;
    switch (request) {
    case KS_PROBE_REQUEST_FIRMWARE: {
        if (directionIn != 1 || !buffer || length <= 0) return 0;
        const int asked = std::min(length, KS_PROBE_FIRMWARE_LENGTH);
        const std::string payload{static_cast<char>(value & 0xFF), static_cast<char>(asked)};
        if (value < 0 || value > 255 || !Ask(lock, FrameType::Firmware, payload, kAnswerWaitMs, result, data)) return 0;
        const int n = std::min({static_cast<int>(result), asked, static_cast<int>(data.size())});
        if (n <= 0) return 0;
        std::memcpy(buffer, data.data(), static_cast<std::size_t>(n));
        static_cast<char*>(buffer)[n - 1] = '\0';
        return n;
    }
    case KS_PROBE_REQUEST_START:
        return Ask(lock, FrameType::Start, {}, kAnswerWaitMs, result, data) && result > 0 ? result : 0;
    case KS_PROBE_REQUEST_STOP:
        return Ask(lock, FrameType::Stop, {}, kAnswerWaitMs, result, data) && result > 0 ? result : 0;
    case KS_PROBE_REQUEST_PARAMETERS: {
        if (directionIn != 0 || !buffer || length < 0) return 0;
        const std::string block(static_cast<const char*>(buffer),
                                static_cast<std::size_t>(std::min(length, 64)));
        return Ask(lock, FrameType::Parameters, block, kAnswerWaitMs, result, data) && result > 0 ? result : 0;
    }
    default:
        return 0;
    }
}

// --- the reader thread --------------------------------------------------------------

void RemoteDevice::Wake()
{
    if (wakeFd < 0) return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t w = ::write(wakeFd, &one, sizeof one);
}

void RemoteDevice::Run()
{
    // A program that closed its end of the pipe must not take a SIGPIPE for it.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    ::pthread_setname_np(::pthread_self(), "ks-remote-read");

    std::unique_lock<std::mutex> lock(mutex);
    bool outputOpen = true;
    bool errorsOpen = true;
    while (!quit) {
        pollfd fds[4] = {{wakeFd, POLLIN, 0},
                         {outputOpen ? ssh.Output() : -1, POLLIN, 0},
                         {errorsOpen ? ssh.Errors() : -1, POLLIN, 0},
                         {outPos < out.size() ? writeFd : -1, POLLOUT, 0}};
        lock.unlock();
        const int ready = ::poll(fds, 4, 500);
        lock.lock();
        if (quit) break;
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (fds[0].revents) {
            uint64_t v;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd, &v, sizeof v);
        }
        if (fds[2].revents) {
            uint8_t buffer[4096];
            const ssize_t n = ::read(ssh.Errors(), buffer, sizeof buffer);
            if (n > 0) {
                errorLine.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
                ReadErrors(false);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                errorsOpen = false;
            }
        }
        if (fds[1].revents) {
            uint8_t buffer[kReadChunk];
            const ssize_t n = ::read(ssh.Output(), buffer, sizeof buffer);
            if (n > 0) {
                decoder.Feed(buffer, static_cast<std::size_t>(n));
                Frame frame;
                FrameDecoder::Result r;
                while ((r = decoder.Next(frame)) == FrameDecoder::Result::Frame) OnFrame(frame);
                if (r == FrameDecoder::Result::Broken)
                    Ended(helloSeen ? "garbled data from " + config.host + ": " + decoder.Error()
                                    : config.command + " on " + config.host + " is no ks-capture that serves (" +
                                          decoder.Error() + ")");
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                outputOpen = false;
                if (!closing) {
                    // ssh says why it ended on its error output, just before
                    // it ends: give that a moment to arrive first.
                    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
                    while (errorsOpen && std::chrono::steady_clock::now() < until) {
                        pollfd e{ssh.Errors(), POLLIN, 0};
                        lock.unlock();
                        const int got = ::poll(&e, 1, 50);
                        lock.lock();
                        if (got <= 0) continue;
                        uint8_t buffer2[4096];
                        const ssize_t m = ::read(ssh.Errors(), buffer2, sizeof buffer2);
                        if (m > 0) {
                            errorLine.append(reinterpret_cast<const char*>(buffer2), static_cast<std::size_t>(m));
                            ReadErrors(false);
                        } else if (m == 0 || (errno != EAGAIN && errno != EINTR)) {
                            errorsOpen = false;
                        }
                    }
                    if (phase == Phase::Open) {
                        Lost("the connection to " + config.host + " ended");
                    } else if (phase == Phase::Opening) {
                        // Why is told by ssh's exit status and messages.
                        phase = Phase::Ended;
                    }
                    answered.notify_all();
                }
            }
        }
        sim::FlushToPipe(writeFd, out, outPos);
    }
}

void RemoteDevice::ReadErrors(bool all)
{
    if (all && ssh.Errors() >= 0) {
        uint8_t buffer[4096];
        for (int i = 0; i < 64; ++i) {
            const ssize_t n = ::read(ssh.Errors(), buffer, sizeof buffer);
            if (n <= 0) break;
            errorLine.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
        }
        if (!errorLine.empty() && errorLine.back() != '\n') errorLine += '\n';
    }
    for (std::size_t end; (end = errorLine.find('\n')) != std::string::npos;) {
        const std::string line = Trimmed(errorLine.substr(0, end));
        errorLine.erase(0, end + 1);
        if (line.empty()) continue;
        if (sayErrors) Say(config.host + ": " + line);
        else if (errorText.size() < kErrorTextLimit) errorText += line + "\n";
    }
    // A line without its end that grows without bound is said as it stands.
    if (errorLine.size() > kErrorTextLimit) {
        if (sayErrors) Say(config.host + ": " + errorLine.substr(0, kErrorTextLimit));
        errorLine.clear();
    }
}

void RemoteDevice::OnFrame(const Frame& frame)
{
    if (phase == Phase::Ended) return;
    if (!helloSeen) {
        uint16_t version = 0;
        if (frame.type == FrameType::Refused) {
            Ended(config.host + ": " + frame.Text());
            return;
        }
        if (!ReadHello(frame, version)) {
            Ended(config.command + " on " + config.host + " is no ks-capture that serves");
            return;
        }
        helloSeen = true;
        farVersion = version;
        if (version != kProtocolVersion) {
            Ended("the far ks-capture on " + config.host + " speaks remote protocol version " +
                  std::to_string(version) + ", this program version " + std::to_string(kProtocolVersion) +
                  ": install the same Kestrane version on both machines");
        }
        return;
    }
    switch (frame.type) {
    case FrameType::Answer: {
        FrameType request;
        int32_t result;
        std::string data;
        if (!ReadAnswer(frame, request, result, data)) {
            Ended("garbled answer from " + config.host);
            return;
        }
        answerType = request;
        answerResult = result;
        answerData = std::move(data);
        haveAnswer = true;
        answered.notify_all();
        return;
    }
    case FrameType::Records: {
        if (writeFd < 0 || frame.payload.empty()) return;
        if (out.size() - outPos + frame.payload.size() > kBacklogLimit) {
            if (!overflowSaid) Say("the program does not read; records beyond 8 MB are lost");
            overflowSaid = true;
            return;
        }
        out.insert(out.end(), frame.payload.begin(), frame.payload.end());
        return;
    }
    case FrameType::Notice:
        Say(config.host + ": " + frame.Text());
        return;
    case FrameType::Lost:
        Ended(config.host + ": " + frame.Text());
        return;
    case FrameType::Refused:
        Ended(config.host + ": " + frame.Text());
        return;
    default:
        Ended("unexpected frame from " + config.host);
        return;
    }
}

void RemoteDevice::Ended(const std::string& why)
{
    if (phase == Phase::Open) {
        Lost(why);
    } else if (phase == Phase::Opening) {
        if (endReason.empty()) endReason = why;
        phase = Phase::Ended;
    }
    answered.notify_all();
}

void RemoteDevice::Lost(const std::string& why)
{
    phase = Phase::Ended;
    if (closing) return;
    Say(why + "; the capture ends here");
    // What arrived before goes to the program, then the pipe ends: the
    // program sees end of file and reports a lost probe.
    sim::DrainAndClosePipe(writeFd, out, outPos, mutex, quit);
}

} // namespace remote
