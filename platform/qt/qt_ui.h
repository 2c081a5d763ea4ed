#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>

#include "platform/ui.h"

namespace kesu::platform::qt {

class QtLoop;

// What every control of this backend can give: its widget.
class QtNode {
  public:
    virtual ~QtNode() = default;
    virtual QWidget* Widget() const = 0;
};

class QtUi final : public Ui {
  public:
    explicit QtUi(QtLoop& loop);
    std::unique_ptr<Window> CreateWindow() override;
    std::unique_ptr<Edit> CreateEdit(Control* parent, const EditStyle& style) override;
    std::unique_ptr<Button> CreateButton(Control* parent) override;
    std::unique_ptr<CheckBox> CreateCheckBox(Control* parent) override;
    std::unique_ptr<GroupBox> CreateGroupBox(Control* parent) override;
    std::unique_ptr<ComboBox> CreateComboBox(Control* parent, const ComboStyle& style) override;
    std::unique_ptr<Label> CreateLabel(Control* parent) override;
    Rect Screen() const override;
    Font DefaultFont() const override;
    int TextHeight(const Font& font, std::string_view gbk) const override;

    QtLoop& loop() { return loop_; }

    // Widgets of live controls, so that a focus change made by the user can
    // be traced back to its control.
    void Register(QWidget* w, Control* c);
    void Unregister(Control* c);
    // While positive, focus moves are the toolkit's reaction to the program
    // hiding or destroying a control, not the user's doing, and are not
    // reported (the classic controls keep or drop the focus silently there).
    int quiet = 0;
    // The control holding the logical focus, kept like the headless backend
    // keeps it so that focus notifications come in the same order.
    Control* focused = nullptr;
    // The window last reported active; a window that gains or loses the
    // activation asks for the change to be reported.
    Control* active = nullptr;
    void ActivationChanged();
    // Makes the keyboard's focus chain of `window` follow the stacking
    // order of its controls.
    void OrderTabs(QWidget* window);

  private:
    void UserFocusChanged(QWidget* now);

    QtLoop& loop_;
    std::map<QWidget*, Control*> controls_;
    std::unique_ptr<QObject> ctx_;
};

}  // namespace kesu::platform::qt
