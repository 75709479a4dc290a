// System libraries that only some runs need (the display, the synthesizer, the printer spooler), opened the
// first time they are used instead of when the program starts: a run that never shows a window, plays or
// prints to CUPS neither loads nor relocates them or the libraries they pull in.
//
// A user lists the functions it calls and gets a table of pointers with the same names and types:
//
//   #define QSM_FOO_FUNCTIONS(X) X(foo_open) X(foo_close)
//   QSM_LAZY_LIBRARY(FooApi, "libfoo.so.1", QSM_FOO_FUNCTIONS)
//   ...
//   if (const FooApi* foo = FooApi::Get()) foo->foo_open(...);
//
// Get() answers null when the library or any listed function is missing.
#pragma once

namespace qsm::kernel {

// The library of this file name, opened on the first call (later calls answer the same handle); null when
// it cannot be loaded.
void* OpenLibrary(const char* soname);
// The address of `name` in a library that OpenLibrary opened; null when it has none.
void* LibrarySymbol(void* library, const char* name);

}  // namespace qsm::kernel

#define QSM_LAZY_LIBRARY_MEMBER(fn) decltype(&::fn) fn = nullptr;
#define QSM_LAZY_LIBRARY_RESOLVE(fn)                                                        \
    api.fn = reinterpret_cast<decltype(&::fn)>(::qsm::kernel::LibrarySymbol(library, #fn)); \
    complete = complete && api.fn != nullptr;

// Declares the table `Name` of the functions LIST names, found in library `soname`. Loading happens once,
// on the first Get(), and is safe from any thread.
#define QSM_LAZY_LIBRARY(Name, soname, LIST)                        \
    struct Name {                                                   \
        LIST(QSM_LAZY_LIBRARY_MEMBER)                               \
        static const Name* Get() {                                  \
            static const Name* const loaded = []() -> const Name* { \
                void* library = ::qsm::kernel::OpenLibrary(soname); \
                if (library == nullptr) return nullptr;             \
                static Name api;                                    \
                bool complete = true;                               \
                LIST(QSM_LAZY_LIBRARY_RESOLVE)                      \
                return complete ? &api : nullptr;                   \
            }();                                                    \
            return loaded;                                          \
        }                                                           \
    };
