#pragma once

// The common dialog unit: a unit without a window through which the program
// asks the user for a file name to open or save, or for a font, and shows help.
// The program sets its properties, calls OpenDialog and reads the answer back.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/dialogs.h"
#include "runtime/image.h"
#include "runtime/sysfunc.h"
#include "runtime/unit.h"
#include "units/common_dialog/common_dialog_settings.h"

namespace kesu::units {

class CommonDialogUnit : public Unit {
  public:
    enum Property {
        kDialogType = 0,
        kTitle,
        kFileName,
        kFilter,
        kFilterIndex,
        kInitialDir,
        kDefaultExt,
        kCreatePrompt,
        kFileMustExist,
        kOverwritePrompt,
        kPathMustExist,
        kNoChangeDir,
        kFontColour,
        kFontBold,
        kFontItalic,
        kFontStrikeOut,
        kFontUnderline,
        kFontName,
        kFontSize,
        kHelpFile,
        kHelpCommand,
        kHelpContext,
    };

    static std::unique_ptr<CommonDialogUnit> Create(const UnitCreateInfo& info);

    int SetProperty(int index, const PropertyValue& value) override;
    int GetProperty(int index, PropertyValue& out) override;
    int Save(std::string& block) override;

    // The OpenDialog method: true when the user confirmed (or help was shown).
    // May block for as long as the dialog is open.
    bool OpenDialog();

    // The platform request a file dialog of the current settings makes.
    platform::FileDialogRequest FileRequest() const;
    // The font the font dialog starts from, and the storing of its answer.
    platform::FontPick InitialFont() const;
    void StoreFont(const platform::FontPick& chosen);

    const CommonDialogSettings& settings() const { return s_; }

  private:
    explicit CommonDialogUnit(const UnitCreateInfo& info) : Unit(info) {}
    bool OpenFileDialog();
    bool OpenFontDialog();
    bool ShowHelp();

    CommonDialogSettings s_;
};

// The filter list as handed to the platform: trailing blanks stripped and,
// unless empty, ending in "||".
std::string PreparedFilter(const std::string& filter);

UnitOperation CommonDialogInterface(int code);
// The type's descriptor for the core library's list.
UnitTypeDescriptor CommonDialogTypeDescriptor();

// Command body of OpenDialog: unit reference; logical result.
void OpenDialogCommand(ResultRecord* result, int argCount, ArgRecord* args);

}  // namespace kesu::units
