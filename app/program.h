// The program: the embedded image, the handler table and the entry routine that runs the
// assistant on whatever platform backend is installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

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
// destroys the window, runs the clean-up routine, notifies the libraries and forgets the
// runtime's state, so that the next StartAssistant begins afresh.
void StopAssistant();

// The application's entry routine: initialises the runtime, registers the clean-up routine,
// loads the main window (whose Created handler scans the ports) and runs the message loop until
// the window is closed. Returns 0.
int RunAssistant();

}  // namespace kesu::app
