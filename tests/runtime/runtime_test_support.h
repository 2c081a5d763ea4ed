// Test support: ends of the program become exceptions that a test can catch,
// and the error box is recorded instead of shown.
#pragma once

#include <string>
#include <vector>

#include "runtime/errors.h"
#include "runtime/library.h"
#include "runtime/notify.h"
#include "runtime/sysfunc.h"
#include "runtime/value.h"

namespace kesu::test {

struct ProgramEnded {
    int exitCode;
};

struct Box {
    std::string text;
    std::string title;
};

inline std::vector<Box>& RecordedBoxes() {
    static std::vector<Box> boxes;
    return boxes;
}

inline void RecordBox(const std::string& text, const std::string& title) {
    RecordedBoxes().push_back({text, title});
}

[[noreturn]] inline void ThrowOnExit(int exitCode) {
    throw ProgramEnded{exitCode};
}

// Installs the recording presenter and the throwing process end; undoes all
// runtime state on destruction so tests stay independent.
class RuntimeSandbox {
  public:
    RuntimeSandbox() {
        ResetRuntimeState();
        RecordedBoxes().clear();
        SetErrorBoxPresenter(RecordBox);
        SetProcessExit(ThrowOnExit);
        SetErrorHook(nullptr);
    }
    ~RuntimeSandbox() {
        ResetRuntimeState();
        UnregisterAllLibraries();
        SetWindowServices(nullptr);
        SetFrameEntries(FrameEntries{});
        SetAllocationLimitForTesting(0);
        SetErrorHook(nullptr);
        SetErrorBoxPresenter(nullptr);
        SetProcessExit(nullptr);
        RecordedBoxes().clear();
    }
    RuntimeSandbox(const RuntimeSandbox&) = delete;
    RuntimeSandbox& operator=(const RuntimeSandbox&) = delete;
};

// The message part of the last recorded box ("" when there was none).
inline std::string LastBoxText() {
    return RecordedBoxes().empty() ? std::string() : RecordedBoxes().back().text;
}

// Runs f, expecting it to end the program; returns the exit code, or 1000
// when it returned normally.
template <typename F>
int ExitCodeOf(F&& f) {
    try {
        f();
    } catch (const ProgramEnded& e) {
        return e.exitCode;
    }
    return 1000;
}

}  // namespace kesu::test
