// Staffs built for the formatting tests, and a text of every stored and derived field of a staff's items
// that two formatted staffs are compared by.
#pragma once

#include <cstdint>
#include <string>

#include "score/music_staff.h"
#include "score/song_note.h"

namespace format_fixture {

// A note with the beam and triplet states given.
TMusicNote* Grouped(int pos, int dur, int beam, int triplet = gsNone, uint16_t attributes = 0);
// Every stored and derived field of every item of the staff, one line per item.
std::string Snapshot(const TMusicStaff& staff);
// The first line in which two snapshots differ, both versions; empty when they agree.
std::string FirstDifference(const std::string& a, const std::string& b);
// A staff of every kind of item, with marks drawn at random (many of them wrong for their context).
void FillRandom(TMusicStaff& staff, unsigned seed, int count);
// A staff in the shape of hand-written music: default-stem beams, ties over bar lines, chords, slurs, rests.
void FillMusic(TMusicStaff& staff, int bars);

}  // namespace format_fixture
