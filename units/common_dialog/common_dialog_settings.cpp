#include "units/common_dialog/common_dialog_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

bool CommonDialogSettings::decode(std::string_view data) {
    *this = CommonDialogSettings{};
    BlockReader in(data);
    if (!readVersion(in, kVersion)) return false;
    readWord(in, dialogType);
    readWord(in, filterIndex);
    readFlag(in, createPrompt);
    readFlag(in, fileMustExist);
    readFlag(in, overwritePrompt);
    readFlag(in, pathMustExist);
    readFlag(in, noChangeDir);
    readWord(in, fontColour);
    readFlag(in, fontBold);
    readFlag(in, fontItalic);
    readFlag(in, fontStrikeOut);
    readFlag(in, fontUnderline);
    readWord(in, fontSize);
    readWord(in, helpCommand);
    readWord(in, helpContext);
    readCounted(in, title);
    readCounted(in, fileName);
    readCounted(in, filter);
    readCounted(in, initialDir);
    readCounted(in, defaultExt);
    readCounted(in, fontName);
    readCounted(in, helpFile);
    if (in.failed()) return false;
    dialogType = clampChoice(dialogType, 0, 3);
    filterIndex = std::max(filterIndex, 0);
    fontSize = std::max(fontSize, 0);
    helpCommand = clampChoice(helpCommand, 0, 5);
    return true;
}

std::string CommonDialogSettings::encode() const {
    BlockWriter out;
    writeWord(out, kVersion);
    writeWord(out, dialogType);
    writeWord(out, filterIndex);
    writeFlag(out, createPrompt);
    writeFlag(out, fileMustExist);
    writeFlag(out, overwritePrompt);
    writeFlag(out, pathMustExist);
    writeFlag(out, noChangeDir);
    writeWord(out, fontColour);
    writeFlag(out, fontBold);
    writeFlag(out, fontItalic);
    writeFlag(out, fontStrikeOut);
    writeFlag(out, fontUnderline);
    writeWord(out, fontSize);
    writeWord(out, helpCommand);
    writeWord(out, helpContext);
    writeCounted(out, title);
    writeCounted(out, fileName);
    writeCounted(out, filter);
    writeCounted(out, initialDir);
    writeCounted(out, defaultExt);
    writeCounted(out, fontName);
    writeCounted(out, helpFile);
    return out.Take();
}

}  // namespace kesu::units
