#pragma once
// One conversion as the converter's window runs it: a capture file into a
// text file of the chosen form. The command line writes the same forms to
// its standard output.
#include "CaptureLoader.h"
#include "ConvertOptions.h"

#include <string>

class CDisplayMode;
class CLines;
class OutputSink;

// The layout the program's view gives a line of `lineWidth` pixels, measured
// with the display font (needs a GUI application).
Layout ScreenLayout(int lineWidth);

void WriteForm(OutputForm form, const CDisplayMode& mode, const CLines& lines, OutputSink& out);

// Converts `capture` into `target`; an empty result on success, else the text
// that says what failed. The target is replaced only by a complete output.
std::string ConvertToFile(const std::string& capture, const std::string& target, OutputForm form, const Layout& layout);
