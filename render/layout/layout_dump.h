// The text form of a laid-out system: per staff its vertical place and flags, then one line per layout
// record with kind, flags, item, count, width, time and x; beams, brackets and slurs follow. Tests compare
// layouts as these numbers.
#pragma once

#include <string>

class TScoreDrawInfo;
class TStaffDrawInfo;

namespace qsm {

const char* LayoutKindName(int kind);
std::string DumpStaffLayout(const TStaffDrawInfo& info, bool geometry);
std::string DumpSystemLayout(const TScoreDrawInfo& system, bool geometry);

}  // namespace qsm
