// The support libraries the program uses, in the order of the image's library list: the core
// library (1), the thread library (2) and the big-number library (3). The order fixes the library
// numbers in every unit type code and the command lookups of the assistant.
#pragma once

#include <vector>

#include "runtime/image.h"

namespace kesu::app {

// The libraries as the program image lists them.
std::vector<LibraryInfo> ProgramLibraries();
// Registers the libraries' code with the runtime, so that start-up finds it by identifier.
void RegisterProgramLibraries();

}  // namespace kesu::app
