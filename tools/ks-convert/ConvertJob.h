#pragma once
// One conversion as the converter's window runs it: a capture file into a
// text file of the chosen form. The command line writes the same forms to
// its standard output.
#include "CaptureLoader.h"
#include "ConvertOptions.h"
#include "FindQuery.h"

#include <string>

class CDisplayMode;
class CLines;
class OutputSink;

// The layout the program's view gives a line of `lineWidth` pixels, measured
// with the display font (needs a GUI application).
Layout ScreenLayout(int lineWidth);

void WriteForm(OutputForm form, const CDisplayMode& mode, const CLines& lines, OutputSink& out);

// What writing one capture came to: Ok, or the failure and its message.
struct ConvertOutcome {
    LoadResult result = LoadResult::Ok;
    std::string error;
    long long matches = 0; // the Find form's matches
};

// Writes the `form` of the capture at `path` to `out`, walking the file in
// pieces (CaptureStream) so that a file of any size takes bounded memory.
// The Find form searches for `query` (`countOnly`: writes only the number).
// A file that cannot be read to its end fails after what was written.
ConvertOutcome WriteCapture(const std::string& path, OutputForm form, const Layout& layout, OutputSink& out,
                            const FindQuery& query = {}, bool countOnly = false);

// Converts `capture` into `target`; an empty result on success, else the text
// that says what failed. The target is replaced only by a complete output.
std::string ConvertToFile(const std::string& capture, const std::string& target, OutputForm form, const Layout& layout);
