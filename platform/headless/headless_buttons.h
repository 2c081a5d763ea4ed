#pragma once

// In-memory buttons, check boxes and group boxes.

#include <string>
#include <string_view>

#include "platform/headless/headless_node.h"

namespace kesu::platform::headless {

class HeadlessButton final : public NodeControl<Button> {
  public:
    HeadlessButton(HeadlessUi& ui, Node* parent) : NodeControl(ui, parent, "button") {}
    void SetDefault(bool d) override { default_ = d; }
    void SetAlignment(HAlign h, VAlign v) override {
        h_ = h;
        v_ = v;
    }
    bool IsDefault() const { return default_; }
    bool TakesFocus() const override { return true; }
    void SetPicture(std::string_view bytes) override { picture_ = std::string(bytes); }
    std::string Picture() const override { return picture_; }
    bool UserClick();

  private:
    bool default_ = false;
    std::string picture_;
    HAlign h_ = HAlign::Centre;
    VAlign v_ = VAlign::Centre;
};

class HeadlessCheckBox final : public NodeControl<CheckBox> {
  public:
    HeadlessCheckBox(HeadlessUi& ui, Node* parent) : NodeControl(ui, parent, "check box") {}
    void SetChecked(bool c) override { checked_ = c; }
    bool IsChecked() const override { return checked_; }
    void SetAlignment(HAlign h, VAlign v) override {
        h_ = h;
        v_ = v;
    }
    void SetCheckStyle(const CheckStyle& s) override { style_ = s; }
    bool TakesFocus() const override { return true; }
    void SetPicture(std::string_view bytes) override { picture_ = std::string(bytes); }
    std::string Picture() const override { return picture_; }
    bool UserClick();

  private:
    bool checked_ = false;
    std::string picture_;
    HAlign h_ = HAlign::Left;
    VAlign v_ = VAlign::Centre;
    CheckStyle style_;
};

class HeadlessGroupBox final : public NodeControl<GroupBox> {
  public:
    HeadlessGroupBox(HeadlessUi& ui, Node* parent) : NodeControl(ui, parent, "group box") {}
    void SetAlignment(HAlign h) override { h_ = h; }
    HAlign Alignment() const { return h_; }

  private:
    HAlign h_ = HAlign::Left;
};

}  // namespace kesu::platform::headless
