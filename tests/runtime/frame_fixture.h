// A whole program for frame tests: an image made with the image builder from windows that a test
// describes, a library with the window and timer types and a recording probe unit type, the
// headless backend, and a handler table whose slots a test scripts.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image_builder/image_builder.h"
#include "platform/headless/headless.h"
#include "runtime/dispatch.h"
#include "runtime/image.h"
#include "runtime/library.h"
#include "runtime/startup.h"
#include "runtime/sysfunc.h"
#include "runtime/unit.h"
#include "runtime/windows.h"
#include "tests/runtime/runtime_test_support.h"
#include "units/timer/timer.h"
#include "units/window/window.h"

namespace kesu::test {

inline constexpr char kFrameLibraryId[] = "0F1E2D3C4B5A69788796A5B4C3D2E1F0";
inline constexpr uint32_t kCodeBase = 0x00400000;
inline constexpr uint32_t kMain = 0x52010001;
inline constexpr uint32_t kOther = 0x52010002;
inline constexpr uint32_t kProbeType = 0x00010005;
inline constexpr uint32_t kPlainType = 0x00010006;   // not an event source
inline constexpr uint32_t kHiddenType = 0x00010007;  // non-visual, like a timer
inline constexpr uint32_t kTimerType = 0x00010020;
inline constexpr int kHandlerSlots = 8;

// Everything probes and handlers did, in order.
inline std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
}

inline std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", v);
    return buf;
}

// The probe: a unit without a control that logs what the loader does to it and keeps its
// type-specific properties. Index 0 text, 1 word, 2 logical, 3 byte set, 4 font, 5 a word whose
// write asks for recreation, 6 two words. A stored block "fail" fails the creation.
class ProbeUnit : public Unit {
  public:
    static std::unique_ptr<ProbeUnit> Create(const UnitCreateInfo& info) {
        if (info.data == "fail") return nullptr;
        auto unit = std::make_unique<ProbeUnit>(info);
        unit->text = std::string(info.data);
        unit->control_id = info.control_id;
        unit->style = info.style;
        Log().push_back("create " + Hex(info.unit_id) + " id " + std::to_string(info.control_id));
        return unit;
    }
    explicit ProbeUnit(const UnitCreateInfo& info) : Unit(info) {}
    ~ProbeUnit() override { Log().push_back("delete " + Hex(unit_id())); }

    int SetProperty(int index, const PropertyValue& v) override {
        switch (index) {
            case 0:
                text = v.bytes;
                return 0;
            case 1:
                word = v.number;
                return 0;
            case 2:
                logical = v.number;
                return 0;
            case 3:
                bytes = v.bytes;
                return 0;
            case 4:
                font = v.bytes;
                return 0;
            case 5:
                word = v.number;
                return 1;
            case 6:
                wide = v.number;
                return 0;
            default:
                return 0;
        }
    }
    int GetProperty(int index, PropertyValue& out) override {
        switch (index) {
            case 0:
                out.bytes = text;
                return 1;
            case 1:
                out.number = word;
                return 1;
            case 2:
                out.number = logical;
                return 1;
            case 3:
                out.bytes = bytes;
                return 1;
            case 4:
                out.bytes = font;
                return 1;
            case 5:
                out.number = word;
                return 1;
            case 6:
                out.number = wide;
                return 1;
            default:
                return 0;
        }
    }
    int Save(std::string& block) override {
        block = text;
        return 1;
    }
    void SetParentUnit(Unit& parent) override {
        parent_id = parent.unit_id();
        Unit::SetParentUnit(parent);
    }
    void PlaceAfter(Unit* sibling) override { after = sibling ? sibling->unit_id() : 0; }
    void OnUnitsCreated() override {
        Log().push_back("units created " + Hex(unit_id()));
        // A unit whose stored block asks for it raises event 1 while its window still loads.
        if (text == "raise while loading") {
            Log().push_back(std::string("raised while loading: ") + (RaiseEvent(1) ? "1" : "0"));
        }
    }
    void OnLoadComplete() override { Log().push_back("load complete " + Hex(unit_id())); }
    void SetFocus() override { focused = true; }
    bool HasFocus() const override { return focused; }
    void OnDestroy() override { Log().push_back("destroy " + Hex(unit_id())); }

    // Raises an event of this unit as a unit class would.
    bool Raise(int event, std::initializer_list<int32_t> args = {}, EventResult* r = nullptr) {
        return RaiseEvent(event, args, r);
    }
    bool RaiseTyped(int event, std::span<const TypedArgument> args, EventResult* r = nullptr) {
        return RaiseTypedEvent(event, args, r);
    }

    std::string text, bytes, font;
    int64_t word = 0, logical = 0, wide = 0;
    int control_id = 0;
    uint32_t style = 0;
    uint32_t parent_id = 0;
    uint32_t after = 0xFFFFFFFF;
    bool focused = false;
};

inline UnitOperation ProbeInterface(int code) {
    return StandardUnitInterface<ProbeUnit>(code);
}

// The library's notification entry: logs the start-up and shutdown codes.
inline intptr_t LibraryNotify(int code, intptr_t, intptr_t) {
    Log().push_back("library " + std::to_string(code));
    return 0;
}

// A handler call as a test sees it.
struct Call {
    int slot;
    std::vector<uint32_t> args;
    uint32_t source_window = 0;  // the current event source during the call, 0 when none
    uint32_t source_unit = 0;
};

inline std::vector<Call>& Calls() {
    static std::vector<Call> calls;
    return calls;
}

inline std::function<EventResult(std::span<const uint32_t>)>& Script(int slot) {
    static std::function<EventResult(std::span<const uint32_t>)> scripts[kHandlerSlots];
    return scripts[slot];
}

template <int Slot>
EventResult Handler(std::span<const uint32_t> args) {
    Call call{Slot, {args.begin(), args.end()}};
    CurrentEventSource(call.source_window, call.source_unit);
    Calls().push_back(call);
    Log().push_back("handler " + std::to_string(Slot));
    return Script(Slot) ? Script(Slot)(args) : EventResult{};
}

inline const EventHandler kHandlers[kHandlerSlots] = {
    Handler<0>, Handler<1>, Handler<2>, Handler<3>, Handler<4>, Handler<5>, Handler<6>, Handler<7>};

inline EventBinding Bind(int32_t event, int32_t slot) {
    EventBinding b;
    b.event = event;
    b.offset = slot;
    return b;
}

inline UnitRecord Record(uint32_t id, uint32_t type, int32_t left = 10, int32_t top = 20,
                         int32_t width = 100, int32_t height = 30) {
    UnitRecord r;
    r.id = id;
    r.type = type;
    r.name = "u" + Hex(id);
    r.left = left;
    r.top = top;
    r.width = width;
    r.height = height;
    r.stateFlags = 0x5;  // visible, tab stop
    return r;
}

inline std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

inline std::vector<uint8_t> WindowBlock(const std::string& title, int32_t state = 0) {
    units::WindowSettings s;
    s.title = title;
    s.windowState = state;
    return Bytes(s.Save());
}

inline std::vector<uint8_t> TimerBlock(int32_t period) {
    BlockWriter w;
    w.Word(1);
    w.Word(period);
    return Bytes(w.Take());
}

inline WindowTemplate Window(uint32_t id, const std::string& title = "main") {
    WindowTemplate t;
    t.windowId = id;
    UnitRecord w = Record(kWindowRecordId, kUnitWindow, 50, 60, 400, 300);
    w.typeData = WindowBlock(title);
    t.records.push_back(w);
    return t;
}

class FrameTest : public ::testing::Test {
  protected:
    FrameTest() {
        Log().clear();
        Calls().clear();
        for (int i = 0; i < kHandlerSlots; ++i) Script(i) = nullptr;
        image.header.buildMode = 3;
        image.header.codeBase = kCodeBase;
        LibraryInfo lib;
        lib.identifier = kFrameLibraryId;
        lib.name = "frame";
        lib.types.resize(32);
        lib.types[0] = units::WindowTypeDescriptor();
        lib.types[4] = ProbeDescriptor(0x80000040);
        lib.types[5] = ProbeDescriptor(0x80000000);
        lib.types[6] = ProbeDescriptor(0x80008040);
        lib.types[31] = units::TimerTypeDescriptor();
        image.libraries.push_back(lib);
        image.constants.assign(16, 0);
    }

    static UnitTypeDescriptor ProbeDescriptor(uint32_t flags) {
        UnitTypeDescriptor t;
        t.present = true;
        t.chineseName = "probe";
        t.englishName = "Probe";
        t.flags = flags;
        const uint16_t kinds[] = {1001, 1001, 1001, 1001, 1005, 1003, 1003, 1011,
                                  1005, 1001, 1003, 1009, 1013, 1001, 1002};
        for (uint16_t k : kinds) t.properties.push_back({"", "", "", k, 0x8001, ""});
        return t;
    }

    // Builds the image and installs it with the library's code and the handler table.
    void Install() {
        bytes = tools::BuildProgramImage(image);
        NativeLibrary native;
        native.identifier = kFrameLibraryId;
        native.unitInterfaces.assign(32, nullptr);
        native.unitInterfaces[0] = units::WindowInterface;
        native.unitInterfaces[4] = ProbeInterface;
        native.unitInterfaces[5] = ProbeInterface;
        native.unitInterfaces[6] = ProbeInterface;
        native.unitInterfaces[31] = units::TimerInterface;
        for (auto [slot, interface] : extra_interfaces) native.unitInterfaces[slot] = interface;
        native.notify = LibraryNotify;
        RegisterLibrary(native);
        SetProgramImage(bytes);
        SetEventHandlers(kHandlers);
    }

    // Installs everything and runs the runtime's initialisation.
    void Start() {
        Install();
        InitialiseRuntime();
    }

    void Load(uint32_t window_id = kMain) { LoadStartupWindow(window_id); }

    template <class T = ProbeUnit>
    T* Unit(uint32_t unit_id, uint32_t window_id = kMain) {
        return dynamic_cast<T*>(FindUnit(window_id, unit_id));
    }
    units::WindowUnit* Win(uint32_t window_id = kMain) {
        return dynamic_cast<units::WindowUnit*>(FindUnit(window_id, 0));
    }
    platform::headless::HeadlessWindow* Native(uint32_t window_id = kMain) {
        units::WindowUnit* w = Win(window_id);
        return w ? dynamic_cast<platform::headless::HeadlessWindow*>(w->control()) : nullptr;
    }
    platform::headless::HeadlessLoop& loop() { return platform_.loop(); }
    // The error boxes shown through the platform, with their text, title and flags.
    std::vector<platform::MessageBoxRequest> Boxes() { return platform_.dialogs().Boxes(); }
    std::string LastBox() {
        auto boxes = Boxes();
        return boxes.empty() ? std::string() : boxes.back().text;
    }

    // Further unit types of the library's code, by type slot.
    std::vector<std::pair<size_t, UnitInterfaceFn>> extra_interfaces;
    platform::headless::HeadlessPlatform platform_;
    platform::ScopedInstall install_{platform_};
    RuntimeSandbox sandbox_;
    ProgramImage image;
    std::vector<uint8_t> bytes;
};

// Finds the position of an entry in the log, or -1.
inline int LogIndex(const std::string& entry) {
    for (size_t i = 0; i < Log().size(); ++i) {
        if (Log()[i] == entry) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace kesu::test
