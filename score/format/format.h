// The staff formatting passes: they compute the derived marks of a staff's items (ties, slurs, groups,
// bar flags, dynamics, tempo ramps, preceding key signatures) from the musical context before each item.
#pragma once

class TMusicScore;
class TMusicStaff;
class TStaffItemRange;

// Formats every staff, or with force clear only those that need it.
void FormatAllStaffs(TMusicScore* score, bool force);
// Formats the items first to last of a staff (first < 0: from 0; last < 0: to the end); a whole staff
// formatted no longer needs it.
void FormatStaff(TMusicStaff& staff, int first = -1, int last = -1);
// Formats a staff after an edit of the items first to last (last < 0: the item first), two bars around.
void ReformatStaffRange(TMusicStaff& staff, int first, int last);
// The core pass: walks the staff from item 0 to ten bar lines past the range's last item. Called again for
// the same staff while its pass runs (a beam group settled on the way), it extends the running pass.
void FormatStaffItems(const TStaffItemRange& range);
// Installs the passes in the hooks through which the staff's and the item ranges' edits reformat. Programs
// install them with the other score hooks (qsm::InstallScoreHooks in render/hooks.h).
void InstallStaffFormatting();
