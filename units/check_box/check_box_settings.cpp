#include "units/check_box/check_box_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

bool CheckBoxSettings::Load(std::string_view block) {
    *this = CheckBoxSettings{};
    BlockReader in(block);
    std::uint32_t version = 0;
    if (!ReadVersion(in, kVersion, version)) return RejectBlock(*this);
    ReadFlag(in, pushLike);
    ReadFlag(in, flat);
    ReadFlag(in, textLeft);
    ReadWord(in, hAlign);
    ReadWord(in, vAlign);
    ReadWord(in, textColour);
    ReadWord(in, backColour);
    // Only the value 1 marks the box; any other stored value leaves it clear.
    std::int32_t mark = 0;
    ReadWord(in, mark);
    checked = mark == 1;
    ReadCounted(in, picture);
    ReadCounted(in, font);
    ReadCounted(in, caption);
    if (version >= 2) {
        ReadCounted(in, dataSource);
        ReadCounted(in, dataColumn);
    }
    if (in.failed()) return RejectBlock(*this);
    hAlign = ClampChoice(hAlign, 0, 2);
    vAlign = ClampChoice(vAlign, 0, 2);
    return true;
}

std::string CheckBoxSettings::Save() const {
    BlockWriter out;
    WriteWord(out, kVersion);
    WriteFlag(out, pushLike);
    WriteFlag(out, flat);
    WriteFlag(out, textLeft);
    WriteWord(out, hAlign);
    WriteWord(out, vAlign);
    WriteWord(out, textColour);
    WriteWord(out, backColour);
    WriteFlag(out, checked);
    WriteCounted(out, picture);
    WriteCounted(out, font);
    WriteCounted(out, caption);
    WriteCounted(out, dataSource);
    WriteCounted(out, dataColumn);
    return out.Take();
}

}  // namespace kesu::units
