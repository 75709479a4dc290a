// Fuzzes the rich-edit control's stream-in from a stream, as the help and information texts reach it: the
// input as rich text and as plain text, read through the stream's block reads in the control's chunks.
// The control must take at most its text limit and keep answering for its text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/ram_stream.h"
#include "ui/rich_edit.h"

namespace {

constexpr UINT kLimit = 8192;

TQSRTFControl& Control() {
    static TWindow* parent = [] {
        auto* w = new TWindow(static_cast<TWindow*>(nullptr), "fuzz");
        w->Attr.X = w->Attr.Y = 0;
        w->Attr.W = 300;
        w->Attr.H = 200;
        return w;
    }();
    static TQSRTFControl* control = [] {
        auto* c = new TQSRTFControl(parent, 104, "", 0, 0, 280, 180, kLimit + 1, true);
        if (!parent->Create()) abort();
        c->SetAutoUrlDetect(true);
        return c;
    }();
    return *control;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TQSRTFControl& c = Control();
    for (int format = 0; format < 2; ++format) {
        TQSRFlatRamStream stream(const_cast<uint8_t*>(data), static_cast<DWORD>(size),
                                 static_cast<DWORD>(size));
        LRESULT n = c.StreamIn(stream, format);
        LRESULT len = c.SendMessage(WM_GETTEXTLENGTH);
        if (n < 0 || n > static_cast<LRESULT>(kLimit) || len < n) abort();
        if (static_cast<LRESULT>(c.GetText().size()) != len) abort();
    }
    return 0;
}
