// The font system's set-up started on a thread of its own, with private font files given ahead and faces
// matched ahead: fonts used at once wait for it and are the ones found without it. Each case runs in a fresh
// process of its own (the set-up happens once per process).
#include <gtest/gtest.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/gdi/font_setup.h"
#include "platform/gdi/gdi.h"

namespace {

const std::string kMusic = std::string(QSM_FONTS_DIR) + "/qsm2stda.ttf";
const std::string kCue = std::string(QSM_FONTS_DIR) + "/qsm2std.ttf";

// The face found for the name, or "none" when that is not the face asked for.
std::string Found(const char* name, int weight = FW_NORMAL) {
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTA lf{};
    lf.lfHeight = -12;
    lf.lfWeight = weight;
    CopyFaceName(lf.lfFaceName, name);
    HFONT f = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, f);
    char face[LF_FACESIZE] = "";
    GetTextFaceA(dc, LF_FACESIZE, face);
    SIZE size{};
    GetTextExtentPoint32A(dc, "Ag", 2, &size);
    SelectObject(dc, old);
    DeleteObject(f);
    DeleteDC(dc);
    if (size.cx <= 0) return "no extent";
    return strcasecmp(face, name) == 0 ? std::string(face) : std::string("none");
}

// Ends the process with 0 when the steps gave what was expected, else shows what they gave.
void EndWith(const std::string& got, const std::string& expected) {
    if (got != expected) std::fprintf(stderr, "got: %s\n", got.c_str());
    std::exit(got == expected ? 0 : 1);
}

class FontSetup : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        // No matches kept from run to run (a folder that cannot be made): fontconfig answers every time.
        setenv("XDG_CACHE_HOME", "/dev/null/none", 1);
    }
};

TEST_F(FontSetup, FilesAddedByTheProgramKeepTheFacesMatchedAhead) {
    EXPECT_EXIT(
        {
            qsm::gdi::StartFontSetup({kMusic, kCue}, {{"QSM2STDA"}, {"QSM2STD"}, {"Liberation Serif", true}});
            qsm::gdi::StartFontSetup();  // one set-up per process
            std::string got = std::to_string(AddFontResourceExA(kMusic.c_str(), FR_PRIVATE, nullptr));
            got += std::to_string(AddFontResourceExA(kCue.c_str(), FR_PRIVATE, nullptr));
            // A face not asked for ahead is matched while the thread matches the others.
            got += " " + Found("liberation mono");
            got +=
                " " + Found("QSM2STDA") + " " + Found("QSM2STD") + " " + Found("liberation serif", FW_BOLD);
            // A file removed is out of the matching again.
            got += RemoveFontResourceExA(kCue.c_str(), FR_PRIVATE, nullptr) ? " removed " : " kept ";
            got += Found("QSM2STD") + " " + Found("QSM2STDA");
            EndWith(got, "11 Liberation Mono QSM2STDA QSM2STD Liberation Serif removed none QSM2STDA");
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(FontSetup, FacesAskedForBeforeTheProgramAddsTheFilesAreMatchedWithoutThem) {
    EXPECT_EXIT(
        {
            qsm::gdi::StartFontSetup({kMusic, kCue}, {{"QSM2STDA"}, {"QSM2STD"}});
            std::string got = std::to_string(AddFontResourceExA(kMusic.c_str(), FR_PRIVATE, nullptr));
            // The cue font was given ahead but not added by the program: it is not found.
            got += " " + Found("QSM2STD") + " " + Found("QSM2STDA");
            got += " " + std::to_string(AddFontResourceExA(kCue.c_str(), FR_PRIVATE, nullptr));
            got += " " + Found("QSM2STD");
            EndWith(got, "1 none QSM2STDA 1 QSM2STD");
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(FontSetup, FacesAskedForInAnotherOrderThanTheSetUpsAreTheOnesFoundWithoutIt) {
    EXPECT_EXIT(
        {
            // Whether the thread is matching a face, has matched it or has not begun it yet, the program
            // finds the same face.
            qsm::gdi::StartFontSetup({}, {{"Liberation Sans"},
                                          {"Liberation Serif"},
                                          {"Liberation Mono"},
                                          {"Liberation Serif", true},
                                          {"Liberation Sans", true}});
            std::string got = Found("liberation sans", FW_BOLD) + " " + Found("liberation serif", FW_BOLD);
            got += " " + Found("liberation mono") + " " + Found("liberation sans") + " " +
                   Found("liberation serif");
            EndWith(got, "Liberation Sans Liberation Serif Liberation Mono Liberation Sans Liberation Serif");
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(FontSetup, FontsUsedAtOnceFindTheSameFacesWhetherTheThreadOrTheFirstUseSetsUp) {
    // Used at once, fonts are set up either by the thread or, when it has not begun yet, by the first use:
    // every start in turn finds the same faces.
    for (int start = 0; start < 8; ++start) {
        EXPECT_EXIT(
            {
                qsm::gdi::StartFontSetup({kMusic},
                                         {{"QSM2STDA"}, {"Liberation Serif"}, {"Liberation Sans", true}});
                std::string got = Found("liberation sans", FW_BOLD) + " " + Found("QSM2STDA");
                got += " " + std::to_string(AddFontResourceExA(kMusic.c_str(), FR_PRIVATE, nullptr));
                got += " " + Found("QSM2STDA") + " " + Found("liberation serif");
                EndWith(got, "Liberation Sans none 1 QSM2STDA Liberation Serif");
            },
            ::testing::ExitedWithCode(0), "");
    }
}

TEST_F(FontSetup, ASetUpWithoutFilesOrFacesOnlyReadsTheConfiguration) {
    EXPECT_EXIT(
        {
            qsm::gdi::StartFontSetup();
            EndWith(Found("liberation sans"), "Liberation Sans");
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
