#include "units/common_dialog/common_dialog_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"
#include "units/common/visual.h"

namespace kesu::units {

bool CommonDialogSettings::Load(std::string_view block) {
    *this = CommonDialogSettings{};
    BlockReader in(block);
    if (!ReadVersion(in, kVersion)) return RejectBlock(*this);
    ReadWord(in, dialogType);
    ReadWord(in, filterIndex);
    ReadFlag(in, createPrompt);
    ReadFlag(in, fileMustExist);
    ReadFlag(in, overwritePrompt);
    ReadFlag(in, pathMustExist);
    ReadFlag(in, noChangeDir);
    ReadWord(in, fontColour);
    ReadFlag(in, fontBold);
    ReadFlag(in, fontItalic);
    ReadFlag(in, fontStrikeOut);
    ReadFlag(in, fontUnderline);
    ReadWord(in, fontSize);
    ReadWord(in, helpCommand);
    ReadWord(in, helpContext);
    ReadCounted(in, title);
    ReadCounted(in, fileName);
    ReadCounted(in, filter);
    ReadCounted(in, initialDir);
    ReadCounted(in, defaultExt);
    ReadCounted(in, fontName);
    ReadCounted(in, helpFile);
    if (in.failed()) return RejectBlock(*this);
    dialogType = ClampChoice(dialogType, 0, 3);
    filterIndex = std::max(filterIndex, 0);
    fontSize = std::max(fontSize, 0);
    helpCommand = ClampChoice(helpCommand, 0, 5);
    return true;
}

std::string CommonDialogSettings::Save() const {
    BlockWriter out;
    WriteWord(out, kVersion);
    WriteWord(out, dialogType);
    WriteWord(out, filterIndex);
    WriteFlag(out, createPrompt);
    WriteFlag(out, fileMustExist);
    WriteFlag(out, overwritePrompt);
    WriteFlag(out, pathMustExist);
    WriteFlag(out, noChangeDir);
    WriteWord(out, fontColour);
    WriteFlag(out, fontBold);
    WriteFlag(out, fontItalic);
    WriteFlag(out, fontStrikeOut);
    WriteFlag(out, fontUnderline);
    WriteWord(out, fontSize);
    WriteWord(out, helpCommand);
    WriteWord(out, helpContext);
    WriteCounted(out, title);
    WriteCounted(out, fileName);
    WriteCounted(out, filter);
    WriteCounted(out, initialDir);
    WriteCounted(out, defaultExt);
    WriteCounted(out, fontName);
    WriteCounted(out, helpFile);
    return out.Take();
}

}  // namespace kesu::units
