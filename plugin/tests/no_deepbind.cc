// Preloaded into the page viewer in sanitizer builds: the browser engine opens plug-ins with their own
// symbols bound first (RTLD_DEEPBIND), which the address sanitizer's run-time refuses. The plug-in binds
// nothing that the engine also defines, so it is opened without that flag.
#include <dlfcn.h>

extern "C" __attribute__((visibility("default"))) void* dlopen(const char* file, int mode) {
    using Open = void* (*)(const char*, int);
    static Open next = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "dlopen"));
    return next != nullptr ? next(file, mode & ~RTLD_DEEPBIND) : nullptr;
}
