#include "app/program_libraries.h"

#include "libs/bignum/bignum_library.h"
#include "libs/core/core_library.h"
#include "libs/thread/thread_library.h"

namespace kesu::app {

std::vector<LibraryInfo> ProgramLibraries() {
    return {core::CoreLibraryInfo(), thread::ThreadLibraryInfo(), bignum::BignumLibraryInfo()};
}

void RegisterProgramLibraries() {
    core::RegisterCoreLibrary();
    thread::RegisterThreadLibrary();
    bignum::RegisterBignumLibrary();
}

}  // namespace kesu::app
