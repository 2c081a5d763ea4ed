#pragma once

// The headless menu bar and notification-area icon: their whole state is
// readable, and the User* methods act as a user would.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"

namespace kesu::platform::headless {

class HeadlessUi;

class HeadlessMenuBar final : public MenuBar {
  public:
    HeadlessMenuBar(HeadlessUi& ui, std::vector<MenuEntry> entries);
    ~HeadlessMenuBar() override;

    // See HeadlessWindow::UserChooseMenu and UserShortcut.
    bool UserChoose(std::initializer_list<std::string_view> captions);
    bool UserShortcut(std::string_view keys);

  protected:
    void Show(std::size_t) override {}

  private:
    // Whether the user can get to the entry: it and every entry it is in are
    // visible and enabled.
    bool Reachable(std::size_t index) const;
    bool OpensPopup(std::size_t index) const;

    HeadlessUi& ui_;
};

class HeadlessTrayIcon final : public TrayIcon {
  public:
    explicit HeadlessTrayIcon(HeadlessUi& ui);
    ~HeadlessTrayIcon() override;
    HeadlessTrayIcon(const HeadlessTrayIcon&) = delete;
    HeadlessTrayIcon& operator=(const HeadlessTrayIcon&) = delete;

    void SetIcon(std::string_view bytes) override { icon_ = std::string(bytes); }
    void SetTip(std::string_view gbk) override { tip_ = std::string(gbk); }
    const std::string& Icon() const { return icon_; }
    const std::string& Tip() const { return tip_; }
    // The user clicks, double-clicks or opens the context menu of the icon.
    void UserClick(TrayClick how) { Clicked(how); }

  private:
    HeadlessUi& ui_;
    std::string icon_;
    std::string tip_;
};

}  // namespace kesu::platform::headless
