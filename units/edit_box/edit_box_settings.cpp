#include "units/edit_box/edit_box_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

bool EditBoxSettings::decode(std::string_view data) {
    *this = EditBoxSettings{};
    BlockReader in(data);
    std::uint32_t version = 0;
    if (!readVersion(in, kVersion, version)) return false;
    readWord(in, borderStyle);
    readWord(in, textColour);
    readWord(in, backColour);
    readFlag(in, hideSelection);
    readWord(in, maxLength);
    readFlag(in, multiLine);
    readWord(in, scrollBars);
    readWord(in, alignment);
    readWord(in, inputMode);
    readHalf(in, passwordChar);
    readWord(in, letterCase);
    readWord(in, upDownMode);
    readWord(in, upDownMin);
    readWord(in, upDownMax);
    readWord(in, selStart);
    readWord(in, selLength);
    readCounted(in, font);
    readCounted(in, content);
    if (version >= 2) {
        readCounted(in, dataSource);
        readCounted(in, dataColumn);
    }
    if (in.failed()) return false;
    borderStyle = clampChoice(borderStyle, 0, kMaxBorderStyle);
    maxLength = std::max(maxLength, 0);
    scrollBars = clampChoice(scrollBars, 0, 3);
    alignment = clampChoice(alignment, 0, 2);
    inputMode = clampChoice(inputMode, 0, 11);
    letterCase = clampChoice(letterCase, 0, 2);
    upDownMode = clampChoice(upDownMode, 0, 2);
    return true;
}

std::string EditBoxSettings::encode() const {
    BlockWriter out;
    writeWord(out, kVersion);
    writeWord(out, borderStyle);
    writeWord(out, textColour);
    writeWord(out, backColour);
    writeFlag(out, hideSelection);
    writeWord(out, maxLength);
    writeFlag(out, multiLine);
    writeWord(out, scrollBars);
    writeWord(out, alignment);
    writeWord(out, inputMode);
    writeHalf(out, passwordChar);
    writeWord(out, letterCase);
    writeWord(out, upDownMode);
    writeWord(out, upDownMin);
    writeWord(out, upDownMax);
    writeWord(out, selStart);
    writeWord(out, selLength);
    writeCounted(out, font);
    writeCounted(out, content);
    writeCounted(out, dataSource);
    writeCounted(out, dataColumn);
    return out.Take();
}

}  // namespace kesu::units
