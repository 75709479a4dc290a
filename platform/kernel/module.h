// Modules: the program and the shared libraries loaded into it. A module handle is the address at which the
// module's image starts, so that every module (the program, the plug-in) has its own resources.
#pragma once

#include "platform/base/wintypes.h"

using FARPROC = void (*)();

// The module of the program for a null name; otherwise a loaded module whose file name (with or without its
// folder and ".so" or ".dll" ending) matches, or null.
HMODULE GetModuleHandleA(LPCSTR lpModuleName);
// Loads a shared library (dlopen); a name ending in ".dll" is looked for with ".so" instead.
HMODULE LoadLibraryA(LPCSTR lpLibFileName);
BOOL FreeLibrary(HMODULE hLibModule);
// An exported function by name; null for a name given as an ordinal.
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// The full path of the module's file (the program for a null module); the length copied, 0 on failure.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

namespace qsm {

// The module that holds the given code or data address.
HMODULE ModuleOfAddress(const void* address);

}  // namespace qsm
