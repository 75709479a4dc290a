// The staff formatting passes: they compute the derived marks of a staff's items (ties, slurs, groups,
// bar flags, dynamics, tempo ramps, preceding key signatures).
#pragma once

class TMusicScore;
class TMusicStaff;

// Formats every staff, or with force clear only those that need it.
void FormatAllStaffs(TMusicScore* score, bool force);
// Formats the items first to last of a staff (first < 0: from 0; last < 0: to the end).
void FormatStaff(TMusicStaff& staff, int first = -1, int last = -1);
