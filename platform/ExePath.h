// The running program's own path, folder and base name.
#pragma once

#include <string>

namespace platform {

// Full path of the running executable; empty if it cannot be found.
std::string ExecutablePath();
// Folder of the executable, ending with '/'; empty if unknown.
std::string ExecutableFolder();
// File name of the executable without folder and extension.
std::string ExecutableBaseName();

}  // namespace platform
