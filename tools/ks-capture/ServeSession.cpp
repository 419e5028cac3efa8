#include "ServeSession.h"

#include "CUSBCom.h"
#include "RemoteFrames.h"
#include "ServeOutput.h"
#include "TransportChoice.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using remote::Frame;
using remote::FrameType;

namespace {

struct LinkSink {
    ServeOutput* output = nullptr;
};

void OnData(const uint8_t* data, uint32_t count, void* user)
{
    if (data && count > 0) static_cast<LinkSink*>(user)->output->AddRecords(data, count);
}

void OnLost(const uint8_t*, uint32_t, void* user)
{
    static_cast<LinkSink*>(user)->output->Send(FrameType::Lost, "the far probe is gone");
}

class Server {
public:
    Server(const ServeOptions& options, std::string programDirectory, ServeOutput& output)
        : options(options), programDirectory(std::move(programDirectory)), output(output)
    {
        sink.output = &output;
        link.SetCallbacks(OnData, OnLost, &sink);
    }

    // False once the session is over.
    bool Handle(const Frame& frame)
    {
        if (!helloSeen) {
            uint16_t version = 0;
            if (!remote::ReadHello(frame, version)) return Refuse("the desk did not begin with a hello");
            helloSeen = true;
            if (version != remote::kProtocolVersion)
                return Refuse("this ks-capture speaks remote protocol version " +
                              std::to_string(remote::kProtocolVersion) + ", the desk version " +
                              std::to_string(version) + ": install the same Kestrane version on both machines");
            return true;
        }
        switch (frame.type) {
        case FrameType::Open:
            OpenLink(frame.Text());
            return true;
        case FrameType::Firmware: {
            if (!link.IsOpened() || frame.payload.size() != 2) return Answer(frame.type, 0);
            char text[remote::kMaxText] = {};
            const int length = std::min<int>(frame.payload[1], kFirmwareLength);
            const int n = link.ReadFirmwareVersion(frame.payload[0], text, length);
            const int kept = std::max(0, std::min(n, length));
            output.SendAnswer(frame.type, kept, std::string(text, static_cast<std::size_t>(kept)));
            return true;
        }
        case FrameType::Parameters:
            if (!link.IsOpened()) return Answer(frame.type, 0);
            return Answer(frame.type, link.SetParameters(frame.payload.data(), static_cast<int>(frame.payload.size())));
        case FrameType::Start:
            return Answer(frame.type, link.IsOpened() ? link.RequestStart() : 0);
        case FrameType::Stop:
            return Answer(frame.type, link.IsOpened() ? link.RequestStop() : 0);
        case FrameType::Close:
            return false;
        default:
            return Refuse("the desk sent a frame that is no request");
        }
    }

    void Close() { link.Close(); }

private:
    static constexpr int kFirmwareLength = 64;

    bool Answer(FrameType type, int result)
    {
        output.SendAnswer(type, result);
        return true;
    }

    bool Refuse(const std::string& why)
    {
        std::fprintf(stderr, "ks-capture: %s\n", why.c_str());
        output.Send(FrameType::Refused, why);
        return false;
    }

    void OpenLink(const std::string& asked)
    {
        if (link.IsOpened()) {
            output.SendAnswer(FrameType::Open, 0, "the far probe is already open");
            return;
        }
        // A server started with --transport opens that one only.
        if (options.transportGiven && !asked.empty() && asked != options.transport) {
            output.SendAnswer(FrameType::Open, 0,
                              "this server opens only the transport '" + options.transport + "'");
            return;
        }
        const std::string name = options.transportGiven ? options.transport : asked;
        const TransportChoice choice =
            ChooseTransport(programDirectory, name.empty() ? nullptr : &name, std::getenv(kTransportEnvironment));
        if (choice.Refused()) {
            output.SendAnswer(FrameType::Open, 0, choice.error);
            return;
        }
        if (!choice.name.empty()) link.SetLibraryPath(choice.libraryPath);
        if (!link.Open()) {
            output.SendAnswer(FrameType::Open, 0, "no probe answered through " + TransportLibraryFile(choice.name));
            return;
        }
        output.SendAnswer(FrameType::Open, 1);
    }

    const ServeOptions& options;
    const std::string programDirectory;
    ServeOutput& output;
    LinkSink sink;
    CUSBCom link;
    bool helloSeen = false;
};

bool StopSignalPending(const sigset_t& stopSignals)
{
    const timespec zero{0, 0};
    return ::sigtimedwait(&stopSignals, nullptr, &zero) > 0;
}

} // namespace

bool WantsServe(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--serve") == 0) return true;
    return false;
}

bool ParseServeOptions(int argc, char** argv, ServeOptions& options, std::string& error)
{
    // Nothing that names a file goes with --serve: the far side opens its
    // transport and nothing else.
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--serve") continue;
        if (arg == "--transport" && i + 1 < argc) {
            options.transportGiven = true;
            options.transport = argv[++i];
        } else if (arg.rfind("--transport=", 0) == 0) {
            options.transportGiven = true;
            options.transport = arg.substr(12);
        } else {
            error = "--serve takes only --transport NAME, not " + arg;
            return false;
        }
    }
    if (options.transportGiven && !IsPlainTransportName(options.transport)) {
        error = "--transport takes a plain name of letters, digits, '-' and '_'";
        return false;
    }
    return true;
}

int RunServe(const ServeOptions& options, const std::string& programDirectory, const sigset_t& stopSignals)
{
    // Standard output carries the frames alone: whatever else would print
    // there goes to standard error, which ssh carries to the desk as text.
    const int frames = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (frames < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::fprintf(stderr, "ks-capture: %s\n", std::strerror(errno));
        return 1;
    }
    ServeOutput output(frames);
    output.Start();
    output.SendHello();
    int status = 0;
    {
        Server server(options, programDirectory, output);
        remote::FrameDecoder decoder;
        bool more = true;
        while (more) {
            if (StopSignalPending(stopSignals)) break;
            pollfd in{STDIN_FILENO, POLLIN, 0};
            const int ready = ::poll(&in, 1, 200);
            if (ready < 0 && errno != EINTR) break;
            if (ready <= 0) continue;
            uint8_t buffer[4096];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n == 0) break; // the desk or the connection is gone
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN) continue;
                break;
            }
            decoder.Feed(buffer, static_cast<std::size_t>(n));
            Frame frame;
            remote::FrameDecoder::Result r;
            while (more && (r = decoder.Next(frame)) == remote::FrameDecoder::Result::Frame) more = server.Handle(frame);
            if (more && r == remote::FrameDecoder::Result::Broken) {
                const std::string why = "garbled request: " + decoder.Error();
                std::fprintf(stderr, "ks-capture: %s\n", why.c_str());
                output.Send(FrameType::Refused, why);
                status = 1;
                more = false;
            }
        }
        server.Close();
    }
    output.Finish(2000);
    ::close(frames);
    return status;
}
