// The mute list: the parts of the performance muted by part or by staff group. Staves the file itself mutes
// are not listed and stay muted.
#pragma once

#include "core/bool_array.h"
#include "viewer/viewer_dlg.h"

class TMusicScore;
class TQSRMultiSelListBox;

enum : int {
    IDD_MUTELIST = 524,
};

class TMuteListDlg : public TQSMViewerDlg {
public:
    enum : int { IdGroups = 101, IdParts = 102, IdPlayAll = 110, IdMuteAll = 111, IdReverseAll = 112 };

    // muted: one bit per staff, shown and (on OK) taken back; leftOut: the staves not listed.
    TMuteListDlg(TWindow* parent, const TMusicScore& score, TQSBoolArray& muted, const TQSBoolArray& leftOut,
                 TModule* module = nullptr);

    void TransferData(TTransferDirection direction) override;

    // A group row is muted when none of its parts is unmuted.
    void UpdateGroupStates();
    void EvGroupsNotify(UINT code);
    void EvPartsNotify(UINT code);
    void CmPlayAll();
    void CmMuteAll();
    void CmReverseAll();

    TQSRMultiSelListBox* Groups;
    TQSRMultiSelListBox* Parts;

    DECLARE_RESPONSE_TABLE(TMuteListDlg);

private:
    bool IsSelected(TQSRMultiSelListBox* list, int row) const;
    void Select(TQSRMultiSelListBox* list, int row, bool on);
    // The staves of the group named on row `row` of the groups list.
    void StavesOfGroup(int row, TQSBoolArray& staves) const;

    const TMusicScore& Score;
    TQSBoolArray& Muted;
    const TQSBoolArray& LeftOut;
    TQSBoolArray GroupStates{255};
};
