// A program image that uses every record kind of the format: three libraries
// with unit types, property tables and empty type slots, a constant segment,
// DLL command lists, and windows with units of several types, children,
// mouse pointers, event bindings (-1 and 0 included), a menu item and window
// data of every version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/image.h"
#include "units/window/window_settings.h"

namespace kesu::test {

inline constexpr uint32_t kSampleWindow = 0x52010001;
inline constexpr uint32_t kSecondWindow = 0x52010002;
inline constexpr uint32_t kGroup = 0x16010001;
inline constexpr uint32_t kEdit = 0x16010002;
inline constexpr uint32_t kButton = 0x16010003;
inline constexpr uint32_t kSharedButton = 0x16010004;
inline constexpr uint32_t kMenu = 0x26010005;
inline constexpr char kCoreId[] = "d09f2340818511d396f6aaf844c7e325";
inline constexpr char kThreadId[] = "5F99C1642A2F4e03850721B4F5D7C3F8";
inline constexpr char kNumberId[] = "A512548E76954B6E92C21055517615B0";

inline UnitTypeDescriptor SampleType(const char* english, uint32_t flags, int specific) {
    UnitTypeDescriptor t;
    t.present = true;
    t.chineseName = "\xB4\xB0\xBF\xDA";  // 窗口
    t.englishName = english;
    t.flags = flags;
    const uint16_t common[] = {1001, 1001, 1001, 1001, 1005, 1003, 1003, 1011};
    for (uint16_t kind : common) t.properties.push_back({"", "", "", kind, 0xE000, ""});
    for (int i = 0; i < specific; ++i) {
        t.properties.push_back({"", "", "", static_cast<uint16_t>(1000 + i), 0x8001, ""});
    }
    return t;
}

inline LibraryInfo SampleLibrary(const char* id, const char* name, uint32_t flags) {
    LibraryInfo lib;
    lib.identifier = id;
    lib.majorVersion = 2;
    lib.buildNumber = 3;
    lib.versionWords[0] = 3;
    lib.versionWords[1] = 7;
    lib.versionWords[2] = 3;
    lib.versionWords[3] = 7;
    lib.name = name;
    lib.flags = flags;
    return lib;
}

inline UnitRecord SampleUnit(uint32_t id, uint32_t type, const std::string& name) {
    UnitRecord r;
    r.id = id;
    r.type = type;
    r.name = name;
    r.left = 10;
    r.top = 20;
    r.width = 100;
    r.height = 24;
    r.stateFlags = 0x5;
    return r;
}

inline units::WindowSettings SampleWindowData(uint32_t version) {
    units::WindowSettings d;
    d.minButton = 1;
    d.windowState = 0;
    d.further26 = 1;
    d.further27 = 1;
    d.alwaysOnTop = version >= 4 ? 1 : 0;
    if (version == 6) d.trayTip = "t19";
    // Fields a version lacks read back as defaults; keep them so.
    if (version < 2) d.further25 = 1;
    if (version < 3) d.further26 = 0;
    if (version < 5) d.further27 = 0;
    d.icon = "\1\2\3";
    d.title = "Kesu\xB4\xAE\xBF\xDA";  // Kesu串口
    return d;
}

inline WindowTemplate SampleWindow(uint32_t windowId, uint32_t version) {
    WindowTemplate w;
    w.windowId = windowId;
    w.name = version == 6 ? "" : "second";
    UnitRecord self = SampleUnit(kWindowRecordId, 0x00010001, "");
    self.children = {kGroup, kButton};
    const std::string data = SampleWindowData(version).Save(version);
    self.typeData.assign(data.begin(), data.end());
    self.events = {{0, 0}, {1, -1}, {2, 7}};
    w.records.push_back(self);

    UnitRecord group = SampleUnit(kGroup, 0x00010009,
                                  "\xB7\xD6\xD7\xE9\xBF\xF2"
                                  "1");
    group.children = {kEdit};
    group.typeData = {1, 0, 0, 0, 9, 9};
    w.records.push_back(group);

    UnitRecord edit = SampleUnit(kEdit, 0x00010005, "edit");
    edit.parent = kGroup;
    edit.mousePointer = {0x89, 0x7F, 0, 0};
    edit.tag = "tag";
    edit.tabOrder = 3;
    edit.events = {{1, 4}};
    edit.typeData = std::vector<uint8_t>(40, 0xAB);
    w.records.push_back(edit);

    UnitRecord button = SampleUnit(kButton, 0x0001000B, "button");
    button.events = {{0, 12}, {0, 13}};
    button.mousePointer = std::vector<uint8_t>(10, 0x42);  // cursor file data
    button.remark = "remark";
    w.records.push_back(button);

    UnitRecord shared = SampleUnit(kSharedButton, 0x0001000B, "shared");
    shared.eventSource = kButton;
    shared.reserved[2] = 9;
    shared.reserved3[4] = 8;
    w.records.push_back(shared);

    UnitRecord menu;
    menu.id = kMenu;
    menu.type = 0x00010003;
    menu.name = "menu";
    menu.menu.words[0] = 1;
    menu.menu.words[2] = 4;
    menu.menu.text = "&File";
    menu.menu.click.offset = 21;
    menu.typeData = {5, 6};
    w.records.push_back(menu);
    return w;
}

inline ProgramImage SampleImage() {
    ProgramImage image;
    image.header.buildMode = 3;
    image.header.buildNumber = 79780;
    image.header.codeBase = 0x1000;

    LibraryInfo core = SampleLibrary(kCoreId, "\xCF\xB5\xCD\xB3", 0xC0000001);
    core.majorVersion = 5;
    core.commandCount = 34;
    core.types.resize(0x27);  // unused slots stay empty
    core.types[0] = SampleType("window", 0x800000D0, 21);
    core.types[4] = SampleType("EditBox", 0x80000040, 30);
    core.types[8] = SampleType("GroupBox", 0x840140C0, 4);
    core.types[10] = SampleType("Button", 0x80000840, 5);
    core.types[0x26] = SampleType("SerialPort", 0x80008040, 10);
    image.libraries.push_back(core);
    image.libraries.push_back(SampleLibrary(kThreadId, "thread", 0xC0000000));
    LibraryInfo number = SampleLibrary(kNumberId, "number", 0xC0000000);
    number.types.resize(11);
    number.types[9] = SampleType("UnlNum", 0xC0000000, 0);
    number.types[9].properties.clear();
    image.libraries.push_back(number);

    image.constants = {0, 'a', 'b', 0, 1, 2, 3, 4};
    image.dllFiles = {"libc.so.6", ""};
    image.dllNames = {"abs", "labs"};

    image.windows.push_back(SampleWindow(kSampleWindow, 6));
    for (uint32_t v = 1; v <= 5; ++v)
        image.windows.push_back(SampleWindow(kSecondWindow + v - 1, v));
    return image;
}

}  // namespace kesu::test
