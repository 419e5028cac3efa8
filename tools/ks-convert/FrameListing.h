#pragma once
// The frames of a capture as ks-convert prints them: the record area read
// chunk by chunk (any size, bounded memory) and fed to the chosen decoder;
// one line per frame, CSV rows, or only the counts.
#include "ConvertJob.h"
#include "DecodeSettings.h"

#include <string>

class OutputSink;

enum class FrameOutput { List, Csv, Count };

// Writes the frames of the capture at `path`; `matches` of the outcome is
// the number of frames.
ConvertOutcome WriteFrames(const std::string& path, const DecodeSettings& settings, FrameOutput output,
                           OutputSink& out);
