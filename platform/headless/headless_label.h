#pragma once

// An in-memory label: it keeps what it would paint.

#include <string>
#include <string_view>

#include "platform/headless/headless_node.h"

namespace kesu::platform::headless {

class HeadlessLabel final : public NodeControl<Label> {
  public:
    HeadlessLabel(HeadlessUi& ui, Node* parent) : NodeControl(ui, parent, "label") {}
    void SetLabelStyle(const LabelStyle& s) override { style_ = s; }
    LabelStyle GetLabelStyle() const override { return style_; }
    void SetPicture(std::string_view bytes) override { picture_ = std::string(bytes); }
    std::string Picture() const override { return picture_; }

  private:
    LabelStyle style_;
    std::string picture_;
};

}  // namespace kesu::platform::headless
