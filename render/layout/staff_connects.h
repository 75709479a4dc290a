// The beams, triplet brackets and slurs of one laid-out staff segment: growable record arrays, the builders
// that compute their geometry from the layout records, and their drawing.
#pragma once

#include <cstdint>
#include <vector>

#include "render/bezier2.h"

class TStaffDrawInfo;
class TLayoutRecord;
class TMusicNote;
class TSongNote;

// A straight line joining the stems of a run of notes: a beam or a triplet bracket.
struct TStaffConnect {
    // Bits 0-3 grace flag, bit 4 stems down (bracket below), bit 6 every counted note hidden.
    uint8_t Flags = 0;
    uint16_t First = 0;
    uint16_t Last = 0;
    int32_t X0 = 0;
    int32_t Y0 = 0;
    int32_t X1 = 0;
    float Slope = 0.0f;

    int GetGraceFlag() const { return Flags & 0x0F; }
    bool IsDown() const { return (Flags & 0x10) != 0; }
    bool IsAllHidden() const { return (Flags & 0x40) != 0; }
};

// y of a connect's line at x, truncated toward zero.
int ConnectYAt(const TStaffConnect& connect, int x);

// Records grow by 16 up to 512; the 513th record is refused.
template <class Record>
class TQSConnectArray {
public:
    static constexpr int kMaxRecords = 512;
    explicit TQSConnectArray(int capacity) {
        if (capacity > 0) Records.reserve(static_cast<size_t>(capacity));
        Capacity = capacity > 0 ? capacity : 0;
    }
    void Clear() { Records.clear(); }
    bool Grow() {
        if (GetCount() < Capacity) return true;
        if (Capacity >= kMaxRecords) return false;
        Capacity = Capacity + 16 < kMaxRecords ? Capacity + 16 : kMaxRecords;
        Records.reserve(static_cast<size_t>(Capacity));
        return true;
    }
    bool Add(const Record& r) {
        if (!Grow()) return false;
        Records.push_back(r);
        return true;
    }
    const Record* FindById(int first) const {
        for (const Record& r : Records)
            if (r.First == first) return &r;
        return nullptr;
    }
    const Record* FindCovering(int graceFlag, int index, int* position = nullptr) const {
        for (size_t i = 0; i < Records.size(); ++i) {
            const Record& r = Records[i];
            if (r.First <= index && index <= r.Last && (r.Flags & 0x0F) == graceFlag) {
                if (position) *position = static_cast<int>(i);
                return &r;
            }
        }
        if (position) *position = GetCount();
        return nullptr;
    }
    int GetCount() const { return static_cast<int>(Records.size()); }
    int GetCapacity() const { return Capacity; }
    const Record& operator[](int i) const { return Records[static_cast<size_t>(i)]; }

private:
    std::vector<Record> Records;
    int Capacity = 0;
};

using TQSStaffConnects = TQSConnectArray<TStaffConnect>;

struct TStaffSlur {
    // Bits 0-3 grace flag, bit 4 bends downward, bit 6 starts on a hidden record.
    uint8_t Flags = 0;
    uint16_t First = 0;
    uint16_t Last = 0;
    Bezier2 Curve;
};

using TQSStaffSlurs = TQSConnectArray<TStaffSlur>;

// Least stem length of a beamed note in staff steps.
int MinStemLength(TStaffDrawInfo& info, TMusicNote& note, bool inner, bool end);
bool BuildBeam(TStaffDrawInfo& info, TStaffConnect& out, int recordIndex, int x);
void DrawBeam(TStaffDrawInfo& info, int recordIndex, int x);

// The note of a note or chord on which a slur of the direction attaches.
TMusicNote* SlurEndNote(TSongNote* note, int direction);
bool BuildSlur(TStaffDrawInfo& info, TStaffSlur& out, int recordIndex, int x);
void DrawSlurs(TStaffDrawInfo& info, int lo, int hi);

int TripletItemY(TStaffDrawInfo& info, int recordIndex, int x, int direction);
bool BuildTripletBracket(TStaffDrawInfo& info, TStaffConnect& out, int recordIndex, int x);
void DrawTripletBracket(TStaffDrawInfo& info, int recordIndex);
