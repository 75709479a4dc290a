#include "ui/edit_number.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/text_utils.h"
#include "platform/framework/transfer_field.h"
#include "ui/message_box.h"
#include "ui/number_text.h"

namespace {

using qsm::framework::ReadField;
using qsm::framework::WriteField;

}  // namespace

// ---- TQSREditValue ----

TQSREditValue::TQSREditValue(TWindow* parent, int id, const char* text, int x, int y, int w, int h,
                             UINT textLimit, TModule* module)
    : TQSREdit(parent, id, text, x, y, w, h, textLimit, false, module) {
    SpinButton = new TSpinButton(this, module);
}

TQSREditValue::TQSREditValue(TWindow* parent, int resourceId, UINT textLimit, TModule* module)
    : TQSREdit(parent, resourceId, textLimit, module) {
    SpinButton = new TSpinButton(this, module);
}

TQSREditValue::~TQSREditValue() {
    if (SpinButton != nullptr) {
        SpinButton->Buddy = nullptr;
        delete SpinButton;
    }
}

LRESULT TQSREditValue::EvEnable(WPARAM enable, LPARAM) {
    LRESULT r = DefaultProcessing();
    if (SpinButton != nullptr && SpinButton->GetHandle() != nullptr) {
        SpinButton->EnableWindow(enable != 0);
        SpinButton->Invalidate(false);
    }
    return r;
}

LRESULT TQSREditValue::EvShowWindow(WPARAM show, LPARAM) {
    LRESULT r = DefaultProcessing();
    if (SpinButton != nullptr && SpinButton->GetHandle() != nullptr)
        SpinButton->Show(show ? SW_SHOWNA : SW_HIDE);
    return r;
}

void TQSREditValue::SetupWindow() {
    TQSREdit::SetupWindow();
    if (SpinButton != nullptr) SpinButton->PlaceBesideBuddy();
}

bool TQSREditValue::EvMouseWheel(UINT, int zDelta, const TPoint&) {
    Step(zDelta < 0 ? -1 : +1);
    return true;
}

void TQSREditValue::EvKeyDown(UINT key, UINT repeatCount, UINT flags) {
    if (key == VK_UP)
        Step(+1);
    else if (key == VK_DOWN)
        Step(-1);
    else
        TQSREdit::EvKeyDown(key, repeatCount, flags);
}

void TQSREditValue::EvMove(const TPoint& p) {
    TQSREdit::EvMove(p);
    if (SpinButton != nullptr) SpinButton->PlaceBesideBuddy();
}

void TQSREditValue::EvSize(UINT sizeType, const TSize& size) {
    TQSREdit::EvSize(sizeType, size);
    if (SpinButton != nullptr) SpinButton->PlaceBesideBuddy();
}

bool TQSREditValue::RefuseClose(const char* text) {
    FindMessageBoxOwner(this)->MessageBox(text, Title.empty() ? nullptr : Title.c_str(), MB_ICONEXCLAMATION);
    SetSelection(0, -1);
    SetFocus();
    return false;
}

DEFINE_RESPONSE_TABLE1(TQSREditValue, TQSREdit)
EV_WM_MOUSEWHEEL, EV_WM_KEYDOWN, EV_WM_MOVE, EV_WM_SIZE, EV_MESSAGE(WM_ENABLE, EvEnable),
    EV_MESSAGE(WM_SHOWWINDOW, EvShowWindow), END_RESPONSE_TABLE;

// ---- TEditNumber ----

TEditNumber::TEditNumber(TWindow* parent, int id, const char* text, int x, int y, int w, int h, int32_t min,
                         int32_t max, int32_t step, TModule* module)
    : TQSREditValue(parent, id, text, x, y, w, h, 7, module) {
    SetRange(min, max, step);
}

TEditNumber::TEditNumber(TWindow* parent, int resourceId, int32_t min, int32_t max, int32_t step,
                         TModule* module)
    : TQSREditValue(parent, resourceId, 7, module) {
    SetRange(min, max, step);
}

void TEditNumber::SetRange(int32_t min, int32_t max, int32_t step) {
    MinValue = min;
    MaxValue = max;
    SetStep(step);
}

void TEditNumber::SetStep(int32_t step) {
    StepSize = step < 2 ? 1 : step;
}

int32_t TEditNumber::GetValue() const {
    char text[12];
    GetText(text, sizeof text);
    return text[0] == 0 ? kEmptyInt : qsm::ReadIntText(text);
}

void TEditNumber::SetValue(int32_t value) {
    if (value == kEmptyInt && AllowEmpty)
        SetText("");
    else
        SetText(std::to_string(qsm::ClampInt(value, MinValue, MaxValue)).c_str());
    SetSelection(0, 0);
}

void TEditNumber::Step(int direction) {
    int32_t v = GetValue();
    if (AllowEmpty && v == kEmptyInt)
        SetValue(MinValue < 0 && MaxValue >= 1 ? 0 : MinValue);
    else
        SetValue(qsm::StepIntValue(v, direction, StepSize, MinValue, MaxValue));
}

UINT TEditNumber::Transfer(void* buffer, TTransferDirection direction) {
    if (direction == tdGetData)
        WriteField<int32_t>(buffer, GetValue());
    else if (direction == tdSetData)
        SetValue(ReadField<int32_t>(buffer));
    return sizeof(int32_t);
}

bool TEditNumber::CanClosePowerOfTwo() {
    if (!IsWindowEnabled()) return TQSREditValue::CanClose();
    char text[11];
    GetText(text, sizeof text);
    if (IsNumberText(text, false)) {
        const int32_t v = qsm::ReadIntText(text);
        if (v == 2 || v == 4 || v == 8 || v == 16 || v == 32 || v == 64) return TQSREditValue::CanClose();
    }
    return RefuseClose("Value is not valid");
}

bool TEditNumber::CanClose() {
    if (PowersOfTwoOnly) return CanClosePowerOfTwo();
    if (!IsWindowEnabled()) return TQSREditValue::CanClose();
    char text[11];
    GetText(text, sizeof text);
    if (text[0] == 0 && AllowEmpty) return TQSREditValue::CanClose();
    if (IsNumberText(text, false)) {
        int32_t v = qsm::ReadIntText(text);
        if (MinValue <= v && v <= MaxValue) return TQSREditValue::CanClose();
    }
    return RefuseClose();
}

void TEditNumber::EvChar(UINT key, UINT repeatCount, UINT flags) {
    // Control characters, signs and digits pass; anything else is dropped without a sound.
    if (key < 0x20 || key == '+' || key == '-' || (key >= '0' && key <= '9'))
        TQSREditValue::EvChar(key, repeatCount, flags);
}

DEFINE_RESPONSE_TABLE1(TEditNumber, TQSREditValue)
EV_WM_CHAR, END_RESPONSE_TABLE;

// ---- TEditRealNumber ----

TEditRealNumber::TEditRealNumber(TWindow* parent, int id, const char* text, int x, int y, int w, int h,
                                 float min, float max, float step, int precision, TModule* module)
    : TQSREditValue(parent, id, text, x, y, w, h, 20, module) {
    SetRange(min, max);
    SetStep(step, precision);
}

TEditRealNumber::TEditRealNumber(TWindow* parent, int resourceId, float min, float max, float step,
                                 int precision, TModule* module)
    : TQSREditValue(parent, resourceId, 20, module) {
    SetRange(min, max);
    SetStep(step, precision);
}

void TEditRealNumber::SetRange(float min, float max) {
    MinValue = min;
    MaxValue = max;
}

void TEditRealNumber::SetStep(float step, int precision) {
    StepSize = step;
    Precision = precision;
}

float TEditRealNumber::GetValue() const {
    char text[20];
    GetText(text, sizeof text);
    return text[0] == 0 ? kEmptyReal : qsm::ReadRealText(text);
}

void TEditRealNumber::SetValue(float value) {
    if (value == kEmptyReal && AllowEmpty) {
        SetText("");
    } else {
        char text[64];
        std::snprintf(text, sizeof text, "%01.*f", std::clamp(Precision, 0, 20),
                      static_cast<double>(qsm::ClampReal(value, MinValue, MaxValue)));
        SetText(text);
    }
    SetSelection(0, 0);
}

void TEditRealNumber::MultiplyBy(float factor) {
    const float v = GetValue();
    if (v != kEmptyReal) SetValue(v * factor);
}

void TEditRealNumber::DivideBy(float factor) {
    const float v = GetValue();
    if (v != kEmptyReal && factor != 0) SetValue(v / factor);
}

void TEditRealNumber::Step(int direction) {
    float v = GetValue();
    if (AllowEmpty && v == kEmptyReal)
        SetValue(MinValue < 0 && MaxValue > 0 ? 0.0f : MinValue);
    else if (StepSize != 0)
        SetValue(qsm::StepRealValue(v, direction, StepSize, MinValue, MaxValue));
}

UINT TEditRealNumber::Transfer(void* buffer, TTransferDirection direction) {
    if (direction == tdGetData)
        WriteField<float>(buffer, GetValue());
    else if (direction == tdSetData)
        SetValue(ReadField<float>(buffer));
    return sizeof(float);
}

bool TEditRealNumber::CanClose() {
    if (!IsWindowEnabled()) return TQSREditValue::CanClose();
    char text[21];
    GetText(text, sizeof text);
    if (text[0] == 0 && AllowEmpty) return TQSREditValue::CanClose();
    if (IsNumberText(text, true)) {
        float v = qsm::ReadRealText(text);
        if (MinValue <= v && v <= MaxValue) return TQSREditValue::CanClose();
    }
    return RefuseClose();
}

void TEditRealNumber::EvChar(UINT key, UINT repeatCount, UINT flags) {
    bool pass = key == '\b' || key == '\t' || key == '\n' || key == '\r' || (key >= '0' && key <= '9');
    if (key == '.') {
        // A second point is refused, unless the one there is selected and about to be replaced.
        int start = 0, end = 0;
        GetSelection(start, end);
        std::string text = GetText();
        pass = true;
        for (size_t i = 0; i < text.size(); ++i)
            if (text[i] == '.' && (static_cast<int>(i) < start || static_cast<int>(i) >= end)) pass = false;
    }
    if (pass)
        TQSREditValue::EvChar(key, repeatCount, flags);
    else
        MessageBeep(static_cast<UINT>(-1));
}

DEFINE_RESPONSE_TABLE1(TEditRealNumber, TQSREditValue)
EV_WM_CHAR, END_RESPONSE_TABLE;
