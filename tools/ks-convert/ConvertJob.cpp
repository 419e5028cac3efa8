#include "ConvertJob.h"

#include "CaptureStream.h"
#include "FindListing.h"
#include "ItemListing.h"
#include "OutputSink.h"

#include "CDisplayFonts.h"
#include "CDisplayMode.h"
#include "CLines.h"

#include "RegularFile.h"

#include <cstdio>
#include <memory>
#include <new>
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
    case OutputForm::Decode: break; // frames are read from the records: WriteFrames
    }
}

ConvertOutcome WriteCapture(const std::string& path, OutputForm form, const Layout& layout, OutputSink& out,
                            const FindQuery& query, bool countOnly)
{
    ConvertOutcome outcome;
    CDisplayMode mode;
    CaptureStream stream(layout);
    outcome.result = stream.Open(path, mode);
    if (outcome.result != LoadResult::Ok) {
        outcome.error = outcome.result == LoadResult::TooLarge ? stream.TooLargeText() : LoadErrorText(outcome.result);
        return outcome;
    }
    bool read = true;
    // The walk keeps its memory bounded; should even that not be had, the
    // file is reported, never the converter ended by it.
    try {
    switch (form) {
    case OutputForm::Header:
        WriteHeaderSettings(mode, out);
        return outcome;
    case OutputForm::Counters:
        read = stream.Walk([](CLines&, int, int, int) {});
        if (read) WriteCounters(stream.Lines(), out);
        break;
    case OutputForm::Listing:
        read = stream.Walk([&out](CLines& lines, int first, int end, int lineBase) {
            WriteListingRows(lines, first, end, lineBase, out);
        });
        break;
    case OutputForm::Csv:
        out.Line(CsvHeaderLine());
        read = stream.Walk([&out](CLines& lines, int first, int end, int lineBase) {
            WriteCsvRows(lines, first, end, lineBase, out);
        });
        break;
    case OutputForm::Decode: break; // WriteFrames
    case OutputForm::Find: {
        StreamingFind find(mode, query, countOnly, out);
        read = stream.Walk([&find](CLines& lines, int first, int end, int lineBase) {
            find.Search(lines, first, end, lineBase);
        });
        if (read) outcome.matches = find.Finish();
        break;
    }
    }
    } catch (const std::bad_alloc&) {
        outcome.result = LoadResult::TooLarge;
        outcome.error = "Not enough memory: the capture could not be converted.";
        return outcome;
    }
    if (!read) {
        outcome.result = LoadResult::OpenFailed;
        outcome.error = LoadErrorText(LoadResult::OpenFailed);
    }
    return outcome;
}

std::string ConvertToFile(const std::string& capture, const std::string& target, OutputForm form, const Layout& layout)
{
    if (capture.empty()) return "Choose a capture file.";
    if (target.empty()) return "Choose a target file.";
    // By identity, not by spelling: "./x.ksf" and "/dir/x.ksf", or a link
    // to the capture, would otherwise be replaced by its own listing.
    if (capture == target || ks::SameFile(capture, target)) return "The target must not be the capture file.";
    // Written beside the target first, so that a failure half-way leaves an
    // existing target as it was.
    const std::string temp = target + ".converting-" + std::to_string(::getpid());
    std::FILE* file = std::fopen(temp.c_str(), "wbx");
    if (!file) return "Could not create the target file.";
    bool ok;
    ConvertOutcome outcome;
    {
        OutputSink out(file);
        outcome = WriteCapture(capture, form, layout, out);
        ok = out.Flush();
    }
    ok = std::fclose(file) == 0 && ok;
    if (outcome.result != LoadResult::Ok) {
        std::remove(temp.c_str());
        return outcome.error;
    }
    if (ok) ok = std::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        std::remove(temp.c_str());
        return "Could not write the target file.";
    }
    return {};
}
