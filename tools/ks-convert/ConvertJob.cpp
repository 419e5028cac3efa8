#include "ConvertJob.h"

#include "ItemListing.h"
#include "OutputSink.h"

#include "CDisplayFonts.h"
#include "CDisplayMode.h"
#include "CLines.h"

#include <cstdio>
#include <memory>
#include <unistd.h>

Layout ScreenLayout(int lineWidth)
{
    // Should the font not load, a plain 8 x 16 cell keeps the layout usable.
    const CharCell cell = CDisplayFonts(16).MeasureCell();
    Layout layout;
    layout.lineWidth = lineWidth;
    layout.cxChar = cell.cxChar > 0 ? cell.cxChar : 8;
    layout.cyChar = cell.cyChar > 0 ? cell.cyChar : 16;
    return layout;
}

void WriteForm(OutputForm form, const CDisplayMode& mode, const CLines& lines, OutputSink& out)
{
    switch (form) {
    case OutputForm::Listing: WriteListing(lines, out); break;
    case OutputForm::Csv: WriteCsv(lines, out); break;
    case OutputForm::Counters: WriteCounters(lines, out); break;
    case OutputForm::Header: WriteHeaderSettings(mode, out); break;
    case OutputForm::Find: break; // searches need their query: WriteFindMatches
    }
}

std::string ConvertToFile(const std::string& capture, const std::string& target, OutputForm form, const Layout& layout)
{
    if (capture.empty()) return "Choose a capture file.";
    if (target.empty()) return "Choose a target file.";
    if (capture == target) return "The target must not be the capture file.";
    CDisplayMode mode;
    auto lines = std::make_unique<CLines>();
    const LoadResult result = LoadCapture(capture, layout, mode, *lines);
    if (result != LoadResult::Ok) return LoadErrorText(result);

    // Written beside the target first, so that a failure half-way leaves an
    // existing target as it was.
    const std::string temp = target + ".converting-" + std::to_string(::getpid());
    std::FILE* file = std::fopen(temp.c_str(), "wbx");
    if (!file) return "Could not create the target file.";
    bool ok;
    {
        OutputSink out(file);
        WriteForm(form, mode, *lines, out);
        ok = out.Flush();
    }
    ok = std::fclose(file) == 0 && ok;
    if (ok) ok = std::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        std::remove(temp.c_str());
        return "Could not write the target file.";
    }
    return {};
}
