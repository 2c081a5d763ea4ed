#include "units/label/label_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

bool LabelSettings::Load(std::string_view block) {
    *this = LabelSettings{};
    BlockReader in(block);
    std::uint32_t version = 0;
    if (!ReadVersion(in, kVersion, version)) return RejectBlock(*this);
    ReadWord(in, textEffect);
    ReadWord(in, frameWidth);
    ReadWord(in, borderStyle);
    for (auto& c : frameColours) ReadWord(in, c);
    ReadWord(in, textColour);
    ReadWord(in, backColour);
    ReadWord(in, pictureLayout);
    ReadWord(in, gradientMode);
    for (auto& c : gradientColours) ReadWord(in, c);
    ReadWord(in, hAlign);
    ReadWord(in, vAlign);
    ReadFlag(in, wordWrap);
    ReadCounted(in, font);
    ReadCounted(in, picture);
    ReadCounted(in, caption);
    if (version >= 2) {
        ReadCounted(in, dataSource);
        ReadCounted(in, dataColumn);
    }
    if (in.failed()) return RejectBlock(*this);
    textEffect = ClampChoice(textEffect, 0, 3);
    frameWidth = std::max(frameWidth, 5);
    borderStyle = ClampChoice(borderStyle, 0, kGradedFrame);
    pictureLayout = ClampChoice(pictureLayout, 0, 2);
    gradientMode = ClampChoice(gradientMode, 0, 8);
    hAlign = ClampChoice(hAlign, 0, 2);
    vAlign = ClampChoice(vAlign, 0, 2);
    return true;
}

std::string LabelSettings::Save() const {
    BlockWriter out;
    WriteWord(out, kVersion);
    WriteWord(out, textEffect);
    WriteWord(out, frameWidth);
    WriteWord(out, borderStyle);
    for (auto c : frameColours) WriteWord(out, c);
    WriteWord(out, textColour);
    WriteWord(out, backColour);
    WriteWord(out, pictureLayout);
    WriteWord(out, gradientMode);
    for (auto c : gradientColours) WriteWord(out, c);
    WriteWord(out, hAlign);
    WriteWord(out, vAlign);
    WriteFlag(out, wordWrap);
    WriteCounted(out, font);
    WriteCounted(out, picture);
    WriteCounted(out, caption);
    WriteCounted(out, dataSource);
    WriteCounted(out, dataColumn);
    return out.Take();
}

}  // namespace kesu::units
