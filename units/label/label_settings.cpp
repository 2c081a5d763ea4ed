#include "units/label/label_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

bool LabelSettings::decode(std::string_view data) {
    *this = LabelSettings{};
    BlockReader in(data);
    std::uint32_t version = 0;
    if (!readVersion(in, kVersion, version)) return false;
    readWord(in, textEffect);
    readWord(in, frameWidth);
    readWord(in, borderStyle);
    for (auto& c : frameColours) readWord(in, c);
    readWord(in, textColour);
    readWord(in, backColour);
    readWord(in, pictureLayout);
    readWord(in, gradientMode);
    for (auto& c : gradientColours) readWord(in, c);
    readWord(in, hAlign);
    readWord(in, vAlign);
    readFlag(in, wordWrap);
    readCounted(in, font);
    readCounted(in, picture);
    readCounted(in, caption);
    if (version >= 2) {
        readCounted(in, dataSource);
        readCounted(in, dataColumn);
    }
    if (in.failed()) return false;
    textEffect = clampChoice(textEffect, 0, 3);
    frameWidth = std::max(frameWidth, 5);
    borderStyle = clampChoice(borderStyle, 0, kGradedFrame);
    pictureLayout = clampChoice(pictureLayout, 0, 2);
    gradientMode = clampChoice(gradientMode, 0, 8);
    hAlign = clampChoice(hAlign, 0, 2);
    vAlign = clampChoice(vAlign, 0, 2);
    return true;
}

std::string LabelSettings::encode() const {
    BlockWriter out;
    writeWord(out, kVersion);
    writeWord(out, textEffect);
    writeWord(out, frameWidth);
    writeWord(out, borderStyle);
    for (auto c : frameColours) writeWord(out, c);
    writeWord(out, textColour);
    writeWord(out, backColour);
    writeWord(out, pictureLayout);
    writeWord(out, gradientMode);
    for (auto c : gradientColours) writeWord(out, c);
    writeWord(out, hAlign);
    writeWord(out, vAlign);
    writeFlag(out, wordWrap);
    writeCounted(out, font);
    writeCounted(out, picture);
    writeCounted(out, caption);
    writeCounted(out, dataSource);
    writeCounted(out, dataColumn);
    return out.Take();
}

}  // namespace kesu::units
