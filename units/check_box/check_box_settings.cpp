#include "units/check_box/check_box_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

bool CheckBoxSettings::decode(std::string_view data) {
    *this = CheckBoxSettings{};
    BlockReader in(data);
    std::uint32_t version = 0;
    if (!readVersion(in, kVersion, version)) return false;
    readFlag(in, pushLike);
    readFlag(in, flat);
    readFlag(in, textLeft);
    readWord(in, hAlign);
    readWord(in, vAlign);
    readWord(in, textColour);
    readWord(in, backColour);
    // Only the value 1 marks the box; any other stored value leaves it clear.
    std::int32_t mark = 0;
    readWord(in, mark);
    checked = mark == 1;
    readCounted(in, picture);
    readCounted(in, font);
    readCounted(in, caption);
    if (version >= 2) {
        readCounted(in, dataSource);
        readCounted(in, dataColumn);
    }
    if (in.failed()) return false;
    hAlign = clampChoice(hAlign, 0, 2);
    vAlign = clampChoice(vAlign, 0, 2);
    return true;
}

std::string CheckBoxSettings::encode() const {
    BlockWriter out;
    writeWord(out, kVersion);
    writeFlag(out, pushLike);
    writeFlag(out, flat);
    writeFlag(out, textLeft);
    writeWord(out, hAlign);
    writeWord(out, vAlign);
    writeWord(out, textColour);
    writeWord(out, backColour);
    writeFlag(out, checked);
    writeCounted(out, picture);
    writeCounted(out, font);
    writeCounted(out, caption);
    writeCounted(out, dataSource);
    writeCounted(out, dataColumn);
    return out.Take();
}

}  // namespace kesu::units
