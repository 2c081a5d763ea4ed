#include "app/program.h"

#include <array>

#include "app/commands.h"
#include "app/form/main_window_form.h"
#include "app/handlers.h"
#include "app/program_libraries.h"
#include "app/state.h"
#include "platform/platform.h"
#include "runtime/dispatch.h"
#include "runtime/startup.h"
#include "runtime/sysfunc.h"

namespace kesu::app {

namespace {

// Wraps a handler without arguments and without a result.
template <void (*Routine)()>
EventResult Plain(std::span<const uint32_t>) {
    Routine();
    return {};
}

// Wraps a handler that takes the event's one integer argument.
template <void (*Routine)(int32_t)>
EventResult WithArgument(std::span<const uint32_t> args) {
    Routine(args.empty() ? 0 : static_cast<int32_t>(args[0]));
    return {};
}

// In the order of Handler: a binding's handler offset is its place here.
constexpr std::array<EventHandler, static_cast<size_t>(Handler::kCount)> kHandlers = {
    Plain<OnWindowCreated>,       Plain<OnPortListDroppingDown>, Plain<OnPortButtonClicked>,
    Plain<OnDtrClicked>,          Plain<OnRtsClicked>,           Plain<OnSendBoxChanged>,
    Plain<OnManualSendClicked>,   Plain<OnPeriodicTimerTick>,    Plain<OnSendPeriodChanged>,
    WithArgument<OnDataArrived>,  Plain<OnTimeoutTimerTick>,     Plain<RefreshDisplay>,
    Plain<OnClearCountsClicked>,  Plain<OnConditionChanged>,     Plain<OnReplyChanged>,
    Plain<OnSaveTextClicked>,     Plain<OnLoadTextClicked>,      Plain<OnClearSendClicked>,
    Plain<OnClearReceiveClicked>, Plain<OnCompareClicked>,       WithArgument<OnPortLineEvent>,
};
static_assert(static_cast<size_t>(Handler::kDataArrived) == 9);
static_assert(static_cast<size_t>(Handler::kCompareClicked) == 19);

}  // namespace

void InstallAssistant() {
    RegisterProgramLibraries();
    SetProgramImage(MainWindowImage());
    SetEventHandlers(kHandlers);
}

void StartAssistant() {
    RuntimeService(service::kInitialise);
    RegisterCleanupRoutine(ReleaseState);
    // The application's own start-up subroutine has nothing to do.
    LoadStartupWindow(kMainWindowId);
}

void StopAssistant() {
    JoinWorkers();
    platform::Current().Loop().ProcessPending();
    ShutdownRuntime(0);
}

namespace {
int EntryRoutine() {
    StartAssistant();
    RunMessageLoop();
    return 0;
}
}  // namespace

int RunAssistant() {
    const int result = RunProgram(EntryRoutine);
    // Workers still running when the window closed are let go by the shutdown: the loop no
    // longer serves them, so they end soon, and they must end before the state they use goes.
    JoinWorkers();
    return result;
}

}  // namespace kesu::app
