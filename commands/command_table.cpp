#include <array>
#include <atomic>

#include "commands/core_commands.h"
#include "runtime/notify.h"
#include "runtime/runtime_state.h"

namespace kesu::commands {

namespace {

// The unit-method bodies of the run, by list index; installed when the core library is registered
// and read from any thread.
struct UnitMethodBodies : LibraryState {
    std::array<std::atomic<CommandBody>, kCoreCommandCount> bodies{};
};

std::atomic<CommandBody>& BodyOf(UnitMethod method) {
    return LibraryStateOf<UnitMethodBodies>().bodies[static_cast<size_t>(method)];
}

// The fixed list entry of a unit method: forwards to the installed body.
template <UnitMethod M>
void ForwardUnitMethod(ResultRecord* result, int argCount, ArgRecord* args) {
    CommandBody body = BodyOf(M).load(std::memory_order_acquire);
    if (body) {
        body(result, argCount, args);
        return;
    }
    // No body for this method: still look the unit up, so that a reference
    // to a unit that is not loaded fails exactly as it would with one.
    if (argCount > 0) NotifyRuntime(notify::kFindUnitOrFail, args[0].low, args[0].high);
}

}  // namespace

void InstallUnitMethod(UnitMethod method, CommandBody body) {
    BodyOf(method).store(body, std::memory_order_release);
}

CommandBody InstalledUnitMethod(UnitMethod method) {
    return BodyOf(method).load(std::memory_order_acquire);
}

std::span<const CommandBody> CoreCommandList() {
    static constexpr CommandBody kList[kCoreCommandCount] = {
        ToNumber,                                       // 0
        ToBytes,                                        // 1
        SplitTextCommand,                               // 2
        ToByte,                                         // 3
        ToHalfWidthCommand,                             // 4
        ToUpperCommand,                                 // 5
        TextLengthCommand,                              // 6
        MidText,                                        // 7
        LeftText,                                       // 8
        FindTextCommand,                                // 9
        ToAmountText,                                   // 10
        CompareTextCommand,                             // 11
        Now,                                            // 12
        ToText,                                         // 13
        GetRunDirectory,                                // 14
        ForwardUnitMethod<UnitMethod::kOpenDialog>,     // 15
        OpenFile,                                       // 16
        WriteText,                                      // 17
        CloseFile,                                      // 18
        InfoBox,                                        // 19
        ReadText,                                       // 20
        ToHexText,                                      // 21
        BytesLength,                                    // 22
        RightBytes,                                     // 23
        Beep,                                           // 24
        ForwardUnitMethod<UnitMethod::kSendData>,       // 25
        ForwardUnitMethod<UnitMethod::kSetLineSignal>,  // 26
        Delay,                                          // 27
        ForwardUnitMethod<UnitMethod::kAddText>,        // 28
        ForwardUnitMethod<UnitMethod::kClearItems>,     // 29
        ForwardUnitMethod<UnitMethod::kOpen>,           // 30
        ForwardUnitMethod<UnitMethod::kClose>,          // 31
        ForwardUnitMethod<UnitMethod::kAddItem>,        // 32
        FormatNumberCommand,                            // 33
    };
    return kList;
}

}  // namespace kesu::commands
