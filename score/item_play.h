// Services of item playback that a performance walk needs besides the items' own playback operations.
#pragma once

class TStaffPlayState;
class TMidiFileBuf;

// Ends every tied note that still sounds because no note continued its tie, at the tick where the tied
// note's own length ended. A performance walk calls it when a staff's walk ends.
void EndSoundingTies(TStaffPlayState& state, TMidiFileBuf& buffer);
