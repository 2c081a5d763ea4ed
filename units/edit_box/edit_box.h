#pragma once

// The edit box unit: a text-entry control whose whole text, colours, limits,
// selection and input rules the application reads and writes by property.

#include <memory>
#include <string>
#include <string_view>

#include "runtime/image.h"
#include "runtime/sysfunc.h"
#include "runtime/unit.h"
#include "units/common/selection.h"
#include "units/common/visual_unit.h"
#include "units/edit_box/edit_box_settings.h"
#include "units/edit_box/edit_rules.h"

namespace kesu::units {

class EditBoxUnit : public VisualUnit {
  public:
    // Unit-relative property indices.
    enum Property {
        kContent = 0,
        kBorderStyle,
        kTextColour,
        kBackColour,
        kFont,
        kHideSelection,
        kMaxLength,
        kMultiLine,
        kScrollBars,
        kAlignment,
        kInputMode,
        kPasswordChar,
        kLetterCase,
        kUpDownMode,
        kUpDownMin,
        kUpDownMax,
        kSelStart,
        kSelLength,
        kSelText,
        kDataSource,
        kDataColumn,
    };
    static constexpr int kEventChanged = 0;

    static std::unique_ptr<EditBoxUnit> Create(const UnitCreateInfo& info);

    int GetProperty(int index, PropertyValue& out) override;
    int Save(std::string& block) override;

    // The AddText method: each piece lands at the very end, whatever the caret,
    // and each piece that adds text fires Changed once.
    void AddText(std::string_view piece);

    const EditBoxSettings& settings() const { return s_; }
    platform::Edit& edit() { return *edit_; }
    // The up-down companion's two arrows (null when the box has none).
    platform::Button* up_arrow() { return up_.get(); }
    platform::Button* down_arrow() { return down_.get(); }

    // The companion follows the box wherever it goes.
    void SetGeometry(const UnitRect& rect) override;
    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    void SetParentUnit(Unit& parent) override;

  private:
    explicit EditBoxUnit(const UnitCreateInfo& info);
    int SetOwnProperty(int index, const PropertyValue& value) override;
    // A new font may make a single-line box taller.
    void ShowSharedProperty(Shared which) override;

    void OnNotify(platform::Notify n) override;
    void WriteContent(const std::string& text);
    void ApplyFont();
    void ApplyInputMode();
    void SetSelection(Selection sel);
    Selection CurrentSelection() const;
    void NormaliseOnFocusLoss();
    // Number boxes keep a copy of their (short) text, so that a key their
    // filter refused, which changes nothing, announces nothing either.
    bool Filters() const { return s_.inputMode >= 3 && s_.inputMode <= 10; }
    void RememberText();
    bool TextReallyChanged();
    void CreateUpDown(platform::Control* parent, bool visible, bool enabled);
    void PlaceUpDown();
    // One step of the up-down companion: towards UpDownMax (+1) or UpDownMin (-1).
    void Step(int direction);

    EditBoxSettings s_;
    platform::Edit* edit_ = nullptr;
    // Set while the unit itself changes the text, to hold back the control's
    // own change notification.
    bool setting_text_ = false;
    std::string shadow_;
    // The up-down companion: two small arrow buttons beside a single-line box.
    std::unique_ptr<platform::Button> up_;
    std::unique_ptr<platform::Button> down_;
};

UnitOperation EditBoxInterface(int code);
// The type's descriptor for the core library's list.
UnitTypeDescriptor EditBoxTypeDescriptor();

// Command body of the AddText method: unit reference, then one or more texts.
void AddTextCommand(ResultRecord* result, int argCount, ArgRecord* args);

}  // namespace kesu::units
