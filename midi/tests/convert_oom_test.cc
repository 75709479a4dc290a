// A MIDI conversion that runs out of memory at any allocation throws std::bad_alloc and leaves nothing it
// made allocated: the leak checker of the sanitizer build reports what stays when the program ends. The
// program replaces the global allocation functions, so it holds this test alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>

#include "core/ram_stream.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "midi/tests/smf_builder.h"
#include "score/music_score.h"

namespace {

// Allocations on this thread, and how many more succeed before one fails (-1: none fails).
thread_local long tAllocations = 0;
thread_local long tFailIn = -1;

void* Allocate(std::size_t size) {
    ++tAllocations;
    if (tFailIn == 0) {
        tFailIn = -1;
        throw std::bad_alloc();
    }
    if (tFailIn > 0) --tFailIn;
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}

void* AllocateOrNull(std::size_t size) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateOrNull(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

using namespace qsm::test;

// A short file that takes every pass: signatures and tempos in the conductor, a track split by channel and by
// a wide span, held chords tied over bars, pedals, a patch, lyrics beside notes and on a track of their own.
Bytes ShortFile() {
    TrackBuilder conductor;
    conductor.Text(0, 3, "Song").Tempo(0, 500000).Meta(0, 0x58, {3, 2, 24, 8}).Meta(0, 0x59, {0xFD, 1});
    conductor.Meta(1152, 0x58, {4, 2, 24, 8}).Tempo(0, 400000).Meta(768, 0x59, {2, 0}).End();
    TrackBuilder piano;
    piano.Text(0, 3, "Piano").Event(0, {0xC0, 5}).Event(0, {0xB0, 64, 127});
    piano.Event(0, {0x90, 60, 90}).Text(0, 5, "Hel-").Event(0, {0x90, 64, 90}).Event(0, {0x90, 67, 90});
    piano.Event(0, {0x91, 36, 90}).Event(96, {0x90, 86, 90}).Text(0, 5, "lo ").Event(96, {0x80, 86, 0});
    piano.Event(0, {0xB0, 64, 0}).Text(0, 5, "\r").Event(1500, {0x80, 60, 0}).Event(0, {0x80, 64, 0});
    piano.Event(0, {0x80, 67, 0}).Event(0, {0x81, 36, 0}).Event(200, {0x90, 63, 90}).Text(0, 5, "world");
    piano.Event(3300, {0x80, 63, 0}).End();
    TrackBuilder words;
    words.Text(0, 5, "la").Text(192, 5, "/la").Text(192, 5, "la").End();
    return MakeFile(1, 192, {conductor, piano, words});
}

}  // namespace

TEST(ConvertOutOfMemory, EveryAllocationFailsInTurn) {
    Bytes bytes = ShortFile();
    TSMFData data;
    TQSRFlatRamStream in(bytes.data(), static_cast<DWORD>(bytes.size()), static_cast<DWORD>(bytes.size()));
    TSMFImport::Run(&data, &in, nullptr);
    TSMFImportList list;
    BuildImportInstructions(&data, list, true, 16);
    ASSERT_EQ(list.size(), 3u);

    // The second conversion counts: the first also makes what lives on after it.
    std::unique_ptr<TMusicScore>(ConvertMidiToScore(&data, list, 1));
    tAllocations = 0;
    std::unique_ptr<TMusicScore> whole(ConvertMidiToScore(&data, list, 1));
    const long total = tAllocations;
    ASSERT_EQ(whole->GetStaffCount(), 6);
    whole.reset();
    // Every pass allocates (about 400 times unoptimised; an optimised build leaves out blocks it can keep
    // on the stack, 150 or so).
    ASSERT_GT(total, 100);

    // At most about 1500 failing conversions, so that the sanitizer build runs them in a second or two.
    const long stride = 1 + total / 1500;
    for (long n = 0; n < total; n += stride) {
        tFailIn = n;
        bool thrown = false;
        try {
            delete ConvertMidiToScore(&data, list, 1);
        } catch (const std::bad_alloc&) {
            thrown = true;
        }
        const bool failed = tFailIn < 0;
        tFailIn = -1;
        EXPECT_TRUE(failed) << "allocation " << n;
        EXPECT_TRUE(thrown) << "allocation " << n;
    }
}
