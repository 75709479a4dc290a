// Modules: the program and the shared libraries loaded into it. A module handle is the address at which the
// module's image starts, so that every module (the program, the plug-in) has its own resources.
#pragma once

#include <vector>

#include "platform/base/wintypes.h"

using FARPROC = void (*)();

// Built-in modules: the system libraries the program names ("gdi32.dll", "User32.dll", "UxTheme.dll",
// "RichEd20.dll") are parts of this layer. Each is always loaded, found by its name without regard to case
// (with or without ".dll"), and offers by name the functions its layer registered (see
// qsm::SetBuiltinModuleFunctions); every other name is missing from it.
//
// The module of the program for a null name; a built-in module; otherwise a loaded module whose file name
// (with or without its folder and ".so" or ".dll" ending) matches, or null.
HMODULE GetModuleHandleA(LPCSTR lpModuleName);
// A built-in module, else loads a shared library (dlopen); a name ending in ".dll" is looked for with ".so"
// instead.
HMODULE LoadLibraryA(LPCSTR lpLibFileName);
BOOL FreeLibrary(HMODULE hLibModule);
// An exported function by name; null for a name given as an ordinal.
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// The full path of the module's file (the program for a null module); the length copied, 0 on failure.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

namespace qsm {

// The module that holds the given code or data address.
HMODULE ModuleOfAddress(const void* address);

// One function of a built-in module.
struct BuiltinFunction {
    const char* name;
    FARPROC proc;
};
// Sets the functions a built-in module offers (the layer that implements them registers them once; tests
// register others to try both roads of a caller) and returns those it offered before. A name that is not
// built in yet becomes one.
std::vector<BuiltinFunction> SetBuiltinModuleFunctions(const char* module,
                                                       std::vector<BuiltinFunction> functions);
// Adds functions to those a built-in module offers.
void AddBuiltinModuleFunctions(const char* module, const std::vector<BuiltinFunction>& functions);

}  // namespace qsm
