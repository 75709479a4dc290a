// Edit controls for bounded numbers, each with a spin button beside it:
// - TQSREditValue, the common base: the spin button, stepping by the Up and Down keys and the mouse wheel,
//   enabling and showing the spin button with the edit;
// - TEditNumber, a 32-bit integer with a step; TEditRealNumber, a float with a step and a number of
//   decimals.
// Values set by the program or by stepping are clamped into the range; a value typed out of range is
// never corrected silently: closing the dialog is refused with "Value is out of range".
// With empty values allowed, an empty text is the value kEmptyInt (integers) or kEmptyReal (reals).
#pragma once

#include <cstdint>

#include "ui/controls.h"
#include "ui/spin_button.h"

class TQSREditValue : public TQSREdit {
public:
    TQSREditValue(TWindow* parent, int id, const char* text, int x, int y, int w, int h, UINT textLimit,
                  TModule* module = nullptr);
    TQSREditValue(TWindow* parent, int resourceId, UINT textLimit, TModule* module = nullptr);
    ~TQSREditValue() override;

    // One step up (+1) or down (-1).
    virtual void Step(int direction) = 0;
    TSpinButton* GetSpinButton() const { return SpinButton; }

    void SetupWindow() override;
    bool EvMouseWheel(UINT modKeys, int zDelta, const TPoint& p);
    void EvKeyDown(UINT key, UINT repeatCount, UINT flags);
    void EvMove(const TPoint& p);
    void EvSize(UINT sizeType, const TSize& size);
    // The spin button is enabled (and repainted), shown and hidden together with the edit, however the
    // edit's state is changed.
    LRESULT EvEnable(WPARAM enable, LPARAM);
    LRESULT EvShowWindow(WPARAM show, LPARAM);

    DECLARE_RESPONSE_TABLE(TQSREditValue);

protected:
    // Refuses the close: a box with the text owned by the dialog, the whole text selected, the focus in the
    // edit.
    bool RefuseClose(const char* text = "Value is out of range");

private:
    friend class TSpinButton;
    TSpinButton* SpinButton = nullptr;
};

class TEditNumber : public TQSREditValue {
public:
    static constexpr int32_t kEmptyInt = static_cast<int32_t>(0x80000002u);

    TEditNumber(TWindow* parent, int id, const char* text, int x, int y, int w, int h, int32_t min,
                int32_t max, int32_t step, TModule* module = nullptr);
    TEditNumber(TWindow* parent, int resourceId, int32_t min, int32_t max, int32_t step,
                TModule* module = nullptr);

    // A step below 2 is stored as 1.
    void SetRange(int32_t min, int32_t max, int32_t step);
    void SetStep(int32_t step);
    void SetAllowEmpty(bool allow) { AllowEmpty = allow; }

    // The text read as a decimal integer (its first 11 characters); kEmptyInt for an empty text.
    int32_t GetValue() const;
    // kEmptyInt with empty values allowed empties the text; any other value is clamped and shown. The caret
    // goes to the start.
    void SetValue(int32_t value);
    void Step(int direction) override;

    UINT Transfer(void* buffer, TTransferDirection direction) override;
    // The range check, or with PowersOfTwoOnly the power-of-two check.
    bool CanClose() override;
    // The second close check (no dialog of the program installs it): an enabled edit closes only on 2, 4, 8,
    // 16, 32 or 64; any other text refuses with "Value is not valid".
    bool CanClosePowerOfTwo();
    void EvChar(UINT key, UINT repeatCount, UINT flags);

    int32_t MinValue;
    int32_t MaxValue;
    int32_t StepSize;
    bool AllowEmpty = false;
    // Installs the power-of-two check in place of the range check.
    bool PowersOfTwoOnly = false;

    DECLARE_RESPONSE_TABLE(TEditNumber);
};

class TEditRealNumber : public TQSREditValue {
public:
    // The float nearest 8.43e-37.
    static constexpr float kEmptyReal = 8.43e-37f;

    TEditRealNumber(TWindow* parent, int id, const char* text, int x, int y, int w, int h, float min,
                    float max, float step, int precision, TModule* module = nullptr);
    TEditRealNumber(TWindow* parent, int resourceId, float min, float max, float step, int precision,
                    TModule* module = nullptr);

    void SetRange(float min, float max);
    void SetStep(float step, int precision);
    void SetAllowEmpty(bool allow) { AllowEmpty = allow; }

    // The text read as a decimal real (its first 19 characters); kEmptyReal for an empty text.
    float GetValue() const;
    // kEmptyReal with empty values allowed empties the text; any other value is clamped and shown with
    // Precision decimals. The caret goes to the start.
    void SetValue(float value);
    void Step(int direction) override;
    // The value scaled by a factor: multiplied by it, or divided by it (a factor of 0 divides nothing), and
    // set again (so clamped). An empty value stays empty.
    void MultiplyBy(float factor);
    void DivideBy(float factor);

    UINT Transfer(void* buffer, TTransferDirection direction) override;
    bool CanClose() override;
    void EvChar(UINT key, UINT repeatCount, UINT flags);

    float MinValue;
    float MaxValue;
    float StepSize;
    int Precision;
    bool AllowEmpty = false;

    DECLARE_RESPONSE_TABLE(TEditRealNumber);
};
