#include "units/button/button_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

bool ButtonSettings::decode(std::string_view data) {
    *this = ButtonSettings{};
    BlockReader in(data);
    if (!ReadVersion(in, kVersion)) return false;
    ReadFlag(in, defaultButton);
    ReadWord(in, hAlign);
    ReadWord(in, vAlign);
    ReadCounted(in, picture);
    ReadCounted(in, font);
    ReadCounted(in, caption);
    if (in.failed()) return false;
    hAlign = ClampChoice(hAlign, 0, 2);
    vAlign = ClampChoice(vAlign, 0, 2);
    return true;
}

std::string ButtonSettings::encode() const {
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
