// The behaviour suite over the headless backend.

#include "platform/headless/headless.h"
#include "tests/platform/conformance.h"

namespace kesu::platform::testing {
namespace {

using headless::HeadlessPlatform;

class HeadlessDriver final : public Driver {
  public:
    HeadlessDriver() {
        // Waiting for a worker's answer lets virtual time run on.
        p.loop().SetAutoAdvance(true);
        p.loop().SetStallTimeout(std::chrono::milliseconds(5000));
    }
    Platform& P() override { return p; }
    void Click(Control& c) override {
        // The click may destroy the control: nothing may touch it afterwards.
        if (auto* b = dynamic_cast<headless::HeadlessButton*>(&c)) {
            b->UserClick();
        } else if (auto* k = dynamic_cast<headless::HeadlessCheckBox*>(&c)) {
            k->UserClick();
        }
    }
    void Type(Edit& e, std::string_view gbk) override {
        dynamic_cast<headless::HeadlessEdit&>(e).UserType(gbk);
    }
    void Pick(ComboBox& c, int index) override {
        dynamic_cast<headless::HeadlessComboBox&>(c).UserPick(index);
    }
    void TypeInto(ComboBox& c, std::string_view ascii) override {
        auto& box = dynamic_cast<headless::HeadlessComboBox&>(c);
        for (char ch : ascii) box.UserType(std::string(1, ch));
    }
    void UserClose(Window& w) override { dynamic_cast<headless::HeadlessWindow&>(w).UserClose(); }
    void UserMove(Window& w, int left, int top) override { Win(w).UserMove(left, top); }
    void UserResize(Window& w, int width, int height) override { Win(w).UserResize(width, height); }
    void UserActivate(Window& w) override { Win(w).UserActivate(); }
    void UserDeactivate(Window& w) override { Win(w).UserDeactivate(); }
    Cursor CursorOf(Control& c) override { return dynamic_cast<headless::Node&>(c).GetCursor(); }
    void UserFocus(Control& c) override { dynamic_cast<headless::Node&>(c).UserFocus(); }
    void Wait(std::uint64_t ms) override { p.loop().AdvanceBy(ms); }
    void AnswerBox(Answer a) override { p.dialogs().QueueAnswer(a); }
    void AnswerFile(std::optional<std::string> path) override {
        p.dialogs().QueueFile(std::move(path));
    }
    void AnswerFont(std::optional<FontPick> pick) override {
        p.dialogs().QueueFont(std::move(pick));
    }
    int TickSlack() const override { return 0; }
    bool ClickReaches(Window& w, int x, int y, Control& target) override {
        headless::Node* hit = p.ui().UserClickAt(Win(w), x, y);
        if (auto* box = dynamic_cast<headless::HeadlessComboBox*>(hit)) box->UserCloseUp();
        p.loop().ProcessPending();
        return hit == dynamic_cast<headless::Node*>(&target);
    }
    void Tab(Window&) override { p.ui().UserTab(); }

    HeadlessPlatform p;

  private:
    static headless::HeadlessWindow& Win(Window& w) {
        return dynamic_cast<headless::HeadlessWindow&>(w);
    }
};

std::unique_ptr<Driver> MakeHeadless() {
    return std::make_unique<HeadlessDriver>();
}

INSTANTIATE_TEST_SUITE_P(Headless, Conformance, ::testing::Values(&MakeHeadless));

}  // namespace
}  // namespace kesu::platform::testing
