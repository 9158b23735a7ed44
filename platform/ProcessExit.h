// Ending the process on a fatal failure. The exit goes through one
// replaceable handler so that tests can observe the exit code.
#pragma once

#include <functional>

namespace platform {

// Ends the process with the code: standard output and error are flushed,
// then the process ends at once, without running other threads' work or
// static destructors (the caller may be any thread). When a handler is
// installed, the handler is called instead and ExitProcess returns after it.
void ExitProcess(int code);

// Installs a handler (an empty function restores the default). Returns the
// previous handler.
std::function<void(int)> SetExitHandler(std::function<void(int)> handler);

}  // namespace platform
