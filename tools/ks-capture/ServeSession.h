#pragma once
// `ks-capture --serve`: the far end of the remote transport. It speaks the
// frames of docs/remote-protocol.md on standard input and output: it opens
// the probe through its own transport when asked (a plain transport name,
// as everywhere), answers the requests through the same link as the
// program, and streams the records back. It ends when the desk closes, when
// its input ends (the connection is gone) or on a stop signal.
#include <string>

#include <signal.h>

struct ServeOptions {
    bool transportGiven = false; // --transport: the only transport this server opens
    std::string transport;
};

// Parses argv of a --serve run; false with a one-line reason in `error`.
bool ParseServeOptions(int argc, char** argv, ServeOptions& options, std::string& error);

// Whether argv asks for --serve.
bool WantsServe(int argc, char** argv);

// Runs the server; the exit status.
int RunServe(const ServeOptions& options, const std::string& programDirectory, const sigset_t& stopSignals);
