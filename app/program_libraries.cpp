#include "app/program_libraries.h"

#include "libs/core/core_library.h"

namespace kesu::app {

std::vector<LibraryInfo> ProgramLibraries() {
    return {core::CoreLibraryInfo()};
}

void RegisterProgramLibraries() {
    core::RegisterCoreLibrary();
}

}  // namespace kesu::app
