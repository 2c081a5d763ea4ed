// Runtime errors: the one place where every unrecoverable condition ends.
//
// A runtime error suspends event dispatch, offers the report to an installed
// error hook (never re-entered), otherwise shows the error box through the
// installed presenter, and ends the program with exit code -1.
#pragma once

#include <string>

namespace kesu {

// Messages of the coded runtime errors 1 to 11 (GBK). Any other code gives
// null.
const char* RuntimeErrorMessage(int code);

// Messages the runtime raises without a code (GBK bytes).
namespace errmsg {
extern const char* const kAllocFailedFormat;  // "分配 %d 字节内存失败!" with the size
extern const char* const kNotNumeric;
extern const char* const kTemplateLoad;
extern const char* const kStartupWindow;
extern const char* const kWindowNotLoaded;     // property access, unknown window id
extern const char* const kUnitNotLive;         // property access, unit not live
extern const char* const kUnitMissing;         // unit lookup 2007
extern const char* const kEventWindowMissing;  // event dispatch
extern const char* const kEventUnitMissing;
extern const char* const kEventUnitInvalid;
extern const char* const kDllCommandInFile;  // with the file name and the export name
extern const char* const kDllCommand;        // with the export name only
// The box's parts and title.
extern const char* const kBoxHeading;  // "运行时出错!\r\n\r\n"
extern const char* const kBoxCode;     // "错误代码："
extern const char* const kBoxMessage;  // "错误信息："
extern const char* const kBoxTitle;    // "错误"
}  // namespace errmsg

// The box text: the heading, "错误代码：" with the code and an empty line
// when code is not 0, "错误信息：" with the message and a line end when the
// message is not empty.
std::string FormatRuntimeErrorText(const char* message, int code);

// Shows the error box (error icon, OK button only, no owner). Without an
// installed presenter the box goes to the installed platform's message box,
// or to standard error when no platform is installed. Tests install their own.
using ErrorBoxPresenter = void (*)(const std::string& textGbk, const std::string& titleGbk);
void SetErrorBoxPresenter(ErrorBoxPresenter presenter);

// The optional error hook: receives (code, message); a non-zero answer means
// it has reported the error itself and the box is skipped.
using ErrorHook = int (*)(int code, const char* message);
void SetErrorHook(ErrorHook hook);

// Formats a message with printf-style arguments into GBK text; the formats
// in errmsg hold only ASCII conversion directives.
std::string FormatMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The only entry: reports and ends the program with exit code -1.
[[noreturn]] void ReportRuntimeError(const char* message, int code);
// ReportRuntimeError with the message of the code table.
[[noreturn]] void RaiseRuntimeError(int code);

}  // namespace kesu
