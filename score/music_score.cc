// The score: staff list with visibility bits, unique staff names, settings and staff helpers.
#include "score/music_score.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "score/base/fonts_data.h"
#include "score/base/vocabulary.h"
#include "score/lyrics.h"
#include "score/music_staff.h"
#include "score/score_file_header.h"

namespace qsm {

uint16_t TodayDosDate() {
    const time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    const int year = std::clamp(local.tm_year + 1900 - 1980, 0, 127);
    return static_cast<uint16_t>((year << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
}

}  // namespace qsm

TMusicScore::TMusicScore(const TSongInfo* info) : FontData(new TMusicFontsData) {
    // A constructor that throws runs no destructor: the font data goes with the failure.
    std::unique_ptr<TMusicFontsData> fonts(FontData);
    Selection.Reset();
    Staves.reserve(17);
    Reset();
    if (info) memcpy(&SongInfo, info, sizeof(SongInfo));
    fonts.release();
}

TMusicScore::~TMusicScore() {
    for (int i = GetStaffCount() - 1; i >= 0; --i)
        delete DetachStaff(i);
    delete FontData;
}

void TMusicScore::Reset() {
    StaffVisible.Fill(false);
    StaffVisible.Set(0, 1);
    static_assert(sizeof(TSongInfo) == SCORE_INFO_SIZE);
    memcpy(&SongInfo, DefaultScoreInfo, sizeof(SongInfo));
    Margins = TPageMargins();
    Zoom = 8;
    PageNumbers = 0;
    StaffLabels = 0;
    Date = qsm::TodayDosDate();
    BarNumbers = 0;
    StartingBar = 1;
    LayoutFlags = LAYOUT_COMPRESSED | LAYOUT_TITLE_PAGE | LAYOUT_DURATION_PADDING | LAYOUT_ALLOW_LAYERING;
    PrintFlags = PRINT_JUSTIFY_VERTICALLY;
}

TMusicStaff* TMusicScore::GetStaff(int index) const {
    if (index < 0 || index >= GetStaffCount()) return nullptr;
    return Staves[static_cast<size_t>(index)];
}

bool TMusicScore::AddStaff(TMusicStaff* staff) {
    // The visibility array has no bit for a 256th staff.
    if (!staff || GetStaffCount() >= kMaxStaves) return false;
    Staves.push_back(staff);
    StaffVisible.Set(GetStaffCount() - 1, 1);
    return true;
}

bool TMusicScore::InsertStaff(TMusicStaff* staff, int index) {
    if (!staff || GetStaffCount() >= kMaxStaves) return false;
    if (index < 0) index = 0;
    if (index > GetStaffCount() - 1) return AddStaff(staff);
    Staves.insert(Staves.begin() + index, staff);
    StaffVisible.InsertBit(index, 1);
    return true;
}

TMusicStaff* TMusicScore::DetachStaff(int index) {
    if (index < 0 || index >= GetStaffCount()) return nullptr;
    TMusicStaff* staff = Staves[static_cast<size_t>(index)];
    Staves.erase(Staves.begin() + index);
    StaffVisible.DeleteBit(index);
    return staff;
}

int TMusicScore::FindStaffIndex(const TMusicStaff* staff) const {
    auto it = std::find(Staves.begin(), Staves.end(), staff);
    return it == Staves.end() ? -1 : static_cast<int>(it - Staves.begin());
}

int TMusicScore::FindStaffByName(const char* name) const {
    for (int i = 0; i < GetStaffCount(); ++i) {
        if (strcmp(Staves[static_cast<size_t>(i)]->GetName(), name) == 0) return i;
    }
    return -1;
}

int TMusicScore::FindLastStaffByName(const char* name) const {
    for (int i = GetStaffCount() - 1; i >= 0; --i) {
        if (strcmp(Staves[static_cast<size_t>(i)]->GetName(), name) == 0) return i;
    }
    return -1;
}

void TMusicScore::MakeUniqueStaffName(TMusicStaff* staff) {
    if (!staff) return;
    char work[32];
    qsm::CopyBounded(work, staff->GetName()[0] ? staff->GetName() : "Staff", sizeof(work));
    const int self = FindStaffIndex(staff);
    int n = 1;
    int width = 1;
    for (;;) {
        staff->SetName(work);
        const int first = FindStaffByName(work);
        if (first < 0 || (first == self && FindLastStaffByName(work) == self)) return;
        ++n;
        size_t len = strlen(work);
        char number[16];
        snprintf(number, sizeof(number), "%d", n);
        if (n == 2) {
            work[std::min<size_t>(len, 29)] = 0;
            strcat(work, "-2");
        } else if (n == 10 || n == 100) {
            const size_t drop = n == 10 ? 2 : 3;
            const size_t keep = n == 10 ? 28 : 27;
            len = len > drop ? len - drop : 0;
            work[std::min(len, keep)] = 0;
            strcat(work, n == 10 ? "-10" : "-100");
            width = n == 10 ? 2 : 3;
        } else {
            const size_t w = static_cast<size_t>(width);
            const size_t digits = strlen(number);
            // The number grows by a digit only at 10 and 100, handled above.
            if (len >= w && digits == w) memcpy(work + len - w, number, w);
        }
    }
}

void TMusicScore::MakeStaffName(char* out) const {
    for (int n = 1;; ++n) {
        snprintf(out, 32, "Staff-%d", n);
        if (FindStaffByName(out) < 0) return;
    }
}

bool TMusicScore::AnyStaffMultiPartDotPlacement() const {
    return std::any_of(Staves.begin(), Staves.end(),
                       [](const TMusicStaff* s) { return s->IsMultiPartDotPlacement(); });
}

void TMusicScore::SetAnyMultiPartDotPlacement(bool force) {
    SetLayoutFlag(LAYOUT_ANY_MULTIPART_DOTS, force || AnyStaffMultiPartDotPlacement());
}

void TMusicScore::ClearContent() {
    for (TMusicStaff* staff : Staves) {
        if (staff->GetItemCount() > 2) {
            int first = -1;
            for (int i = 0; i < staff->GetItemCount(); ++i) {
                const TNotatedItem* item = staff->GetItem(i);
                const int t = item->GetType();
                if (t == ntNote || t == ntRest || t == ntChord || t == ntRestChord ||
                    t == ntMultiMeasureRest) {
                    first = i;
                    break;
                }
            }
            if (first >= 1) staff->DeleteItems(first, staff->GetLastIndex() - 1);
        }
        if (staff->GetLyrics()) staff->GetLyrics()->ClearLines();
    }
}

void TMusicScore::GetStaffFlagBits(int kind, TQSBoolArray& bits) const {
    bits.Fill(false);
    for (int i = 0; i < GetStaffCount(); ++i) {
        const TMusicStaff* s = Staves[static_cast<size_t>(i)];
        bits.Set(i, kind == 0 ? (s->Muted != 0) : ((s->StaffFlags & STAFF_LAYER) != 0));
    }
}

void TMusicScore::SetStaffFlagBits(int kind, const TQSBoolArray& bits) {
    for (int i = 0; i < GetStaffCount(); ++i) {
        TMusicStaff* s = Staves[static_cast<size_t>(i)];
        const bool on = bits.Get(i) != 0;
        if (kind == 0) {
            s->Muted = on ? 1 : 0;
        } else {
            s->StaffFlags =
                static_cast<uint8_t>(on ? (s->StaffFlags | STAFF_LAYER) : (s->StaffFlags & ~STAFF_LAYER));
        }
    }
}

void TMusicScore::SelectStavesByGroup(const char* group, TQSBoolArray& bits) const {
    bits.Fill(false);
    for (int i = 0; i < GetStaffCount(); ++i) {
        if (strcmp(Staves[static_cast<size_t>(i)]->GetGroup(), group) == 0) bits.Set(i, 1);
    }
}

int TMusicScore::CountStavesOnPort(int device, int channel) const {
    return static_cast<int>(std::count_if(Staves.begin(), Staves.end(), [&](const TMusicStaff* s) {
        return s->Device == device && s->Channel == channel;
    }));
}

int TMusicScore::GetMaxPlayDevice() const {
    int device = 0;
    for (const TMusicStaff* s : Staves)
        device = std::max(device, s->Device);
    return device;
}

int TMusicScore::GetLastStaffDevice() const {
    return Staves.empty() ? 0 : Staves.back()->Device;
}

int TMusicScore::FindFreeChannel(int device) const {
    // An empty score has no last staff: the search starts at channel 0.
    const int last = Staves.empty() ? -1 : Staves.back()->Channel;
    for (int k = 1; k <= 16; ++k) {
        const int channel = ((last + k) % 16 + 16) % 16;
        if (CountStavesOnPort(device, channel) == 0) return channel;
    }
    return Staves.empty() ? 0 : last;
}

TScoreFileHeader& TMusicScore::GetDefaultFileHeader() {
    static TScoreFileHeader header;
    header.Init(StatusNotScoreFile);
    return header;
}
