#include "ProbeSetup.h"

#include "CCommSetting.h"
#include "CDisplayMode.h"
#include "CUSBCom.h"

#include <cstdio>
#include <string>

bool OpenProbe(CUSBCom& link, const CaptureOptions& options, const CDisplayMode& mode)
{
    if (!options.libraryPath.empty()) link.SetLibraryPath(options.libraryPath);
    if (!link.Open()) {
        std::fprintf(stderr, "Open Device Failed!\n");
        return false;
    }
    char firmware[65] = {};
    if (link.ReadFirmwareVersion(3, firmware, 64) > 0) std::fprintf(stderr, "%s\n", firmware);

    CCommSetting comm{std::string()};
    comm.Baudrate = options.baudIndex;
    comm.Databit = options.databit;
    comm.Parity = options.parity;
    comm.Stopbit = options.stopbit;
    uint8_t block[8] = {};
    comm.FillParameterBlock(block);
    CDisplayMode forced = mode;
    forced.Status = 1;
    block[4] = forced.GetOptionBits();
    if (link.SetParameters(block, 8) == 0) std::fprintf(stderr, "ks-capture: the probe refused the line parameters\n");
    std::fprintf(stderr, "%s\n", FormatLineParameters(comm.PackLineParameters()).c_str());
    return true;
}
