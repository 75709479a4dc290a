// The push button of a toolbar and of other gadget windows. It draws a bitmap glyph scaled to the
// toolbar's button size, in four looks made once and kept as cels of one bitmap: normal, disabled
// (embossed), indeterminate (hatched) and down (hatched background). It shows hot (pointer over it) and
// pressed looks, posts its command when clicked, and takes part in the command-enabling pass through a
// TToolButtonGadgetEnabler.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/framework/dib.h"
#include "platform/framework/gadgets.h"

class TToolbarButtonGadget;

// The enabler of one button: Enable turns the button on or off, SetCheck sets its state (0 up, 1 down,
// 2 indeterminate) as it stands, without releasing the others of an exclusive run; SetText does nothing.
class TToolButtonGadgetEnabler : public TCommandEnabler {
public:
    TToolButtonGadgetEnabler(HWND receiver, TToolbarButtonGadget& gadget);
    void Enable(bool enable = true) override;
    void SetText(const char* text) override;
    void SetCheck(int state) override;

protected:
    TToolbarButtonGadget& Gadget;
};

class TToolbarButtonGadget : public TGadget {
public:
    enum TState { Up = 0, Down = 1, Indeterminate = 2 };
    enum TType {
        Command = 0,
        Exclusive = 1,  // one of a run of adjacent exclusive buttons is down
        Toggle = 2,
        DropDown = 3,  // a command with a drop-down mark
    };
    // The cels of the glyph, in the order they lie in the cel bitmap.
    enum TCel { CelNormal = 0, CelDisabled = 1, CelIndeterminate = 2, CelDown = 3 };

    // glyphId names the glyph's bitmap resource: an integer id (MAKEINTRESOURCE) or a name, which is
    // copied.
    TToolbarButtonGadget(const char* glyphId, int id, int type = Command, bool enabled = false,
                         int state = Up);
    TToolbarButtonGadget(int glyphId, int id, int type = Command, bool enabled = false, int state = Up);
    ~TToolbarButtonGadget() override;

    const char* GetGlyphId() const;
    // Nothing when the id is the current one (names compared as text); otherwise the cels, when made, are
    // made again from the new glyph and the button repaints.
    void SetGlyphId(const char* glyphId);
    // Frees the cels; the next size query or paint makes them again (at the toolbar's new button size).
    void DropCels();
    bool HasCels() const { return Cels != nullptr; }
    int GetCelWidth() const { return CelWidth; }
    int GetCelHeight() const { return CelHeight; }
    // The cel bitmap (4 cels side by side, each made by now), null until made.
    HBITMAP GetCels();

    int GetButtonState() const { return State; }
    // Nothing when unchanged; an exclusive button going down first releases the others of its run.
    void SetButtonState(int state);
    int GetButtonType() const { return Type; }
    bool IsPressed() const { return Pressed != 0; }
    bool IsHot() const { return Hot != 0; }
    // The button size of the owning window when that is a toolbar, else -1.
    int GetButtonSize() const;

    // The window that receives the command and the enabling query; null means the application's main
    // window.
    TWindow* Target = nullptr;

    // How a gadget window tells the button size it wants, -1 for none. The toolbar module sets it to
    // answer its toolbars' ButtonSize; until then every window answers -1.
    static int (*ButtonSizeOf)(const TGadgetWindow& window);

    void GetDesiredSize(TSize& size) override;
    void CommandEnable() override;
    void SysColorChange() override;
    void Paint(TDC& dc) override;
    void MouseMove(UINT modKeys, const TPoint& p) override;
    void MouseEnter(UINT modKeys, const TPoint& p) override;
    void MouseLeave(UINT modKeys, const TPoint& p) override;
    void LButtonDown(UINT modKeys, const TPoint& p) override;
    void LButtonUp(UINT modKeys, const TPoint& p) override;

    // The click: exclusive buttons go down, toggles flip; then the press ends and WM_COMMAND (id, 0) is
    // posted to the target.
    virtual void Activate(const TPoint& p);
    virtual void BeginPressed(const TPoint& p);
    // Makes the normal cel from the glyph bitmap; the others follow from it when first shown.
    virtual void BuildCels();
    virtual void CancelPressed(const TPoint& p);
    // The glyph: by default the bitmap resource GlyphId of the gadget window's module with the standard
    // button colours mapped to the system's. Null when there is none.
    virtual TDib* GetGlyphBitmap();
    // Gives back the glyph got from GetGlyphBitmap (the default deletes it).
    virtual void ReleaseGlyphBitmap(TDib* glyph);

protected:
    friend class TToolButtonGadgetEnabler;
    // Makes the cel (with those made alongside it) from the normal cel, when not made since BuildCels.
    void MakeCel(int which);
    void Repaint();
    // Hint and tooltip rectangle for this button, with HintToTipDepth raised meanwhile.
    void ShowHint();
    HWND TargetHandle() const;

    uintptr_t GlyphNumber = 0;  // the integer id, 0 when the glyph is named
    std::string GlyphName;
    int CelWidth = 0;
    int CelHeight = 0;
    std::unique_ptr<TBitmap> Cels;
    int CelsMade = 0;  // bit per cel made since the cels were last built
    int State;
    int Type;
    int Pressed = 0;
    int Hot = 0;
};
