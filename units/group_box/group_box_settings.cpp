#include "units/group_box/group_box_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

bool GroupBoxSettings::decode(std::string_view data) {
    *this = GroupBoxSettings{};
    BlockReader in(data);
    if (!readVersion(in, kVersion)) return false;
    readWord(in, hAlign);
    readWord(in, textColour);
    readWord(in, backColour);
    readCounted(in, font);
    readCounted(in, caption);
    if (in.failed()) return false;
    hAlign = clampChoice(hAlign, 0, 2);
    return true;
}

std::string GroupBoxSettings::encode() const {
    BlockWriter out;
    writeWord(out, kVersion);
    writeWord(out, hAlign);
    writeWord(out, textColour);
    writeWord(out, backColour);
    writeCounted(out, font);
    writeCounted(out, caption);
    return out.Take();
}

}  // namespace kesu::units
