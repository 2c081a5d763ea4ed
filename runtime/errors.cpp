#include "runtime/errors.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/platform.h"
#include "runtime/notify.h"
#include "runtime/runtime_state.h"
#include "runtime/sysfunc.h"

namespace kesu {

namespace {

// The coded messages, GBK bytes; index = code - 1.
const char* const kCodedMessages[] = {
    // 数组成员引用下标超出定义范围
    "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB3\xAC\xB3\xF6\xB6\xA8\xD2"
    "\xE5\xB7\xB6\xCE\xA7",
    // 未得到所需要的数值型数据
    "\xCE\xB4\xB5\xC3\xB5\xBD\xCB\xF9\xD0\xE8\xD2\xAA\xB5\xC4\xCA\xFD\xD6\xB5\xD0\xCD\xCA\xFD\xBE"
    "\xDD",
    // 引用数组成员时维数不为1且不等于该数组目前所具有的维数
    "\xD2\xFD\xD3\xC3\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xCA\xB1\xCE\xAC\xCA\xFD\xB2\xBB\xCE\xAA"
    "1\xC7\xD2\xB2\xBB\xB5\xC8\xD3\xDA\xB8\xC3\xCA\xFD\xD7\xE9\xC4\xBF\xC7\xB0\xCB\xF9\xBE\xDF\xD3"
    "\xD0\xB5\xC4\xCE\xAC\xCA\xFD",
    // 数组成员引用下标必须大于等于1
    "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB1\xD8\xD0\xEB\xB4\xF3\xD3"
    "\xDA\xB5\xC8\xD3\xDA"
    "1",
    // 数据或数组类型不匹配
    "\xCA\xFD\xBE\xDD\xBB\xF2\xCA\xFD\xD7\xE9\xC0\xE0\xD0\xCD\xB2\xBB\xC6\xA5\xC5\xE4",
    // 调用DLL命令后发现堆栈错误
    "\xB5\xF7\xD3\xC3"
    "DLL\xC3\xFC\xC1\xEE\xBA\xF3\xB7\xA2\xCF\xD6\xB6\xD1\xD5\xBB\xB4\xED\xCE\xF3",
    // 子语句参数未返回数据或者返回了非系统基本类型或数组型数据
    "\xD7\xD3\xD3\xEF\xBE\xE4\xB2\xCE\xCA\xFD\xCE\xB4\xB7\xB5\xBB\xD8\xCA\xFD\xBE\xDD\xBB\xF2\xD5"
    "\xDF\xB7\xB5\xBB\xD8\xC1\xCB\xB7\xC7\xCF\xB5\xCD\xB3\xBB\xF9\xB1\xBE\xC0\xE0\xD0\xCD\xBB\xF2"
    "\xCA\xFD\xD7\xE9\xD0\xCD\xCA\xFD\xBE\xDD",
    // 被比较数据只能使用等于或不等于命令比较
    "\xB1\xBB\xB1\xC8\xBD\xCF\xCA\xFD\xBE\xDD\xD6\xBB\xC4\xDC\xCA\xB9\xD3\xC3\xB5\xC8\xD3\xDA\xBB"
    "\xF2\xB2\xBB\xB5\xC8\xD3\xDA\xC3\xFC\xC1\xEE\xB1\xC8\xBD\xCF",
    // “多项选择”命令的索引值参数小于零或超出了所提供参数表范围
    "\xA1\xB0\xB6\xE0\xCF\xEE\xD1\xA1\xD4\xF1\xA1\xB1\xC3\xFC\xC1\xEE\xB5\xC4\xCB\xF7\xD2\xFD\xD6"
    "\xB5\xB2\xCE\xCA\xFD\xD0\xA1\xD3\xDA\xC1\xE3\xBB\xF2\xB3\xAC\xB3\xF6\xC1\xCB\xCB\xF9\xCC\xE1"
    "\xB9\xA9\xB2\xCE\xCA\xFD\xB1\xED\xB7\xB6\xCE\xA7",
    // “重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零
    "\xA1\xB0\xD6\xD8\xB6\xA8\xD2\xE5\xCA\xFD\xD7\xE9\xA1\xB1\xC3\xFC\xC1\xEE\xB5\xC4\xCA\xFD\xD7"
    "\xE9\xCE\xAC\xB6\xA8\xD2\xE5\xB2\xCE\xCA\xFD\xD6\xB5\xB1\xD8\xD0\xEB\xB4\xF3\xD3\xDA\xC1\xE3"
    "\xBB\xF2\xB5\xA5\xCE\xAC\xCA\xB1\xB4\xF3\xD3\xDA\xB5\xC8\xD3\xDA\xC1\xE3",
    // 所提供参数的数据类型不符合要求
    "\xCB\xF9\xCC\xE1\xB9\xA9\xB2\xCE\xCA\xFD\xB5\xC4\xCA\xFD\xBE\xDD\xC0\xE0\xD0\xCD\xB2\xBB\xB7"
    "\xFB\xBA\xCF\xD2\xAA\xC7\xF3",
};

// The box goes through the installed platform (error icon, OK only, no
// owner); before a platform exists, as in tools and early start-up, the text
// goes to standard error.
void DefaultPresenter(const std::string& text, const std::string& title) {
    if (platform::HasCurrent()) {
        platform::Current().Dialog().MessageBox(
            platform::MessageBoxRequest{text, title, platform::mb::kOk | platform::mb::kIconError});
        return;
    }
    std::fprintf(stderr, "[%s] %s", title.c_str(), text.c_str());
    std::fflush(stderr);
}

}  // namespace

namespace errmsg {
// 分配 %d 字节内存失败!
const char* const kAllocFailedFormat =
    "\xB7\xD6\xC5\xE4 %d \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!";
// 欲转换数据类型不是数值
const char* const kNotNumeric =
    "\xD3\xFB\xD7\xAA\xBB\xBB\xCA\xFD\xBE\xDD\xC0\xE0\xD0\xCD\xB2\xBB\xCA\xC7\xCA\xFD\xD6\xB5";
// 载入窗口模板数据段出错!
const char* const kTemplateLoad =
    "\xD4\xD8\xC8\xEB\xB4\xB0\xBF\xDA\xC4\xA3\xB0\xE5\xCA\xFD\xBE\xDD\xB6\xCE\xB3\xF6\xB4\xED!";
// 载入启动窗口失败
const char* const kStartupWindow =
    "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC";
// 未载入欲访问窗口组件所在的窗口
const char* const kWindowNotLoaded =
    "\xCE\xB4\xD4\xD8\xC8\xEB\xD3\xFB\xB7\xC3\xCE\xCA\xB4\xB0\xBF\xDA\xD7\xE9\xBC\xFE\xCB\xF9\xD4"
    "\xDA\xB5\xC4\xB4\xB0\xBF\xDA";
// 指定窗口尚未载入
const char* const kUnitNotLive = "\xD6\xB8\xB6\xA8\xB4\xB0\xBF\xDA\xC9\xD0\xCE\xB4\xD4\xD8\xC8\xEB";
// 指定窗口或窗口组件不存在或尚未载入
const char* const kUnitMissing =
    "\xD6\xB8\xB6\xA8\xB4\xB0\xBF\xDA\xBB\xF2\xB4\xB0\xBF\xDA\xD7\xE9\xBC\xFE\xB2\xBB\xB4\xE6\xD4"
    "\xDA\xBB\xF2\xC9\xD0\xCE\xB4\xD4\xD8\xC8\xEB";
// 未找到引发事件的窗口
const char* const kEventWindowMissing =
    "\xCE\xB4\xD5\xD2\xB5\xBD\xD2\xFD\xB7\xA2\xCA\xC2\xBC\xFE\xB5\xC4\xB4\xB0\xBF\xDA";
// 未找到引发事件的窗口组件
const char* const kEventUnitMissing =
    "\xCE\xB4\xD5\xD2\xB5\xBD\xD2\xFD\xB7\xA2\xCA\xC2\xBC\xFE\xB5\xC4\xB4\xB0\xBF\xDA\xD7\xE9\xBC"
    "\xFE";
// 引发事件的窗口组件无效
const char* const kEventUnitInvalid =
    "\xD2\xFD\xB7\xA2\xCA\xC2\xBC\xFE\xB5\xC4\xB4\xB0\xBF\xDA\xD7\xE9\xBC\xFE\xCE\xDE\xD0\xA7";
// 无法找到指定DLL库文件“%s”中的输出命令“%s”
const char* const kDllCommandInFile =
    "\xCE\xDE\xB7\xA8\xD5\xD2\xB5\xBD\xD6\xB8\xB6\xA8"
    "DLL\xBF\xE2\xCE\xC4\xBC\xFE\xA1\xB0%s\xA1\xB1\xD6\xD0\xB5\xC4\xCA\xE4\xB3\xF6\xC3\xFC\xC1\xEE"
    "\xA1\xB0%s\xA1\xB1";
// 无法找到指定DLL库文件中的输出命令“%s”
const char* const kDllCommand =
    "\xCE\xDE\xB7\xA8\xD5\xD2\xB5\xBD\xD6\xB8\xB6\xA8"
    "DLL\xBF\xE2\xCE\xC4\xBC\xFE\xD6\xD0\xB5\xC4\xCA\xE4\xB3\xF6\xC3\xFC\xC1\xEE\xA1\xB0%s\xA1\xB1";
// 运行时出错!\r\n\r\n
const char* const kBoxHeading = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n\r\n";
// 错误代码：
const char* const kBoxCode = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
// 错误信息：
const char* const kBoxMessage = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";
// 错误
const char* const kBoxTitle = "\xB4\xED\xCE\xF3";
}  // namespace errmsg

const char* RuntimeErrorMessage(int code) {
    constexpr int kCount = static_cast<int>(sizeof kCodedMessages / sizeof kCodedMessages[0]);
    return code >= 1 && code <= kCount ? kCodedMessages[code - 1] : nullptr;
}

std::string FormatMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), format, args);
        out.assign(buf.data(), static_cast<size_t>(n));
    }
    va_end(args);
    return out;
}

std::string FormatRuntimeErrorText(const char* message, int code) {
    std::string text = errmsg::kBoxHeading;
    if (code != 0) {
        text += errmsg::kBoxCode;
        text += std::to_string(code);
        text += "\r\n\r\n";
    }
    if (message && *message) {
        text += errmsg::kBoxMessage;
        text += message;
        text += "\r\n";
    }
    return text;
}

void SetErrorBoxPresenter(ErrorBoxPresenter presenter) {
    Runtime().errors.presenter.store(presenter);
}

void SetErrorHook(ErrorHook hook) {
    Runtime().errors.hook.store(hook);
    Runtime().errors.hookRunning.store(false);
}

void ReportRuntimeError(const char* message, int code) {
    // From here on no event handler runs, also not while the box is up.
    SuspendEvents();

    bool reported = false;
    RuntimeState::Errors& errors = Runtime().errors;
    ErrorHook hook = errors.hook.load();
    // An error raised while the hook itself runs (or during the shutdown that
    // follows) goes straight to the box: the hook is never re-entered.
    if (hook && !errors.hookRunning.exchange(true)) {
        reported = hook(code, message ? message : "") != 0;
        errors.hookRunning.store(false);
    }
    if (!reported) {
        ErrorBoxPresenter presenter = errors.presenter.load();
        if (!presenter) presenter = DefaultPresenter;
        presenter(FormatRuntimeErrorText(message, code), errmsg::kBoxTitle);
    }
    // A build mode of 2 asks for a debugger stop here; a Linux build has no
    // attached debugger to stop in, so the request is ignored.
    EndProgram(-1);
}

void RaiseRuntimeError(int code) {
    ReportRuntimeError(RuntimeErrorMessage(code), code);
}

}  // namespace kesu
