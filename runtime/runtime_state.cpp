#include "runtime/runtime_state.h"

#include <dlfcn.h>

namespace kesu {

RuntimeState::~RuntimeState() {
    // Windows and units first: their Destroyed events still reach the handlers, and the units
    // release what they hold through the runtime.
    DestroyAllWindows();
    for (auto& w : windows.windows) {
        if (w->tmpl) w->tmpl->loaded = nullptr;
    }
    windows.windows.clear();
    // Then the libraries hear that the program ends, and the modules of DLL commands go.
    StopLibraries();
    {
        std::lock_guard lock(dll.mutex);
        for (void* module : dll.modules) dlclose(module);
        dll.modules.clear();
    }
    // The parts' own state last, newest first and without the lock held: a library may wait for
    // the threads it started, and those may still ask for their part's state until they end.
    for (;;) {
        std::unique_ptr<LibraryState> last;
        {
            std::lock_guard lock(libraries.statesMutex);
            if (libraries.states.empty()) break;
            last = std::move(libraries.states.back().second);
            libraries.states.pop_back();
        }
        last.reset();
    }
}

}  // namespace kesu
