#include "units/window/window_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"

namespace kesu::units {

bool WindowSettings::Load(std::string_view block) {
    *this = WindowSettings{};
    if (block.empty()) return true;
    BlockReader in(block);
    std::uint32_t version = 0;
    if (!ReadVersion(in, kVersion, version)) return RejectBlock(*this);
    ReadWord(in, frameStyle);
    ReadWord(in, pictureLayout);
    ReadWord(in, backColour);
    ReadWord(in, maxButton);
    ReadWord(in, minButton);
    ReadWord(in, controlBox);
    ReadWord(in, windowState);
    ReadWord(in, movable);
    ReadWord(in, iconOption);
    for (std::int32_t& word : further21To24) ReadWord(in, word);
    if (version >= 2) ReadWord(in, further25);
    if (version >= 3) {
        ReadWord(in, further26);
        ReadWord(in, further28);
    }
    if (version >= 4) ReadWord(in, alwaysOnTop);
    if (version >= 5) ReadWord(in, further27);
    if (version >= 6) ReadCounted(in, trayTip);
    ReadCountedBlock(in, backPicture);
    ReadCountedBlock(in, trayIcon);
    ReadCountedBlock(in, icon);
    ReadCounted(in, title);
    ReadCounted(in, furtherText31);
    if (in.failed()) return RejectBlock(*this);
    return true;
}

std::string WindowSettings::Save(std::uint32_t version) const {
    BlockWriter out;
    WriteWord(out, version);
    WriteWord(out, frameStyle);
    WriteWord(out, pictureLayout);
    WriteWord(out, backColour);
    WriteWord(out, maxButton);
    WriteWord(out, minButton);
    WriteWord(out, controlBox);
    WriteWord(out, windowState);
    WriteWord(out, movable);
    WriteWord(out, iconOption);
    for (std::int32_t word : further21To24) WriteWord(out, word);
    if (version >= 2) WriteWord(out, further25);
    if (version >= 3) {
        WriteWord(out, further26);
        WriteWord(out, further28);
    }
    if (version >= 4) WriteWord(out, alwaysOnTop);
    if (version >= 5) WriteWord(out, further27);
    if (version >= 6) WriteCounted(out, trayTip);
    WriteCounted(out, backPicture);
    WriteCounted(out, trayIcon);
    WriteCounted(out, icon);
    WriteCounted(out, title);
    WriteCounted(out, furtherText31);
    return out.Take();
}

FrameDecoration ComputeFrameDecoration(const WindowSettings& s) {
    FrameDecoration d;
    if (s.frameStyle != 0) {
        d.frame = true;
        if (!s.title.empty() || s.controlBox == 1) {
            d.titleBar = true;
            d.systemMenu = s.controlBox == 1;
        }
        switch (s.frameStyle) {
            case 1:
                d.resizable = true;
                break;
            case 3:
                d.resizable = d.toolWindow = true;
                break;
            case 4:
                d.toolWindow = true;
                break;
            case 5:
                d.resizable = d.sunkenEdge = true;
                break;
            case 6:
                d.sunkenEdge = true;
                break;
            default:
                break;
        }
    }
    d.maxButton = s.maxButton == 1;
    d.minButton = s.minButton == 1;
    return d;
}

}  // namespace kesu::units
