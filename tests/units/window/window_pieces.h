// A window template with every piece a window may carry besides its units: a two-level menu, a
// notification-area icon, and a label whose mouse pointer is cursor file data. The headless and
// the Qt scenario load the same one.
#pragma once

#include <string>
#include <vector>

#include "platform/gbk.h"
#include "runtime/menus.h"
#include "runtime/value.h"
#include "tests/runtime/frame_fixture.h"
#include "units/label/label.h"
#include "units/label/label_settings.h"

namespace kesu::test {

using platform::Gbk;

inline constexpr uint32_t kLabelType = 0x0001000A;
inline constexpr uint32_t kPointed = 0x16010010;
inline constexpr uint32_t kFileMenu = 0x26010001;
inline constexpr uint32_t kOpenItem = 0x26010002;
inline constexpr uint32_t kRecentMenu = 0x26010004;
inline constexpr uint32_t kRecentItem = 0x26010005;
inline constexpr uint32_t kHelpMenu = 0x26010006;
inline constexpr uint32_t kCtrl = 0x10000;

inline UnitRecord MenuItem(uint32_t id, const std::string& caption, uint32_t level,
                           uint32_t state = 0, uint32_t shortcut = 0, int32_t handler = -1) {
    UnitRecord r;
    r.id = id;
    r.type = kUnitMenuItem;
    r.name = "m" + Hex(id);
    r.menu.words[kMenuWordState] = state;
    r.menu.words[kMenuWordLevel] = level;
    r.menu.words[kMenuWordShortcut] = shortcut;
    r.menu.text = caption;
    r.menu.click.offset = handler;
    return r;
}

// An 8 by 8 cursor of 24-bit colour with its hot spot at (3, 5): red, the bottom row blue, and
// the top left pixel left out by the mask.
inline std::vector<uint8_t> CursorFile() {
    ByteWriter w;
    w.Bytes(std::string("\0\0\2\0\1\0", 6));  // a cursor file with one picture
    const uint32_t colour = 8 * 8 * 3;
    const uint32_t mask = 8 * 4;
    w.Bytes(std::string("\x08\x08\0\0", 4));
    w.Bytes(std::string("\x03\0\x05\0", 4));  // the hot spot
    w.Word(40 + colour + mask);
    w.Word(22);
    for (uint32_t v : {40u, 8u, 16u}) w.Word(v);
    w.Bytes(std::string("\1\0\x18\0", 4));  // one plane, 24 bits
    for (int i = 0; i < 6; ++i) w.Word(0);
    for (int y = 7; y >= 0; --y) {  // bottom row first
        for (int x = 0; x < 8; ++x) {
            const bool left_out = x == 0 && y == 0;
            w.Bytes(left_out ? std::string("\0\0\0", 3)
                    : y == 7 ? std::string("\xFF\0\0", 3)
                             : std::string("\0\0\xFF", 3));
        }
    }
    for (int y = 7; y >= 0; --y)
        w.Bytes(y == 0 ? std::string("\x80\0\0\0", 4) : std::string(4, '\0'));
    return w.Take();
}

// An animated cursor whose first frame is `frame`, its second a damaged one.
inline std::vector<uint8_t> AnimatedCursor(const std::vector<uint8_t>& frame) {
    ByteWriter frames;
    frames.Bytes("fram");
    for (const std::vector<uint8_t>& f : {frame, std::vector<uint8_t>{1, 2, 3}}) {
        frames.Bytes("icon");
        frames.Counted(f);
        if (f.size() % 2) frames.Bytes(std::string(1, '\0'));
    }
    ByteWriter w;
    w.Bytes("RIFF");
    w.Word(static_cast<uint32_t>(4 + 8 + 36 + 8 + frames.size()));
    w.Bytes("ACON");
    w.Bytes("anih");
    w.Word(36);
    w.Bytes(std::string(36, '\0'));
    w.Bytes("LIST");
    w.Counted(frames.bytes());
    return w.Take();
}

// Menu 文件 (File) with 打开 (Open, Ctrl+O, handler 1), a separator and the pop-up 最近 (Recent)
// with one checked entry (handler 2); then 帮助 (Help), disabled. The window shows a
// notification-area icon with a tip of 70 bytes (handler 3 for its clicks), and a label whose
// pointer is the cursor file above.
inline WindowTemplate PiecesWindow() {
    WindowTemplate t = Window(kMain);
    units::WindowSettings s;
    s.title = "pieces";
    s.windowState = 0;
    s.trayIcon = "tray picture";
    s.trayTip = std::string(61, 't') + Gbk("串口") + "xyz";
    t.records[0].typeData = Bytes(s.Save());
    t.records[0].events = {Bind(9, 3)};
    t.records.push_back(MenuItem(kFileMenu, Gbk("文件(&F)"), 0));
    t.records.push_back(MenuItem(kOpenItem, Gbk("打开(&O)"), 1, 0, kCtrl | 'O', 1));
    t.records.push_back(MenuItem(0x26010003, "-", 1));
    t.records.push_back(MenuItem(kRecentMenu, Gbk("最近"), 1));
    t.records.push_back(MenuItem(kRecentItem, "a.txt", 2, menu_state::kChecked, 0, 2));
    t.records.push_back(MenuItem(kHelpMenu, Gbk("帮助"), 0, menu_state::kDisabled));
    UnitRecord label = Record(kPointed, kLabelType, 20, 30, 120, 40);
    label.typeData = Bytes(units::LabelSettings{}.Save());
    label.mousePointer = CursorFile();
    t.records.push_back(label);
    return t;
}

// The frame library with the types the pieces need: menu items and labels.
inline void AddPiecesTypes(LibraryInfo& lib) {
    lib.types[kUnitMenuItem - 0x10001] = MenuItemTypeDescriptor();
    lib.types[kLabelType - 0x10001] = units::LabelTypeDescriptor();
}

}  // namespace kesu::test
