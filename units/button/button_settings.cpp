#include "units/button/button_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

bool ButtonSettings::decode(std::string_view data) {
    *this = ButtonSettings{};
    BlockReader in(data);
    if (!readVersion(in, kVersion)) return false;
    readFlag(in, defaultButton);
    readWord(in, hAlign);
    readWord(in, vAlign);
    readCounted(in, picture);
    readCounted(in, font);
    readCounted(in, caption);
    if (in.failed()) return false;
    hAlign = clampChoice(hAlign, 0, 2);
    vAlign = clampChoice(vAlign, 0, 2);
    return true;
}

std::string ButtonSettings::encode() const {
    BlockWriter out;
    writeWord(out, kVersion);
    writeFlag(out, defaultButton);
    writeWord(out, hAlign);
    writeWord(out, vAlign);
    writeCounted(out, picture);
    writeCounted(out, font);
    writeCounted(out, caption);
    return out.Take();
}

}  // namespace kesu::units
