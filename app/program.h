// The program: the embedded image, the handler table and the entry routine that runs the
// assistant on whatever platform backend is installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "app/state.h"
#include "runtime/runtime_state.h"

namespace kesu::app {

// The program image serialised from the window description at build time.
std::span<const uint8_t> MainWindowImage();

// Gives the runtime the image and the handler table, and registers the libraries' code. Call
// before RunAssistant, once the platform backend is installed.
void InstallAssistant();

// The entry routine's steps up to the message loop: initialises the runtime, registers the
// clean-up routine and loads the main window, whose Created handler derives the byte sets and
// scans the ports. Tests drive the loop themselves after this.
void StartAssistant();

// Ends a run started with StartAssistant without ending the process, for tests and benchmarks:
// waits until no worker of the assistant runs (serving the window thread's queue meanwhile),
// then shuts the runtime down: destroys the window, runs the clean-up routine and notifies the
// libraries. The next run begins afresh with new state objects.
void StopAssistant();

// The application's entry routine: initialises the runtime, registers the clean-up routine,
// loads the main window (whose Created handler scans the ports) and runs the message loop until
// the window is closed; after the runtime's shutdown it joins the workers still running. Returns
// 0.
int RunAssistant();

// The state objects of one run of the assistant: the runtime's, then the assistant's, which holds
// the runtime's memory and so goes first. The program makes them at start-up, before
// InstallAssistant, and a test makes its own for a fresh start; they must go after the run has
// ended (StopAssistant or RunAssistant) and before the platform backend does.
struct AssistantStates {
    RuntimeState runtime;
    AssistantState assistant;
};

}  // namespace kesu::app
