// Resources compiled into a module: byte blocks found by type and by name or number, as the resource
// functions of the system find them. The build embeds files with qsm_embed_resources (see
// embed_resources.cmake); each module registers its own resources when it is loaded.
#pragma once

#include "platform/base/wintypes.h"

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<uintptr_t>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(p) ((reinterpret_cast<uintptr_t>(p) >> 16) == 0)

#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_MENU MAKEINTRESOURCEA(4)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_ACCELERATOR MAKEINTRESOURCEA(9)
#define RT_RCDATA MAKEINTRESOURCEA(10)

// Type and name are numbers (MAKEINTRESOURCEA, or a text "#123") or texts compared without case. A null
// module means the program's module.
HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo);
// The resource's data stay in place for the life of the module; locking gives their address.
HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo);
LPVOID LockResource(HGLOBAL hResData);
BOOL FreeResource(HGLOBAL hResData);

// The string of a string-table entry (a resource of type RT_STRING whose number is uID): at most
// cchBufferMax-1 characters and a terminator; the count copied, 0 when there is no such string.
int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);

namespace qsm {

// Adds a resource to a module. The data must outlive the module (the embedded arrays do). A resource of the
// same type and name replaces the earlier one.
void RegisterResource(HMODULE module, LPCSTR type, LPCSTR name, const void* data, DWORD size);
// Forgets every resource of a module: a library that is unloaded takes its resources' data with it.
void UnregisterResources(HMODULE module);

}  // namespace qsm
