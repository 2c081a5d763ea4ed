// The message box, sound, delay, time and program-directory commands.

#include <chrono>
#include <ctime>
#include <thread>

#include "commands/args.h"
#include "commands/core_commands.h"
#include "platform/platform.h"
#include "runtime/notify.h"

namespace kesu::commands {

void InfoBox(ResultRecord* result, int argCount, ArgRecord* args) {
    platform::MessageBoxRequest request;
    request.text = ScalarText(Arg(argCount, args, 0)).value_or(std::string());
    request.flags = Arg(argCount, args, 1).AsUInt();
    if (!(request.flags & platform::mb::kSystemModal)) request.flags |= platform::mb::kTaskModal;
    // "信息：" unless a caption is given.
    request.caption = Given(argCount, args, 2) ? std::string(TextArg(argCount, args, 2))
                                               : std::string("\xD0\xC5\xCF\xA2\xA3\xBA");
    if (!platform::HasCurrent()) {
        result->SetInt(0);
        return;
    }
    platform::Answer answer = platform::Current().Dialog().MessageBox(request);
    // The platform's answers count from 1 (OK) in the same order as the
    // command's answer codes, which count from 0.
    result->SetInt(static_cast<int32_t>(answer) - 1);
}

void Beep(ResultRecord*, int, ArgRecord*) {
    if (platform::HasCurrent()) platform::Current().Audio().Beep();
}

void Delay(ResultRecord*, int argCount, ArgRecord* args) {
    int32_t ms = Arg(argCount, args, 0).AsInt();
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Now(ResultRecord* result, int, ArgRecord*) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    result->SetDateTime(JoinDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                      local.tm_hour, local.tm_min, local.tm_sec}));
}

void GetRunDirectory(ResultRecord* result, int, ArgRecord*) {
    // The runtime recorded the directory once at start-up, already as GBK.
    result->SetText(
        CopyText(reinterpret_cast<const char*>(NotifyRuntime(notify::kProgramDirectory, 0, 0))));
}

}  // namespace kesu::commands
