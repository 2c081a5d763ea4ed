#pragma once

// Scripted dialogs and a recording beep. Tests queue the answers; every
// request is recorded. Safe to use from any thread.

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace kesu::platform::headless {

class HeadlessDialogs final : public Dialogs {
  public:
    Answer MessageBox(const MessageBoxRequest& request) override;
    std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
    std::optional<FontPick> FontDialog(const FontPick& initial) override;

    // The next box is answered with `a`; an answer that is not one of the
    // box's buttons counts as closing the box. Unscripted boxes take their
    // default button.
    void QueueAnswer(Answer a);
    // The next file dialog answers the file `path` (the file system's bytes)
    // that the user picked or typed, as a program text (the default extension
    // is still added), or is cancelled with nullopt. Unscripted file dialogs
    // are cancelled.
    void QueueFile(std::optional<std::string> path);
    // The next font dialog answers `pick`, or is cancelled with nullopt.
    // Unscripted font dialogs are cancelled.
    void QueueFont(std::optional<FontPick> pick);
    // Called (on the caller's thread) when a box opens, before the answer is
    // taken; lets a test look at the program while the box is up.
    void OnBox(std::function<void(const MessageBoxRequest&)> hook);

    std::vector<MessageBoxRequest> Boxes() const;
    std::vector<FileDialogRequest> FileRequests() const;
    // The fonts the font dialogs started from.
    std::vector<FontPick> FontRequests() const;
    void ClearRecords();

  private:
    mutable std::mutex mu_;
    std::deque<Answer> answers_;
    std::deque<std::optional<std::string>> files_;
    std::function<void(const MessageBoxRequest&)> on_box_;
    std::vector<MessageBoxRequest> boxes_;
    std::vector<FileDialogRequest> file_requests_;
    std::deque<std::optional<FontPick>> fonts_;
    std::vector<FontPick> font_requests_;
};

class HeadlessSound final : public Sound {
  public:
    void Beep() override { beeps_.fetch_add(1); }
    int Beeps() const { return beeps_.load(); }

  private:
    std::atomic<int> beeps_{0};
};

}  // namespace kesu::platform::headless
