#pragma once

// Message boxes, file and font dialogs, and the beep. Callable from any thread: a call
// blocks only its caller; when that is a worker, the main window stays usable
// while the dialog is open. Texts are GBK bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui.h"

namespace kesu::platform {

// Message-box flags, with the classic values: buttons in the low four bits,
// icon in the next four, default button in the next four.
namespace mb {
inline constexpr std::uint32_t kOk = 0x0;
inline constexpr std::uint32_t kOkCancel = 0x1;
inline constexpr std::uint32_t kAbortRetryIgnore = 0x2;
inline constexpr std::uint32_t kYesNoCancel = 0x3;
inline constexpr std::uint32_t kYesNo = 0x4;
inline constexpr std::uint32_t kRetryCancel = 0x5;
inline constexpr std::uint32_t kIconError = 0x10;
inline constexpr std::uint32_t kIconQuestion = 0x20;
inline constexpr std::uint32_t kIconWarning = 0x30;
inline constexpr std::uint32_t kIconInformation = 0x40;
inline constexpr std::uint32_t kDefButton2 = 0x100;
inline constexpr std::uint32_t kDefButton3 = 0x200;
inline constexpr std::uint32_t kSystemModal = 0x1000;
inline constexpr std::uint32_t kTaskModal = 0x2000;
}  // namespace mb

// Answers, with the classic values.
enum class Answer : int { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

enum class BoxIcon { None, Error, Question, Warning, Information };

// What the flags ask for, decoded once for every backend.
struct BoxLayout {
    std::vector<Answer> buttons;  // in display order
    Answer default_button = Answer::Ok;
    // What closing the box (Escape, the close box) answers.
    Answer escape_answer = Answer::Ok;
    BoxIcon icon = BoxIcon::None;
};
BoxLayout DecodeBoxFlags(std::uint32_t flags);

struct MessageBoxRequest {
    std::string text;
    std::string caption;
    std::uint32_t flags = 0;
};

// File-dialog flags, with the classic values.
namespace ofn {
inline constexpr std::uint32_t kOverwritePrompt = 0x2;
inline constexpr std::uint32_t kHideReadOnly = 0x4;
inline constexpr std::uint32_t kNoChangeDir = 0x8;
inline constexpr std::uint32_t kPathMustExist = 0x800;
inline constexpr std::uint32_t kFileMustExist = 0x1000;
inline constexpr std::uint32_t kCreatePrompt = 0x2000;
}  // namespace ofn

struct FileFilter {
    std::string description;  // "文本文件(*.TXT)"
    std::string patterns;     // "*.TXT;*.INI"
    bool operator==(const FileFilter&) const = default;
};

struct FileDialogRequest {
    bool save = false;
    std::string title;        // empty: the platform's
    std::string initial_dir;  // empty: the current directory
    std::string file_name;    // initial name
    std::string default_ext;  // without dot; added to a name typed without extension
    std::vector<FileFilter> filters;
    int filter_index = 1;  // 1-based; 0 or out of range selects the first
    std::uint32_t flags = 0;
};

// Adds `default_ext` to the last path component of `path` when that component
// has no extension and `default_ext` is not empty.
std::string WithDefaultExtension(const std::string& path, const std::string& default_ext);

// Splits "desc|pattern|desc|pattern||" into pairs; stops at the first empty
// description. A trailing description without pattern is dropped.
std::vector<FileFilter> ParseFilterList(const std::string& bar_separated);

// What the font dialog starts from and answers: the font and its colour.
// The dialog shows sizes in points at 96 dots per inch; a character height
// in pixels (a negative `font.height`) goes in and comes out, and a height of
// 0 lets the dialog start from the default size.
struct FontPick {
    Font font;
    Colour colour = 0;
    bool operator==(const FontPick&) const = default;
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    virtual Answer MessageBox(const MessageBoxRequest& request) = 0;
    // The chosen full path (GBK), or nothing when the user cancelled.
    virtual std::optional<std::string> FileDialog(const FileDialogRequest& request) = 0;
    // The face, size, weight, italic, underline, strike-out and colour the
    // user confirmed, or nothing when the user cancelled.
    virtual std::optional<FontPick> FontDialog(const FontPick& initial) = 0;
};

class Sound {
  public:
    virtual ~Sound() = default;
    // The default system sound; returns at once.
    virtual void Beep() = 0;
};

}  // namespace kesu::platform
