#include "platform/headless/headless_menu.h"

#include <algorithm>

#include "platform/headless/headless_ui.h"

namespace kesu::platform::headless {

namespace {

// A caption as the user reads it: the mnemonic marks are not shown ("&&" is a
// shown '&').
std::string Shown(std::string_view caption) {
    std::string out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

}  // namespace

// ---- Menu bar ----

HeadlessMenuBar::HeadlessMenuBar(HeadlessUi& ui, std::vector<MenuEntry> entries)
    : MenuBar(std::move(entries)), ui_(ui) {
    ++ui_.menu_bars_;
}

HeadlessMenuBar::~HeadlessMenuBar() {
    --ui_.menu_bars_;
}

bool HeadlessMenuBar::OpensPopup(std::size_t index) const {
    return index + 1 < entries_.size() && entries_[index + 1].level > entries_[index].level;
}

bool HeadlessMenuBar::Reachable(std::size_t index) const {
    int level = entries_[index].level + 1;
    for (std::size_t i = index + 1; i-- > 0;) {
        if (entries_[i].level >= level) continue;
        if (!entries_[i].visible || !entries_[i].enabled) return false;
        level = entries_[i].level;
        if (level == 0) break;
    }
    return true;
}

bool HeadlessMenuBar::UserChoose(std::initializer_list<std::string_view> captions) {
    std::size_t from = 0;
    std::size_t found = entries_.size();
    int level = 0;
    for (std::string_view caption : captions) {
        found = entries_.size();
        for (std::size_t i = from; i < entries_.size(); ++i) {
            if (entries_[i].level < level) break;
            if (entries_[i].level == level && entries_[i].visible &&
                Shown(entries_[i].caption) == caption) {
                found = i;
                break;
            }
        }
        if (found == entries_.size() || !entries_[found].enabled) return false;
        from = found + 1;
        ++level;
    }
    if (found == entries_.size() || OpensPopup(found) || entries_[found].IsSeparator()) {
        return false;
    }
    Choose(entries_[found].command);
    return true;
}

bool HeadlessMenuBar::UserShortcut(std::string_view keys) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].shortcut != keys || OpensPopup(i)) continue;
        if (!Reachable(i)) return false;
        Choose(entries_[i].command);
        return true;
    }
    return false;
}

// ---- Notification-area icon ----

HeadlessTrayIcon::HeadlessTrayIcon(HeadlessUi& ui) : ui_(ui) {
    ui_.trays_.push_back(this);
}

HeadlessTrayIcon::~HeadlessTrayIcon() {
    std::erase(ui_.trays_, this);
}

// ---- The window's side and the factory ----

HeadlessWindow::HeadlessWindow(HeadlessUi& ui) : NodeControl(ui, nullptr, "window") {}

HeadlessWindow::~HeadlessWindow() = default;

void HeadlessWindow::SetMenuBar(std::unique_ptr<MenuBar> bar) {
    // Only a bar of this backend can be shown here.
    if (bar && !dynamic_cast<HeadlessMenuBar*>(bar.get())) return;
    menu_.reset(static_cast<HeadlessMenuBar*>(bar.release()));
}

MenuBar* HeadlessWindow::GetMenuBar() const {
    return menu_.get();
}

bool HeadlessWindow::UserChooseMenu(std::initializer_list<std::string_view> captions) {
    if (!menu_ || !UserCanReach()) return false;
    return menu_->UserChoose(captions);
}

bool HeadlessWindow::UserShortcut(std::string_view keys) {
    if (!menu_ || !UserCanReach()) return false;
    return menu_->UserShortcut(keys);
}

std::unique_ptr<MenuBar> HeadlessUi::CreateMenuBar(const std::vector<MenuEntry>& entries) {
    return std::make_unique<HeadlessMenuBar>(*this, entries);
}

std::unique_ptr<TrayIcon> HeadlessUi::CreateTrayIcon() {
    if (!tray_available_) return nullptr;
    return std::make_unique<HeadlessTrayIcon>(*this);
}

}  // namespace kesu::platform::headless
