// Test support: ends of the program become exceptions that a test can catch,
// and the error box is recorded instead of shown.
#pragma once

#include <string>
#include <vector>

#include "runtime/errors.h"
#include "runtime/library.h"
#include "runtime/notify.h"
#include "runtime/runtime_state.h"
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

// A fresh runtime state for one test, with the recording presenter and the
// throwing process end installed in it; the state goes with the sandbox, so
// tests stay independent. A sandbox made while another exists is a fresh run
// of its own until it goes.
class RuntimeSandbox {
  public:
    RuntimeSandbox() {
        RecordedBoxes().clear();
        SetErrorBoxPresenter(RecordBox);
        SetProcessExit(ThrowOnExit);
    }
    ~RuntimeSandbox() { RecordedBoxes().clear(); }
    RuntimeSandbox(const RuntimeSandbox&) = delete;
    RuntimeSandbox& operator=(const RuntimeSandbox&) = delete;

  private:
    RuntimeState state_;
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
