#include "runtime/menus.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/dispatch.h"
#include "runtime/windows.h"

namespace kesu {

namespace {

inline constexpr uint32_t kMenuItemTypeFlags = 0x80008004;

struct KeyName {
    uint32_t key;
    const char* name;
};
constexpr KeyName kKeyNames[] = {
    {0x08, "Backspace"}, {0x09, "Tab"},    {0x0D, "Return"}, {0x1B, "Esc"},  {0x20, "Space"},
    {0x21, "PgUp"},      {0x22, "PgDown"}, {0x23, "End"},    {0x24, "Home"}, {0x25, "Left"},
    {0x26, "Up"},        {0x27, "Right"},  {0x28, "Down"},   {0x2D, "Ins"},  {0x2E, "Del"},
};

platform::MenuEntry EntryOf(const UnitRecord& record, int command) {
    const uint32_t state = record.menu.words[kMenuWordState];
    platform::MenuEntry e;
    e.level = static_cast<int>(std::min<uint32_t>(record.menu.words[kMenuWordLevel], 64));
    e.caption = record.menu.text;
    e.checked = (state & menu_state::kChecked) != 0;
    e.enabled = (state & menu_state::kDisabled) == 0;
    e.visible = (state & menu_state::kHidden) == 0;
    e.shortcut = ShortcutText(record.menu.words[kMenuWordShortcut]);
    e.command = command;
    return e;
}

// The position of a record among the template's menu items, or -1.
int MenuIndexOf(const WindowTemplate& tmpl, const UnitRecord& record) {
    int n = 0;
    for (const UnitRecord& r : tmpl.records) {
        if (!r.IsMenuItem()) continue;
        if (&r == &record) return n;
        ++n;
    }
    return -1;
}

platform::MenuBar* LiveMenuBar(LoadedWindow& window) {
    Unit* unit = window.window_unit();
    auto* native = unit ? dynamic_cast<platform::Window*>(unit->control()) : nullptr;
    return native ? native->GetMenuBar() : nullptr;
}

}  // namespace

std::string ShortcutText(uint32_t word) {
    const uint32_t key = word & 0xFFFF;
    std::string name;
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
        name = std::string(1, static_cast<char>(key));
    } else if (key >= 0x70 && key <= 0x87) {
        name = "F" + std::to_string(key - 0x70 + 1);
    } else {
        for (const KeyName& k : kKeyNames) {
            if (k.key == key) name = k.name;
        }
    }
    if (name.empty()) return {};
    std::string text;
    if (word & 0x10000) text += "Ctrl+";
    if (word & 0x20000) text += "Shift+";
    if (word & 0x40000) text += "Alt+";
    return text + name;
}

std::unique_ptr<platform::MenuBar> BuildMenuBar(const WindowTemplate& tmpl) {
    std::vector<platform::MenuEntry> entries;
    for (const UnitRecord& r : tmpl.records) {
        if (r.IsMenuItem()) {
            entries.push_back(EntryOf(r, kFirstMenuCommand + static_cast<int>(entries.size())));
        }
    }
    if (entries.empty() || !platform::HasCurrent()) return nullptr;
    return platform::Current().UserInterface().CreateMenuBar(entries);
}

bool RaiseMenuCommand(uint32_t window_id, int command) {
    if (command < kFirstMenuCommand || command >= kEndMenuCommands) return false;
    LoadedWindow* window = FindLoadedWindow(window_id);
    if (!window) return false;
    int n = command - kFirstMenuCommand;
    for (const UnitRecord& r : window->tmpl->records) {
        if (!r.IsMenuItem() || n-- > 0) continue;
        SimpleEventRecord event;
        event.window_id = window_id;
        event.unit_id = r.id;
        event.event = 0;
        RaiseEvent(event);
        return true;
    }
    return false;
}

platform::MenuEntry MenuItemState(LoadedWindow& window, const UnitRecord& record) {
    const int index = MenuIndexOf(*window.tmpl, record);
    platform::MenuBar* bar = LiveMenuBar(window);
    if (bar && index >= 0 && static_cast<size_t>(index) < bar->Count()) {
        return bar->Entry(static_cast<size_t>(index));
    }
    return EntryOf(record, kFirstMenuCommand + index);
}

void SetMenuItemState(LoadedWindow& window, UnitRecord& record, const platform::MenuEntry& state) {
    record.menu.text = state.caption;
    uint32_t& flags = record.menu.words[kMenuWordState];
    auto set = [&flags](uint32_t bit, bool on) { flags = on ? (flags | bit) : (flags & ~bit); };
    set(menu_state::kChecked, state.checked);
    set(menu_state::kDisabled, !state.enabled);
    set(menu_state::kHidden, !state.visible);
    const int index = MenuIndexOf(*window.tmpl, record);
    platform::MenuBar* bar = LiveMenuBar(window);
    if (bar && index >= 0) bar->SetEntry(static_cast<size_t>(index), state);
}

UnitTypeDescriptor MenuItemTypeDescriptor() {
    UnitTypeDescriptor t;
    t.present = true;
    t.chineseName = "\xB2\xCB\xB5\xA5";  // 菜单
    t.englishName = "Menu";
    t.flags = kMenuItemTypeFlags;
    for (uint16_t kind : {1005, 1003, 1003, 1003}) {
        t.properties.push_back({"", "", "", kind, 0xE000, ""});
    }
    return t;
}

}  // namespace kesu
