// Libraries opened on first use.
#include "platform/kernel/lazy_library.h"

#include <dlfcn.h>

namespace qsm::kernel {

void* OpenLibrary(const char* soname) {
    // Kept open for the rest of the process: the tables of function pointers outlive every caller.
    return dlopen(soname, RTLD_NOW | RTLD_LOCAL);
}

void* LibrarySymbol(void* library, const char* name) {
    return library ? dlsym(library, name) : nullptr;
}

}  // namespace qsm::kernel
