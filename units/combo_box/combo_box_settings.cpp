#include "units/combo_box/combo_box_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

std::string ComboBoxSettings::packItemData(const std::vector<std::int32_t>& values) {
    BlockWriter out;
    for (std::int32_t v : values) writeWord(out, v);
    return out.Take();
}

std::vector<std::int32_t> ComboBoxSettings::unpackItemData(const std::string& bytes) {
    BlockReader in(bytes);
    std::vector<std::int32_t> values(bytes.size() / 4);
    for (auto& v : values) v = in.Word();
    return values;
}

bool ComboBoxSettings::decode(std::string_view data) {
    *this = ComboBoxSettings{};
    BlockReader in(data);
    std::uint32_t version = 0;
    if (!readVersion(in, kVersion, version)) return false;
    readWord(in, listType);
    readWord(in, maxLength);
    readWord(in, selStart);
    readWord(in, selLength);
    readFlag(in, sorted);
    readWord(in, itemHeight);
    readWord(in, textColour);
    readWord(in, backColour);
    readWord(in, listIndex);
    readCounted(in, font);
    std::string packed;
    readCounted(in, packed);
    itemData = unpackItemData(packed);
    readCounted(in, content);
    readTextList(in, items);
    if (version >= 2) {
        readCounted(in, dataSource);
        readCounted(in, dataColumn);
    }
    if (version >= 3) readWord(in, bindingFlag);
    if (in.failed()) return false;
    listType = clampChoice(listType, 0, 2);
    maxLength = clampChoice(maxLength, 0, 32767);
    itemHeight = clampChoice(itemHeight, 0, 32767);
    return true;
}

std::string ComboBoxSettings::encode() const {
    BlockWriter out;
    writeWord(out, kVersion);
    writeWord(out, listType);
    writeWord(out, maxLength);
    writeWord(out, selStart);
    writeWord(out, selLength);
    writeFlag(out, sorted);
    writeWord(out, itemHeight);
    writeWord(out, textColour);
    writeWord(out, backColour);
    writeWord(out, listIndex);
    writeCounted(out, font);
    writeCounted(out, packItemData(itemData));
    writeCounted(out, content);
    writeTextList(out, items);
    writeCounted(out, dataSource);
    writeCounted(out, dataColumn);
    writeWord(out, bindingFlag);
    return out.Take();
}

}  // namespace kesu::units
