#include "units/button/button_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

bool ButtonSettings::Load(std::string_view block) {
    *this = ButtonSettings{};
    BlockReader in(block);
    if (!ReadVersion(in, kVersion)) return RejectBlock(*this);
    ReadFlag(in, defaultButton);
    ReadWord(in, hAlign);
    ReadWord(in, vAlign);
    ReadCounted(in, picture);
    ReadCounted(in, font);
    ReadCounted(in, caption);
    if (in.failed()) return RejectBlock(*this);
    hAlign = ClampChoice(hAlign, 0, 2);
    vAlign = ClampChoice(vAlign, 0, 2);
    return true;
}

std::string ButtonSettings::Save() const {
    BlockWriter out;
    WriteWord(out, kVersion);
    WriteFlag(out, defaultButton);
    WriteWord(out, hAlign);
    WriteWord(out, vAlign);
    WriteCounted(out, picture);
    WriteCounted(out, font);
    WriteCounted(out, caption);
    return out.Take();
}

}  // namespace kesu::units
