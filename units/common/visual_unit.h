#pragma once

// The base of every unit that shows a platform control: it owns the control
// (through which the runtime serves the common properties), maps stored
// settings onto platform values, writes the properties that visual units share
// (font, colours, data source and column), and turns focus notifications into
// the common got-focus and lost-focus events.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui.h"
#include "runtime/font.h"
#include "runtime/unit.h"
#include "runtime/value.h"
#include "units/common/values.h"

namespace kesu::units {

// Where a unit keeps the properties that visual units share: for each one it has, the
// unit-relative index and the settings field that stores it. A unit leaves out the ones it lacks.
struct SharedProperties {
    template <class T>
    struct Field {
        int index = -1;
        T* field = nullptr;
    };
    Field<std::string> font;  // a 60-byte font record or empty
    Field<std::uint32_t> textColour;
    Field<std::uint32_t> backColour;
    Field<std::string> dataSource;
    Field<std::string> dataColumn;
};

class VisualUnit : public Unit {
  public:
    explicit VisualUnit(const UnitCreateInfo& info) : Unit(info) {}
    ~VisualUnit() override;

    platform::Control* control() const override { return control_.get(); }

    // Stores a shared property in its field and shows it; every other property is the unit's
    // own and goes to SetOwnProperty. Shared properties need no rebuild (0).
    int SetProperty(int index, const PropertyValue& value) final;

  protected:
    enum class Shared { kFont, kTextColour, kBackColour, kDataSource, kDataColumn };

    // Called by each unit's constructor, once its settings exist.
    void DeclareSharedProperties(const SharedProperties& shared) { shared_ = shared; }
    // The declaration of a unit that has every shared property, under the names that units
    // give them in their property enums (kFont, kTextColour, ...) and settings (font, ...).
    template <class UnitType, class Settings>
    static SharedProperties EverySharedProperty(Settings& s) {
        SharedProperties shared;
        shared.font = {UnitType::kFont, &s.font};
        shared.textColour = {UnitType::kTextColour, &s.textColour};
        shared.backColour = {UnitType::kBackColour, &s.backColour};
        shared.dataSource = {UnitType::kDataSource, &s.dataSource};
        shared.dataColumn = {UnitType::kDataColumn, &s.dataColumn};
        return shared;
    }
    // A write of one of the unit's own properties; the answer is SetProperty's.
    virtual int SetOwnProperty(int index, const PropertyValue& value) = 0;
    // Shows a shared property that was just stored. The default hands the font and the colours
    // to the control; the data binding has nothing to show.
    virtual void ShowSharedProperty(Shared which);

    // Takes the created control, places it, applies the visibility and enabled
    // state that the creation style asks for, and routes its notifications to
    // OnNotify.
    void Attach(std::unique_ptr<platform::Control> control, const UnitCreateInfo& info);
    // Notifications of the control; the default raises the focus events.
    virtual void OnNotify(platform::Notify n);

    // The platform font for a stored font record: the record when it is a
    // 60-byte record, otherwise the default interface font.
    static platform::Font PlatformFont(std::string_view stored);

    // The caption write of the units that show one: store the written text in the given field
    // and show it on the control at once. Answers 0 (no rebuild).
    int WriteCaption(std::string& field, const PropertyValue& value);
    static platform::Border PlatformBorder(std::int32_t style);
    static platform::HAlign PlatformHAlign(std::int32_t align);
    static platform::VAlign PlatformVAlign(std::int32_t align);

    std::unique_ptr<platform::Control> control_;

  private:
    SharedProperties shared_;
};

// The parent control a unit is created in: the parent unit's control.
platform::Control* CreationParent(const UnitCreateInfo& info);

// The platform's Ui; the installed backend's controls.
platform::Ui& CurrentUi();

}  // namespace kesu::units
