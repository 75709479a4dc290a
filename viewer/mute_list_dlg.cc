#include "viewer/mute_list_dlg.h"

#include <vector>

#include "score/music_score.h"
#include "score/music_staff.h"
#include "ui/controls.h"
#include "viewer/app.h"

namespace {

constexpr UINT kCmPause = 125;

}  // namespace

DEFINE_RESPONSE_TABLE1(TMuteListDlg, TQSMViewerDlg)
EV_CHILD_NOTIFY_ALL_CODES(TMuteListDlg::IdGroups, EvGroupsNotify),
    EV_CHILD_NOTIFY_ALL_CODES(TMuteListDlg::IdParts, EvPartsNotify),
    EV_COMMAND(TMuteListDlg::IdPlayAll, CmPlayAll), EV_COMMAND(TMuteListDlg::IdMuteAll, CmMuteAll),
    EV_COMMAND(TMuteListDlg::IdReverseAll, CmReverseAll), END_RESPONSE_TABLE;

TMuteListDlg::TMuteListDlg(TWindow* parent, const TMusicScore& score, TQSBoolArray& muted,
                           const TQSBoolArray& leftOut, TModule* module)
    : TQSMViewerDlg(parent, IDD_MUTELIST, module), Score(score), Muted(muted), LeftOut(leftOut) {
    Groups = new TQSRMultiSelListBox(this, IdGroups, module);
    Parts = new TQSRMultiSelListBox(this, IdParts, module);
}

bool TMuteListDlg::IsSelected(TQSRMultiSelListBox* list, int row) const {
    return list->SendMessage(LB_GETSEL, static_cast<WPARAM>(row)) > 0;
}

void TMuteListDlg::Select(TQSRMultiSelListBox* list, int row, bool on) {
    list->SendMessage(LB_SETSEL, on ? TRUE : FALSE, row);
}

void TMuteListDlg::StavesOfGroup(int row, TQSBoolArray& staves) const {
    std::string name = Groups->GetString(row);
    Score.SelectStavesByGroup(name.c_str(), staves);
}

void TMuteListDlg::TransferData(TTransferDirection direction) {
    if (direction == tdSetData) {
        Groups->ClearList();
        Parts->ClearList();
        for (int s = 0; s < Score.GetStaffCount(); ++s) {
            if (LeftOut.Get(s) != 0) continue;
            const TMusicStaff* staff = Score.GetStaff(s);
            int row = Parts->AddString(staff->GetName());
            if (row < 0) continue;
            Parts->SetItemData(row, s);
            if (Muted.Get(s) != 0) Select(Parts, row, true);
            if (Groups->SendMessage(LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(staff->GetGroup())) == LB_ERR)
                Groups->AddString(staff->GetGroup());
        }
        UpdateGroupStates();
    } else if (direction == tdGetData) {
        for (int row = 0; row < Parts->GetCount(); ++row)
            Muted.Set(static_cast<int32_t>(Parts->GetItemData(row)), IsSelected(Parts, row) ? 1 : 0);
    }
}

void TMuteListDlg::UpdateGroupStates() {
    TQSBoolArray staves(255);
    for (int g = Groups->GetCount() - 1; g >= 0; --g) {
        StavesOfGroup(g, staves);
        bool muted = true;
        for (int row = 0; row < Parts->GetCount() && muted; ++row)
            if (staves.Get(static_cast<int32_t>(Parts->GetItemData(row))) != 0 && !IsSelected(Parts, row))
                muted = false;
        Select(Groups, g, muted);
        GroupStates.Set(g, muted ? 1 : 0);
    }
}

void TMuteListDlg::EvGroupsNotify(UINT) {
    TQSBoolArray staves(255);
    for (int g = Groups->GetCount() - 1; g >= 0; --g) {
        bool selected = IsSelected(Groups, g);
        if (selected == (GroupStates.Get(g) != 0)) continue;
        GroupStates.Set(g, selected ? 1 : 0);
        StavesOfGroup(g, staves);
        for (int row = 0; row < Parts->GetCount(); ++row)
            if (staves.Get(static_cast<int32_t>(Parts->GetItemData(row))) != 0) Select(Parts, row, selected);
    }
}

void TMuteListDlg::EvPartsNotify(UINT) {
    UpdateGroupStates();
}

void TMuteListDlg::CmPlayAll() {
    Parts->SendMessage(LB_SETSEL, FALSE, -1);
    UpdateGroupStates();
}

void TMuteListDlg::CmMuteAll() {
    Parts->SendMessage(LB_SETSEL, TRUE, -1);
    UpdateGroupStates();
}

void TMuteListDlg::CmReverseAll() {
    for (int row = 0; row < Parts->GetCount(); ++row)
        Select(Parts, row, !IsSelected(Parts, row));
    UpdateGroupStates();
}

// ---- the application's side ----

void TQSMViewerApp::CeMuteList(TCommandEnabler& ce) {
    ce.SetCheck(MuteListState != 0 ? 1 : 0);
    ce.Enable(FromMidiFile == 0);
}

void TQSMViewerApp::CmMuteList() {
    FinishSong();
    if (FromMidiFile != 0 || Score == nullptr) return;
    TQSBoolArray muted(255);
    Score->GetStaffFlagBits(0, muted);
    TMuteListDlg dialog(GetMainWindow(), *Score, muted, MuteBits);
    if (dialog.Execute() != IDOK) return;

    // The sequencer must not play from the buffer while it is rebuilt: pause it (through the pause command
    // when the window handles it), and resume the same way.
    TWindow* main = GetMainWindow();
    HWND mainHandle = main != nullptr ? main->GetHandle() : nullptr;
    bool pausedHere = false;
    if (PerformanceActive != 0 && !MidiManager.IsPaused()) {
        if (mainHandle != nullptr) SendMessageA(mainHandle, WM_COMMAND, kCmPause, 0);
        if (!MidiManager.IsPaused()) MidiManager.TogglePause();
        pausedHere = true;
    }
    const bool paused = PerformanceActive != 0 && MidiManager.IsPaused();
    const DWORD pausedTick = paused ? MidiManager.GetPlayTick() : 0;

    Score->SetStaffFlagBits(0, muted);
    SongBuffer.Clear();
    ScorePlayer.SetScore(Score);
    ScorePlayer.RenderToBuffer(SongBuffer);
    SongBuffer.AppendEndPause(3);
    if (Transposition != 0) SongBuffer.Transpose(Transposition, 0xFDFF, 0xFFFF);

    int mutedCount = 0, fileMutedCount = 0;
    for (int s = 0; s < Score->GetStaffCount(); ++s) {
        mutedCount += muted.Get(s) != 0 ? 1 : 0;
        fileMutedCount += MuteBits.Get(s) != 0 ? 1 : 0;
    }
    MuteListState = mutedCount != fileMutedCount ? 1 : 0;

    // The time index and the paused sequencer pointed into the old performance: both are chased to the paused
    // position in the new one at once, and the resume chases it again.
    TimeIndex.Reset();
    if (paused) {
        TimeIndex.SeekTick(pausedTick);
        MidiManager.SetPausedPosition(pausedTick);
        MovedWhilePaused = 1;
    }
    if (pausedHere) {
        if (mainHandle != nullptr) SendMessageA(mainHandle, WM_COMMAND, kCmPause, 0);
        if (MidiManager.IsPaused()) MidiManager.TogglePause();
        MovedWhilePaused = 0;
    }
}
