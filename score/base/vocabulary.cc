#include "score/base/vocabulary.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

const char* const kLists[VOCABULARY_LIST_COUNT] = {
    // 0
    "Clef\0"
    "Key\0"
    "Bar\0"
    "Ending\0"
    "Instrument\0"
    "TimeSig\0"
    "Tempo\0"
    "Dynamic\0"
    "Note\0"
    "Rest\0"
    "Chord\0"
    "SustainPedal\0"
    "Flow\0"
    "MPC\0"
    "TempoVariance\0"
    "DynamicVariance\0"
    "PerformanceStyle\0"
    "Text\0"
    "RestChord\0"
    "ChordName\0"
    "Spacer\0"
    "RestMultiBar\0"
    "Boundary\0",
    // 1
    "Printer Default\0"
    "Staff Label Panel\0"
    "Editor Background\0"
    "Active Background\0"
    "Active Staff\0"
    "Inactive Staff\0"
    "Active Hidden Notation\0"
    "Inactive Hidden Notation\0"
    "Play Highlight\0"
    "Highlight 1\0"
    "Highlight 2\0"
    "Highlight 3\0"
    "Highlight 4\0"
    "Highlight 5\0"
    "Highlight 6\0"
    "Highlight 7\0",
    // 2
    "Standard\0"
    "Upper Grand Staff\0"
    "Lower Grand Staff\0"
    "Orchestral\0",
    // 3
    "Default\0"
    "Highlight 1\0"
    "Highlight 2\0"
    "Highlight 3\0"
    "Highlight 4\0"
    "Highlight 5\0"
    "Highlight 6\0"
    "Highlight 7\0",
    // 4
    "Default\0"
    "Always\0"
    "Top Staff Only\0"
    "Single Staff Prints\0"
    "Multi Staff Prints\0"
    "Never\0",
    // 5
    "Default\0"
    "Always\0"
    "TopStaff\0"
    "SingleStaff\0"
    "MultiStaff\0"
    "Never\0",
    // 6
    "Treble\0"
    "Bass\0"
    "Alto\0"
    "Tenor\0"
    "Percussion\0",
    // 7
    "Single\0"
    "Double\0"
    "Broken Single\0"
    "Broken Double\0"
    "Section Open\0"
    "Section Close\0"
    "Local Repeat Open\0"
    "Local Repeat Close\0"
    "Master Repeat Open\0"
    "Master Repeat Close\0"
    "Transparent\0",
    // 8
    "Single\0"
    "Double\0"
    "BrokenSingle\0"
    "BrokenDouble\0"
    "SectionOpen\0"
    "SectionClose\0"
    "LocalRepeatOpen\0"
    "LocalRepeatClose\0"
    "MasterRepeatOpen\0"
    "MasterRepeatClose\0"
    "Transparent\0",
    // 9
    "Section Close\0"
    "Master Repeat Close\0"
    "Single\0"
    "Double\0"
    "Open (hidden)\0",
    // 10
    "Coda\0"
    "Segno\0"
    "Fine\0"
    "To Coda\0"
    "Da Capo\0"
    "D.C. al Coda\0"
    "D.C. al Fine\0"
    "Dal Segno\0"
    "D.S. al Coda\0"
    "D.S. al Fine\0",
    // 11
    "Coda\0"
    "Segno\0"
    "Fine\0"
    "ToCoda\0"
    "DaCapo\0"
    "DCalCoda\0"
    "DCalFine\0"
    "DalSegno\0"
    "DSalCoda\0"
    "DSalFine\0",
    // 12
    "A\0"
    "B\0"
    "C\0"
    "D\0"
    "E\0"
    "F\0"
    "G\0",
    // 13
    "Whole\0"
    "Half\0"
    "Quarter\0"
    "Eighth\0"
    "Sixteenth\0"
    "Thirtysecond\0"
    "Sixtyfourth\0",
    // 14
    "Whole\0"
    "Half\0"
    "4th\0"
    "8th\0"
    "16th\0"
    "32nd\0"
    "64th\0",
    // 15
    "Default\0"
    "Always\0"
    "Never\0",
    // 16
    "None\0"
    "First\0"
    "Middle\0"
    "End\0",
    // 17
    "Pianissimo (ppp)\0"
    "Pianissimo\0"
    "Piano\0"
    "Mezzo piano\0"
    "Mezzo forte\0"
    "Forte\0"
    "Fortissimo\0"
    "Fortissimo (fff)\0",
    // 18
    "ppp\0"
    "pp\0"
    "p\0"
    "mp\0"
    "mf\0"
    "f\0"
    "ff\0"
    "fff\0",
    // 19
    "Crescendo\0"
    "Decrescendo\0"
    "Diminuendo\0"
    "Rinforzando\0"
    "Sforzando\0",
    // 20
    "cresc.\0"
    "decresc.\0"
    "dim.\0"
    "rfz\0"
    "sfz\0",
    // 21
    "Tempo\0"
    "Volume\0"
    "Stereo Pan\0"
    "Breath Control\0"
    "Pitch Bend\0"
    "Modulation Wheel\0"
    "Foot Controller\0"
    "Portamento Time\0"
    "Data Entry MSB\0"
    "Balance\0"
    "Expression\0"
    "Effect Controller 1\0"
    "Effect Controller 2\0"
    "Effects (Reverb) Depth\0"
    "Tremolo Depth\0"
    "Chorus Depth\0"
    "Celeste Detune Depth\0"
    "Phaser Depth\0",
    // 22
    "tempo\0"
    "vol\0"
    "pan\0"
    "bc\0"
    "pitch\0"
    "mod\0"
    "foot\0"
    "portamento\0"
    "datamsb\0"
    "bal\0"
    "exp\0"
    "fx1\0"
    "fx2\0"
    "reverb\0"
    "tremolo\0"
    "chorus\0"
    "detune\0"
    "phaser\0",
    // 23
    "Absolute\0"
    "Linear Sweep\0",
    // 24
    "Standard Signature\0"
    "Common Time\0"
    "Alla Breve\0",
    // 25
    "Standard\0"
    "Common\0"
    "AllaBreve\0",
    // 26
    "Eighth\0"
    "Eighth Dotted\0"
    "Quarter\0"
    "Quarter Dotted\0"
    "Half\0"
    "Half Dotted\0",
    // 27
    "Breath Mark\0"
    "Caesura\0"
    "Fermata\0"
    "Accelerando\0"
    "Allargando\0"
    "Rallentando\0"
    "Ritardando\0"
    "Ritenuto\0"
    "Rubato\0"
    "Stringendo\0",
    // 28
    ",\0"
    "//\0"
    "?\0"
    "accel.\0"
    "allarg.\0"
    "rall.\0"
    "ritard.\0"
    "rit.\0"
    "rubato\0"
    "string.\0",
    // 29
    "Ad Libitum\0"
    "Animato\0"
    "Cantabile\0"
    "Con brio\0"
    "Dolce\0"
    "Espressivo\0"
    "Grazioso\0"
    "Legato\0"
    "Maestoso\0"
    "Marcato\0"
    "Meno mosso\0"
    "Poco a poco\0"
    "Pi\xF9"
    " mosso\0"
    "Semplice\0"
    "Simile\0"
    "Solo\0"
    "Sostenuto\0"
    "Sotto Voce\0"
    "Staccato\0"
    "Subito\0"
    "Tenuto\0"
    "Tutti\0"
    "Volta Subito\0",
    // 30
    "ad lib.\0"
    "animato\0"
    "cantabile\0"
    "con brio\0"
    "dolce\0"
    "espress.\0"
    "grazioso\0"
    "legato\0"
    "maestoso\0"
    "marc.\0"
    "meno mosso\0"
    "poco a poco\0"
    "pi\xF9"
    " mosso\0"
    "semplice\0"
    "simile\0"
    "solo\0"
    "sostenuto\0"
    "sotto voce\0"
    "staccato\0"
    "subito\0"
    "tenuto\0"
    "tutti\0"
    "volta subito\0",
    // 31
    "Left\0"
    "Center\0"
    "Right\0",
    // 32
    "None\0"
    "Octave Up\0"
    "Octave Down\0",
    // 33
    "Best Fit\0"
    "Best Fit Forward\0"
    "As Staff Signature\0"
    "At Next Note/Bar\0",
    // 34
    "BestFit\0"
    "BestFitForward\0"
    "AsStaffSignature\0"
    "AtNextNote\0",
    // 35
    "None\0"
    "Plain\0"
    "Circled\0"
    "Boxed\0",
    // 36
    "Staff Symbols\0"
    "Staff Cue Symbols\0"
    "Staff Italic\0"
    "Staff Bold\0"
    "Staff Lyric\0"
    "Page Title Text\0"
    "Page Text\0"
    "Page Small Text\0"
    "User 1\0"
    "User 2\0"
    "User 3\0"
    "User 4\0"
    "User 5\0"
    "User 6\0",
    // 37
    "StaffSymbols\0"
    "StaffCueSymbols\0"
    "StaffItalic\0"
    "StaffBold\0"
    "StaffLyric\0"
    "PageTitleText\0"
    "PageText\0"
    "PageSmallText\0"
    "User1\0"
    "User2\0"
    "User3\0"
    "User4\0"
    "User5\0"
    "User6\0",
    // 38
    "Bottom\0"
    "Top\0",
    // 39
    "Default\0"
    "Upward\0"
    "Downward\0",
    // 40
    "Start of Accidental/Note\0"
    "Standard Rules\0",
    // 41
    "Down\0"
    "Released\0",
    // 42
    "None\0"
    "First System\0"
    "Top Systems\0"
    "All Systems\0",
    // 43
    "#bnxv\0",
    // 44
    "oxXzyYabcdefghijklmnpqrstuvwABCDEFGHIJKLMNOPQRSTUVW\0",
    // 45
    "Reset\0"
    "NewSize\0"
    "Collapse\0"
    "EndCollapse\0"
    "Gap\0"
    "NewSystem\0",
};

}  // namespace

const char* GetNameList(int list) {
    if (list < 0 || list >= VOCABULARY_LIST_COUNT) return "";
    return kLists[list];
}

const char* GetListName(int list, int n) {
    const char* name = GetNameList(list);
    for (int i = 0; i < n; ++i) {
        if (*name == 0) break;
        name += std::strlen(name) + 1;
    }
    return *name ? name : "***";
}

char DefaultScoreInfo[SCORE_INFO_SIZE];

namespace qsm {
void FillDefaultScoreInfo(char* block, int year) {
    std::memset(block, 0, SCORE_INFO_SIZE);
    std::snprintf(block + SCORE_INFO_COPYRIGHT1, SCORE_INFO_COPYRIGHT2 - SCORE_INFO_COPYRIGHT1,
                  "Copyright \xA9 %04d. All rights reserved.", year);
    std::snprintf(block + SCORE_INFO_AUTHOR, SCORE_INFO_LYRICIST - SCORE_INFO_AUTHOR, "%s",
                  "QuillStave Composer");
}
}  // namespace qsm

void InitDefaultScoreInfo() {
    std::time_t now = std::time(nullptr);
    std::tm local = {};
    localtime_r(&now, &local);
    qsm::FillDefaultScoreInfo(DefaultScoreInfo, local.tm_year + 1900);
}

namespace {
// Start-up: the block is ready before any score is made.
[[maybe_unused]] const bool kDefaultScoreInfoReady = (InitDefaultScoreInfo(), true);
}  // namespace
