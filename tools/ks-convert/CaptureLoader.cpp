#include "CaptureLoader.h"

#include "CCaptureFile.h"
#include "CLines.h"
#include "CDisplayMode.h"

LoadResult LoadCapture(const std::string& path, const Layout& layout, CDisplayMode& mode, CLines& lines)
{
    if (CaptureFileTypeOf(path) == CaptureFileType::None) return LoadResult::TypeError;

    lines.Clear();
    mode = CDisplayMode{};
    // The header replaces everything but the layout, which comes from the view.
    mode.cxLine = layout.lineWidth;
    mode.cxChar = layout.cxChar;
    mode.cyChar = layout.cyChar;
    // Header and records from one read of one regular file: a FIFO or a
    // device is refused at once, never waited on.
    CCaptureFile file;
    if (file.Read(path) != CCaptureFile::Result::Ok || !file.ParseHeader(mode)) return LoadResult::OpenFailed;
    file.DecodeBody(lines, mode);
    return LoadResult::Ok;
}

const char* LoadErrorText(LoadResult result)
{
    switch (result) {
    case LoadResult::Ok: return "";
    case LoadResult::TypeError: return "File type error!";
    case LoadResult::OpenFailed: return "Open file failed!";
    }
    return "Open file failed!";
}
