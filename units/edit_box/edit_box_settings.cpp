#include "units/edit_box/edit_box_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

bool EditBoxSettings::Load(std::string_view block) {
    *this = EditBoxSettings{};
    BlockReader in(block);
    std::uint32_t version = 0;
    if (!ReadVersion(in, kVersion, version)) return RejectBlock(*this);
    ReadWord(in, borderStyle);
    ReadWord(in, textColour);
    ReadWord(in, backColour);
    ReadFlag(in, hideSelection);
    ReadWord(in, maxLength);
    ReadFlag(in, multiLine);
    ReadWord(in, scrollBars);
    ReadWord(in, alignment);
    ReadWord(in, inputMode);
    ReadHalf(in, passwordChar);
    ReadWord(in, letterCase);
    ReadWord(in, upDownMode);
    ReadWord(in, upDownMin);
    ReadWord(in, upDownMax);
    ReadWord(in, selStart);
    ReadWord(in, selLength);
    ReadCounted(in, font);
    ReadCounted(in, content);
    if (version >= 2) {
        ReadCounted(in, dataSource);
        ReadCounted(in, dataColumn);
    }
    if (in.failed()) return RejectBlock(*this);
    borderStyle = ClampChoice(borderStyle, 0, kMaxBorderStyle);
    maxLength = std::max(maxLength, 0);
    scrollBars = ClampChoice(scrollBars, 0, 3);
    alignment = ClampChoice(alignment, 0, 2);
    inputMode = ClampChoice(inputMode, 0, 11);
    letterCase = ClampChoice(letterCase, 0, 2);
    upDownMode = ClampChoice(upDownMode, 0, 2);
    return true;
}

std::string EditBoxSettings::Save() const {
    BlockWriter out;
    WriteWord(out, kVersion);
    WriteWord(out, borderStyle);
    WriteWord(out, textColour);
    WriteWord(out, backColour);
    WriteFlag(out, hideSelection);
    WriteWord(out, maxLength);
    WriteFlag(out, multiLine);
    WriteWord(out, scrollBars);
    WriteWord(out, alignment);
    WriteWord(out, inputMode);
    WriteHalf(out, passwordChar);
    WriteWord(out, letterCase);
    WriteWord(out, upDownMode);
    WriteWord(out, upDownMin);
    WriteWord(out, upDownMax);
    WriteWord(out, selStart);
    WriteWord(out, selLength);
    WriteCounted(out, font);
    WriteCounted(out, content);
    WriteCounted(out, dataSource);
    WriteCounted(out, dataColumn);
    return out.Take();
}

}  // namespace kesu::units
