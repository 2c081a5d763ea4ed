#pragma once

// Loads one window holding visual units through the real runtime: the units'
// stored blocks go into a program image made by the image builder, the runtime
// reads it, the loader creates every unit through its type's interface
// function, and every event of every unit is bound to a handler that records
// it. Works over whichever platform backend the test installed.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "image_builder/image_builder.h"
#include "platform/platform.h"
#include "runtime/dispatch.h"
#include "runtime/errors.h"
#include "runtime/image.h"
#include "runtime/library.h"
#include "runtime/runtime_state.h"
#include "runtime/startup.h"
#include "runtime/sysfunc.h"
#include "runtime/unit.h"
#include "runtime/windows.h"
#include "units/button/button.h"
#include "units/check_box/check_box.h"
#include "units/combo_box/combo_box.h"
#include "units/common/type_descriptor.h"
#include "units/common_dialog/common_dialog.h"
#include "units/edit_box/edit_box.h"
#include "units/group_box/group_box.h"
#include "units/label/label.h"

namespace kesu::units::testing {

inline constexpr std::uint32_t kWindowId = 0x52010001;
inline constexpr char kLibraryId[] = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";
inline constexpr std::uint32_t kFirstUnitId = 0x16010001;

// The window the units sit in: a platform window and nothing more, so that
// these tests depend on the visual units alone.
class TestWindowUnit : public Unit {
  public:
    static std::unique_ptr<TestWindowUnit> Create(const UnitCreateInfo& info) {
        std::unique_ptr<TestWindowUnit> unit(new TestWindowUnit(info));
        unit->window_ = platform::Current().UserInterface().CreateWindow();
        unit->window_->SetGeometry({info.left, info.top, info.width, info.height});
        return unit;
    }
    platform::Control* control() const override { return window_.get(); }
    platform::Window& window() { return *window_; }

  private:
    explicit TestWindowUnit(const UnitCreateInfo& info) : Unit(info) {}
    std::unique_ptr<platform::Window> window_;
};

struct RecordedEvent {
    std::uint32_t unit = 0;
    int event = 0;
    bool operator==(const RecordedEvent&) const = default;
};

inline std::vector<RecordedEvent>& EventLog() {
    static std::vector<RecordedEvent> log;
    return log;
}

// Runs inside the handler, while the event is being handled.
inline std::function<void(const RecordedEvent&)>& EventHook() {
    static std::function<void(const RecordedEvent&)> hook;
    return hook;
}

template <int Event>
EventResult RecordEvent(std::span<const std::uint32_t>) {
    std::uint32_t window = 0;
    std::uint32_t unit = 0;
    CurrentEventSource(window, unit);
    RecordedEvent e{unit, Event};
    EventLog().push_back(e);
    if (EventHook()) EventHook()(e);
    return {};
}

// Handler table: the handler of event e sits at e + 8 (events -8 to 4).
inline constexpr EventHandler kRecordingHandlers[] = {
    RecordEvent<-8>, RecordEvent<-7>, RecordEvent<-6>, RecordEvent<-5>, RecordEvent<-4>,
    RecordEvent<-3>, RecordEvent<-2>, RecordEvent<-1>, RecordEvent<0>,  RecordEvent<1>,
    RecordEvent<2>,  RecordEvent<3>,  RecordEvent<4>};

struct ProgramEnded {
    int code;
};

class UnitHarness {
  public:
    // Each harness is a fresh run: its own runtime state, with an error box that shows nothing
    // and a process end that throws.
    UnitHarness() {
        SetErrorBoxPresenter([](const std::string&, const std::string&) {});
        SetProcessExit(ThrowOnExit);
        ClearRecording();
    }
    ~UnitHarness() {
        DestroyAllWindows();
        ClearRecording();
    }
    UnitHarness(const UnitHarness&) = delete;
    UnitHarness& operator=(const UnitHarness&) = delete;

    // Adds a unit record; its id is returned. `parent` 0 is the window.
    std::uint32_t Add(std::uint32_t type, std::string block, platform::Rect place,
                      std::uint32_t parent = 0,
                      std::uint32_t state = state_flag::kVisible | state_flag::kTabStop) {
        UnitRecord r;
        r.id = kFirstUnitId + static_cast<std::uint32_t>(records_.size());
        r.type = type;
        r.name = "unit" + std::to_string(records_.size());
        r.left = place.left;
        r.top = place.top;
        r.width = place.width;
        r.height = place.height;
        r.parent = parent;
        r.stateFlags = state;
        for (int e = -8; e <= 4; ++e) r.events.push_back({e, e + 8});
        r.typeData.assign(block.begin(), block.end());
        records_.push_back(r);
        return r.id;
    }

    // Builds the image, starts the runtime over it and loads the window.
    bool Load() {
        ProgramImage image;
        image.header.buildMode = 3;
        image.header.codeBase = 0x1000;
        image.constants = {0};
        image.libraries.push_back(Library());
        WindowTemplate w;
        w.windowId = kWindowId;
        UnitRecord self;
        self.id = kWindowRecordId;
        self.type = kUnitWindow;
        self.width = 640;
        self.height = 480;
        self.stateFlags = state_flag::kVisible;
        for (const auto& r : records_) {
            if (r.parent == 0) self.children.push_back(r.id);
        }
        w.records.push_back(self);
        for (auto r : records_) {
            for (const auto& child : records_) {
                if (child.parent == r.id) r.children.push_back(child.id);
            }
            w.records.push_back(r);
        }
        image.windows.push_back(w);
        bytes_ = tools::BuildProgramImage(image);
        SetProgramImage(bytes_);
        RegisterLibrary(Native());
        SetEventHandlers(kRecordingHandlers);
        InitialiseRuntime();
        LoadedWindow* window = FindLoadedWindow(kWindowId);
        return window && LoadWindow(*window, false, nullptr) == 1;
    }

    template <class T>
    T& Get(std::uint32_t id) {
        return dynamic_cast<T&>(*FindUnit(kWindowId, id));
    }
    TestWindowUnit& Window() { return dynamic_cast<TestWindowUnit&>(*FindUnit(kWindowId, 0)); }

    int Count(std::uint32_t unit, int event) const {
        int n = 0;
        for (const auto& e : EventLog()) n += e.unit == unit && e.event == event;
        return n;
    }
    std::vector<int> EventsOf(std::uint32_t unit) const {
        std::vector<int> out;
        for (const auto& e : EventLog()) {
            if (e.unit == unit) out.push_back(e.event);
        }
        return out;
    }
    void ClearEvents() { EventLog().clear(); }

    // A method call as compiled code makes it: the unit reference first.
    static ArgRecord Reference(std::uint32_t unit, std::uint32_t type) {
        ArgRecord r;
        r.low = kWindowId;
        r.high = unit;
        r.type = type;
        return r;
    }

  private:
    static LibraryInfo Library() {
        LibraryInfo lib;
        lib.identifier = kLibraryId;
        lib.name = "units";
        lib.types.resize(31);
        lib.types[0] = DescribeUnitType("\xB4\xB0\xBF\xDA", "window", 0x800000D0, {});
        lib.types[4] = EditBoxTypeDescriptor();
        lib.types[8] = GroupBoxTypeDescriptor();
        lib.types[9] = LabelTypeDescriptor();
        lib.types[10] = ButtonTypeDescriptor();
        lib.types[11] = CheckBoxTypeDescriptor();
        lib.types[13] = ComboBoxTypeDescriptor();
        lib.types[30] = CommonDialogTypeDescriptor();
        return lib;
    }
    static NativeLibrary Native() {
        NativeLibrary lib;
        lib.identifier = kLibraryId;
        lib.unitInterfaces.resize(31);
        lib.unitInterfaces[0] = StandardUnitInterface<TestWindowUnit>;
        lib.unitInterfaces[4] = EditBoxInterface;
        lib.unitInterfaces[8] = GroupBoxInterface;
        lib.unitInterfaces[9] = LabelInterface;
        lib.unitInterfaces[10] = ButtonInterface;
        lib.unitInterfaces[11] = CheckBoxInterface;
        lib.unitInterfaces[13] = ComboBoxInterface;
        lib.unitInterfaces[30] = CommonDialogInterface;
        return lib;
    }
    static void ThrowOnExit(int code) { throw ProgramEnded{code}; }
    static void ClearRecording() {
        EventLog().clear();
        EventHook() = nullptr;
    }

    RuntimeState state_;
    std::vector<UnitRecord> records_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace kesu::units::testing
