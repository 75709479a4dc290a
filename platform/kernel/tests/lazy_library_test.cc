// Libraries opened on first use: a table is complete or absent, and loading happens once.
#include <gtest/gtest.h>

#include <zlib.h>

#include "platform/kernel/lazy_library.h"

// zlib stands in for a library the program does not need at start (the test links it, so it is there).
#define QSM_TEST_Z_FUNCTIONS(X) X(zlibVersion) X(crc32)
QSM_LAZY_LIBRARY(ZApi, "libz.so.1", QSM_TEST_Z_FUNCTIONS)

// A name the library lacks makes the whole table missing, so callers never meet a null function.
extern "C" int qsm_no_such_zlib_function(int);
#define QSM_TEST_BROKEN_FUNCTIONS(X) X(zlibVersion) X(qsm_no_such_zlib_function)
QSM_LAZY_LIBRARY(BrokenApi, "libz.so.1", QSM_TEST_BROKEN_FUNCTIONS)

extern "C" int qsm_absent(void);
#define QSM_TEST_ABSENT_FUNCTIONS(X) X(qsm_absent)
QSM_LAZY_LIBRARY(AbsentApi, "libqsm-no-such-library.so.9", QSM_TEST_ABSENT_FUNCTIONS)

namespace {

TEST(LazyLibrary, ATableIsCompleteOrMissing) {
    const ZApi* z = ZApi::Get();
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z, ZApi::Get());  // loaded once
    EXPECT_STREQ(z->zlibVersion(), zlibVersion());
    const unsigned char abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(z->crc32(0, abc, 3), 0x352441C2u);

    EXPECT_EQ(BrokenApi::Get(), nullptr);
    EXPECT_EQ(AbsentApi::Get(), nullptr);
    EXPECT_EQ(qsm::kernel::OpenLibrary("libqsm-no-such-library.so.9"), nullptr);
    EXPECT_EQ(qsm::kernel::LibrarySymbol(nullptr, "crc32"), nullptr);
}

}  // namespace
