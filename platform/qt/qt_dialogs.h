#pragma once

#include <QMessageBox>
#include <Qt>

#include "platform/dialogs.h"

namespace kesu::platform::qt {

class QtLoop;

// The message-box button that stands for an answer.
QMessageBox::StandardButton ButtonFor(Answer a);

// Message boxes, file and font dialogs. On the UI thread the call waits in a nested
// loop; on a worker the dialog is opened on the UI thread, not modal, and only
// the worker waits.
class QtDialogs final : public Dialogs {
  public:
    explicit QtDialogs(QtLoop& loop) : loop_(loop) {}
    Answer MessageBox(const MessageBoxRequest& request) override;
    std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
    std::optional<FontPick> FontDialog(const FontPick& initial) override;

  private:
    template <class T, class Open>
    T Ask(Open open, T if_closed);
    QtLoop& loop_;
};

// The desktop's own event sound for the beep: the sound theme's "bell" event
// played through libcanberra, which follows the desktop's sound settings; the
// X bell when no sound can be played that way (no sound theme, no sound
// device, event sounds switched off).
class QtSound final : public Sound {
  public:
    explicit QtSound(QtLoop& loop);
    ~QtSound() override;
    QtSound(const QtSound&) = delete;
    QtSound& operator=(const QtSound&) = delete;
    void Beep() override;

  private:
    QtLoop& loop_;
    // A ca_context, created with the first beep and used on the UI thread
    // only.
    void* context_ = nullptr;
};

}  // namespace kesu::platform::qt
