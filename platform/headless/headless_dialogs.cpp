#include "platform/headless/headless_dialogs.h"

#include <algorithm>

#include "platform/gbk.h"

namespace kesu::platform::headless {

Answer HeadlessDialogs::MessageBox(const MessageBoxRequest& request) {
    std::function<void(const MessageBoxRequest&)> hook;
    {
        std::lock_guard lock(mu_);
        boxes_.push_back(request);
        hook = on_box_;
    }
    if (hook) hook(request);
    BoxLayout layout = DecodeBoxFlags(request.flags);
    std::lock_guard lock(mu_);
    if (answers_.empty()) return layout.default_button;
    Answer a = answers_.front();
    answers_.pop_front();
    bool offered =
        std::find(layout.buttons.begin(), layout.buttons.end(), a) != layout.buttons.end();
    return offered ? a : layout.escape_answer;
}

std::optional<std::string> HeadlessDialogs::FileDialog(const FileDialogRequest& request) {
    std::lock_guard lock(mu_);
    file_requests_.push_back(request);
    if (files_.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(files_.front());
    files_.pop_front();
    if (!answer) return std::nullopt;
    return WithDefaultExtension(FsNameToGbk(*answer), request.default_ext);
}

std::optional<FontPick> HeadlessDialogs::FontDialog(const FontPick& initial) {
    std::lock_guard lock(mu_);
    font_requests_.push_back(initial);
    if (fonts_.empty()) return std::nullopt;
    std::optional<FontPick> answer = std::move(fonts_.front());
    fonts_.pop_front();
    return answer;
}

void HeadlessDialogs::QueueAnswer(Answer a) {
    std::lock_guard lock(mu_);
    answers_.push_back(a);
}

void HeadlessDialogs::QueueFile(std::optional<std::string> path) {
    std::lock_guard lock(mu_);
    files_.push_back(std::move(path));
}

void HeadlessDialogs::QueueFont(std::optional<FontPick> pick) {
    std::lock_guard lock(mu_);
    fonts_.push_back(std::move(pick));
}

void HeadlessDialogs::OnBox(std::function<void(const MessageBoxRequest&)> hook) {
    std::lock_guard lock(mu_);
    on_box_ = std::move(hook);
}

std::vector<MessageBoxRequest> HeadlessDialogs::Boxes() const {
    std::lock_guard lock(mu_);
    return boxes_;
}

std::vector<FileDialogRequest> HeadlessDialogs::FileRequests() const {
    std::lock_guard lock(mu_);
    return file_requests_;
}

std::vector<FontPick> HeadlessDialogs::FontRequests() const {
    std::lock_guard lock(mu_);
    return font_requests_;
}

void HeadlessDialogs::ClearRecords() {
    std::lock_guard lock(mu_);
    boxes_.clear();
    file_requests_.clear();
    font_requests_.clear();
}

}  // namespace kesu::platform::headless
