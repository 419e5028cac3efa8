#pragma once
// Opens a capture file the way the program's Open does: the header's display
// settings first, then the record area decoded with them into a line store.
#include <string>

class CDisplayMode;
class CLines;

// TooLarge: the memory it needs is not there (the converter says how much).
enum class LoadResult { Ok, TypeError, OpenFailed, TooLarge };

// The layout the program's view would give: line width and character cell.
struct Layout {
    int lineWidth = 0;
    int cxChar = 0;
    int cyChar = 0;
};

// Fills `mode` and `lines` from `path`. On failure `lines` may hold part of the
// file and must not be listed.
LoadResult LoadCapture(const std::string& path, const Layout& layout, CDisplayMode& mode, CLines& lines);

// The program's own message for a failed load.
const char* LoadErrorText(LoadResult result);
