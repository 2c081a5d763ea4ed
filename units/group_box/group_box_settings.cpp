#include "units/group_box/group_box_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

bool GroupBoxSettings::Load(std::string_view block) {
    *this = GroupBoxSettings{};
    BlockReader in(block);
    if (!ReadVersion(in, kVersion)) return RejectBlock(*this);
    ReadWord(in, hAlign);
    ReadWord(in, textColour);
    ReadWord(in, backColour);
    ReadCounted(in, font);
    ReadCounted(in, caption);
    if (in.failed()) return RejectBlock(*this);
    hAlign = ClampChoice(hAlign, 0, 2);
    return true;
}

std::string GroupBoxSettings::Save() const {
    BlockWriter out;
    WriteWord(out, kVersion);
    WriteWord(out, hAlign);
    WriteWord(out, textColour);
    WriteWord(out, backColour);
    WriteCounted(out, font);
    WriteCounted(out, caption);
    return out.Take();
}

}  // namespace kesu::units
