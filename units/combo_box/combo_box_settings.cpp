#include "units/combo_box/combo_box_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

std::string ComboBoxSettings::packItemData(const std::vector<std::int32_t>& values) {
    BlockWriter out;
    for (std::int32_t v : values) WriteWord(out, v);
    return out.Take();
}

std::vector<std::int32_t> ComboBoxSettings::unpackItemData(const std::string& bytes) {
    BlockReader in(bytes);
    std::vector<std::int32_t> values(bytes.size() / 4);
    for (auto& v : values) v = in.Word();
    return values;
}

bool ComboBoxSettings::Load(std::string_view block) {
    *this = ComboBoxSettings{};
    BlockReader in(block);
    std::uint32_t version = 0;
    if (!ReadVersion(in, kVersion, version)) return RejectBlock(*this);
    ReadWord(in, listType);
    ReadWord(in, maxLength);
    ReadWord(in, selStart);
    ReadWord(in, selLength);
    ReadFlag(in, sorted);
    ReadWord(in, itemHeight);
    ReadWord(in, textColour);
    ReadWord(in, backColour);
    ReadWord(in, listIndex);
    ReadCounted(in, font);
    std::string packed;
    ReadCounted(in, packed);
    itemData = unpackItemData(packed);
    ReadCounted(in, content);
    ReadTextList(in, items);
    if (version >= 2) {
        ReadCounted(in, dataSource);
        ReadCounted(in, dataColumn);
    }
    if (version >= 3) ReadWord(in, bindingFlag);
    if (in.failed()) return RejectBlock(*this);
    listType = ClampChoice(listType, 0, 2);
    maxLength = ClampChoice(maxLength, 0, 32767);
    itemHeight = ClampChoice(itemHeight, 0, 32767);
    return true;
}

std::string ComboBoxSettings::Save() const {
    BlockWriter out;
    WriteWord(out, kVersion);
    WriteWord(out, listType);
    WriteWord(out, maxLength);
    WriteWord(out, selStart);
    WriteWord(out, selLength);
    WriteFlag(out, sorted);
    WriteWord(out, itemHeight);
    WriteWord(out, textColour);
    WriteWord(out, backColour);
    WriteWord(out, listIndex);
    WriteCounted(out, font);
    WriteCounted(out, packItemData(itemData));
    WriteCounted(out, content);
    WriteTextList(out, items);
    WriteCounted(out, dataSource);
    WriteCounted(out, dataColumn);
    WriteWord(out, bindingFlag);
    return out.Take();
}

}  // namespace kesu::units
