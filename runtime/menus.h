// Window menus: the menu bar built from a template's menu-item records, the command identifiers
// of its entries, and the four properties of a menu item.
//
// A menu item record keeps, after its name and remark, three words, its caption and its click
// handler. The words are:
//   word 0  state flags: bit 0 hidden, bit 1 disabled, bit 2 checked;
//   word 1  level: 0 for an entry on the bar, n + 1 for an entry in the pop-up of the nearest
//           earlier item of level n;
//   word 2  shortcut key: a virtual-key code in the low 16 bits (letters and digits as their
//           upper-case characters, F1 0x70 to F24 0x87, and the editing and arrow keys), with
//           0x10000 for Ctrl, 0x20000 for Shift and 0x40000 for Alt; 0 for none.
// A caption "-" makes a separator.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui.h"
#include "runtime/image.h"

namespace kesu {

struct LoadedWindow;

namespace menu_state {
inline constexpr uint32_t kHidden = 0x1;
inline constexpr uint32_t kDisabled = 0x2;
inline constexpr uint32_t kChecked = 0x4;
}  // namespace menu_state

inline constexpr int kMenuWordState = 0;
inline constexpr int kMenuWordLevel = 1;
inline constexpr int kMenuWordShortcut = 2;

// Menu command identifiers: item n of the window's menu-item records has 20000 + n. Identifiers
// from 57600 on are the framework's.
inline constexpr int kFirstMenuCommand = 20000;
inline constexpr int kEndMenuCommands = 57600;

// The shortcut as the platform names it ("Ctrl+Shift+F5"); empty for none or for a key the
// platform has no name for.
std::string ShortcutText(uint32_t word);

// The bar of the template's menu-item records in record order; null when it has none.
std::unique_ptr<platform::MenuBar> BuildMenuBar(const WindowTemplate& tmpl);

// Raises event 0 of the menu item that a command identifier selects. False for an identifier
// outside the menu's range or beyond its last item.
bool RaiseMenuCommand(uint32_t window_id, int command);

// A menu item's caption and state: from the live menu while the window is loaded, else from the
// record (menu-item properties 0 caption, 1 checked, 2 disabled, 3 visible).
platform::MenuEntry MenuItemState(LoadedWindow& window, const UnitRecord& record);
// Writes the caption and state into the record, then into the live menu.
void SetMenuItemState(LoadedWindow& window, UnitRecord& record, const platform::MenuEntry& state);

// The type descriptor of menu items (core library type 3): an event source without a window
// of its own, with the four properties.
UnitTypeDescriptor MenuItemTypeDescriptor();

}  // namespace kesu
