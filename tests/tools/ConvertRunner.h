#pragma once
// Runs the built ks-convert (it sits beside the test binary) as a process, in
// UTC unless told otherwise so that listed times are predictable.
#include <QStringList>

#include <string>
#include <vector>

struct ConvertRun {
    int exitCode = -1;
    bool finished = false;
    std::string out;
    std::string err;

    std::vector<std::string> OutLines() const;
};

ConvertRun RunConvert(const QStringList& args, const QString& timeZone = "UTC");
// Runs a shell command line in `folder`, with "$KS_CONVERT" naming the
// converter: for redirections and for file names given as raw bytes
// ($(printf 'caf\351.ksf')), as a user's shell passes them.
ConvertRun RunConvertInShell(const QString& commandLine, const QString& folder);
QString Arg(const std::string& text);
