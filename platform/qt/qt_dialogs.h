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

class QtSound final : public Sound {
  public:
    explicit QtSound(QtLoop& loop) : loop_(loop) {}
    void Beep() override;

  private:
    QtLoop& loop_;
};

}  // namespace kesu::platform::qt
