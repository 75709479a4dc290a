// The score MIDI player as the score view's source of play positions: the view asks per score staff where
// the performance stands, where it stood before the last move, and how far it went into a multi-measure
// rest; the player answers in its own records, which hold the same three fields.
#pragma once

#include "midi/score_player.h"
#include "render/view/score_view.h"

class TScoreMidiPlayerPositions : public TPlayPositionSource {
public:
    explicit TScoreMidiPlayerPositions(const TScoreMidiPlayer& player) : Player(player) {}

    void GetStaffPosition(TViewPlayPosition& out, int staff) const override {
        TStaffPlayPosition p;
        Player.GetStaffPosition(p, staff);
        out = Convert(p);
    }
    void GetStaffLastPosition(TViewPlayPosition& out, int staff) const override {
        TStaffPlayPosition p;
        Player.GetStaffLastPosition(p, staff);
        out = Convert(p);
    }
    DWORD GetStaffRestOffsetTicks(int staff) const override { return Player.GetStaffRestOffsetTicks(staff); }

private:
    static TViewPlayPosition Convert(const TStaffPlayPosition& p) {
        TViewPlayPosition v;
        v.Index = p.Index;
        v.RestBars = p.RestBars;
        v.RepeatPass = p.RepeatPass;
        return v;
    }
    const TScoreMidiPlayer& Player;
};
