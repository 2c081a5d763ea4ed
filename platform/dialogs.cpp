#include "platform/dialogs.h"

#include "platform/gbk.h"

namespace kesu::platform {

BoxLayout DecodeBoxFlags(std::uint32_t flags) {
    BoxLayout layout;
    switch (flags & 0xF) {
        case mb::kOkCancel:
            layout.buttons = {Answer::Ok, Answer::Cancel};
            break;
        case mb::kAbortRetryIgnore:
            layout.buttons = {Answer::Abort, Answer::Retry, Answer::Ignore};
            break;
        case mb::kYesNoCancel:
            layout.buttons = {Answer::Yes, Answer::No, Answer::Cancel};
            break;
        case mb::kYesNo:
            layout.buttons = {Answer::Yes, Answer::No};
            break;
        case mb::kRetryCancel:
            layout.buttons = {Answer::Retry, Answer::Cancel};
            break;
        default:
            // Unknown button codes fall back to a plain OK box rather than a
            // box the user cannot answer.
            layout.buttons = {Answer::Ok};
            break;
    }
    std::size_t def = (flags >> 8) & 0xF;
    if (def >= layout.buttons.size()) def = 0;
    layout.default_button = layout.buttons[def];

    // Closing the box counts as Cancel where there is one; a box with only OK
    // answers OK. Boxes without either cannot be closed by Escape, so their
    // default button stands in.
    layout.escape_answer = layout.default_button;
    for (Answer a : layout.buttons) {
        if (a == Answer::Cancel) layout.escape_answer = Answer::Cancel;
    }
    if (layout.buttons.size() == 1) layout.escape_answer = layout.buttons[0];

    switch (flags & 0xF0) {
        case mb::kIconError:
            layout.icon = BoxIcon::Error;
            break;
        case mb::kIconQuestion:
            layout.icon = BoxIcon::Question;
            break;
        case mb::kIconWarning:
            layout.icon = BoxIcon::Warning;
            break;
        case mb::kIconInformation:
            layout.icon = BoxIcon::Information;
            break;
        default:
            layout.icon = BoxIcon::None;
            break;
    }
    return layout;
}

std::string WithDefaultExtension(const std::string& path, const std::string& default_ext) {
    if (default_ext.empty() || path.empty()) return path;
    std::size_t slash = path.find_last_of('/');
    std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    if (name_start == path.size()) return path;  // a directory, not a file name
    std::size_t dot = path.find('.', name_start);
    if (dot != std::string::npos) return path;
    std::string ext = default_ext;
    if (ext.front() == '.') ext.erase(0, 1);
    return path + "." + ext;
}

std::vector<FileFilter> ParseFilterList(const std::string& bar_separated) {
    // The bar byte can be the second byte of a double-byte character, so the
    // split walks character by character instead of searching bytes.
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < bar_separated.size();) {
        std::size_t n = GbkUnitLength(bar_separated, i);
        if (n == 1 && bar_separated[i] == '|') {
            parts.emplace_back();
        } else {
            parts.back().append(bar_separated, i, n);
        }
        i += n;
    }
    std::vector<FileFilter> filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;
        filters.push_back({parts[i], parts[i + 1]});
    }
    return filters;
}

}  // namespace kesu::platform
