#include "CaptureLoader.h"

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
    if (!mode.ReadHeader(path)) return LoadResult::OpenFailed;
    if (!lines.OpenCaptureBody(path, mode)) return LoadResult::OpenFailed;
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
