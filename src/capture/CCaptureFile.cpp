#include "CCaptureFile.h"

#include "CLines.h"

#include "RegularFile.h"

CCaptureFile::Result CCaptureFile::Read(const std::string& path)
{
    bytes.clear();
    type = CaptureFileTypeOf(path);
    if (type == CaptureFileType::None) return Result::TypeError;
    if (ks::ReadRegularFile(path, bytes) != ks::FileRead::Ok) return Result::OpenFailed;
    // A file shorter than its header is refused; one of exactly the
    // header's size is an empty log.
    if (bytes.size() < HeaderSize()) {
        bytes.clear();
        return Result::OpenFailed;
    }
    return Result::Ok;
}

bool CCaptureFile::ParseHeader(CDisplayMode& mode) const
{
    if (bytes.size() < HeaderSize()) return false;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    return type == CaptureFileType::Current ? mode.ParseCurrentHeader(data, bytes.size())
                                            : mode.ParseOldHeader(data, bytes.size());
}

void CCaptureFile::DecodeBody(CLines& lines, const CDisplayMode& mode) const
{
    if (bytes.size() < HeaderSize()) return;
    lines.LoadCaptureBody(type, Bytes() + HeaderSize(), bytes.size() - HeaderSize(), mode);
}
