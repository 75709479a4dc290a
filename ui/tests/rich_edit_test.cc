// The rich-edit library loader with a fake system, and the control on the headless window system: help
// text streamed in from a stream, shown with its formats, and a link click that reaches the parent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/ram_stream.h"
#include "platform/kernel/resources.h"
#include "platform/wm/backend.h"
#include "ui/rich_edit.h"

namespace {

// ---- the loader ----

struct FakeSystem {
    std::vector<std::string> calls;
    bool haveNew = true, haveOld = true, haveNewClass = true;
    WNDCLASSA registered{};
    std::string registeredName;
};
FakeSystem* g_fake = nullptr;

HMODULE kNewModule = reinterpret_cast<HMODULE>(0x20000);
HMODULE kOldModule = reinterpret_cast<HMODULE>(0x32000);
LRESULT OldProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

TQSRTF_DLL::TSystem Fake() {
    TQSRTF_DLL::TSystem s;
    s.LoadLibrary = [](LPCSTR name) -> HMODULE {
        g_fake->calls.push_back(std::string("load ") + name);
        if (std::strcmp(name, "RichEd20.dll") == 0) return g_fake->haveNew ? kNewModule : nullptr;
        if (std::strcmp(name, "RichEd32.dll") == 0) return g_fake->haveOld ? kOldModule : nullptr;
        return nullptr;
    };
    s.FreeLibrary = [](HMODULE m) -> BOOL {
        g_fake->calls.push_back(m == kNewModule ? "free new" : "free old");
        return TRUE;
    };
    s.GetClassInfo = [](HINSTANCE, LPCSTR name, WNDCLASSA* out) -> BOOL {
        if (std::strcmp(name, "RichEdit20A") == 0) return g_fake->haveNewClass;
        if (std::strcmp(name, "RICHEDIT") == 0 && g_fake->haveOld) {
            *out = WNDCLASSA{};
            out->lpfnWndProc = OldProc;
            out->style = CS_DBLCLKS;
            out->lpszClassName = "RICHEDIT";
            return TRUE;
        }
        return FALSE;
    };
    s.RegisterClass = [](const WNDCLASSA* wc) -> ATOM {
        g_fake->registered = *wc;
        g_fake->registeredName = wc->lpszClassName;
        return 1;
    };
    return s;
}

TEST(RichEditLibrary, LoadsOnceTheNewerOrTheOlderLibraryOrNone) {
    FakeSystem fake;
    g_fake = &fake;
    {
        TQSRTF_DLL dll(Fake());
        EXPECT_FALSE(dll.IsLoaded());
        EXPECT_TRUE(dll.Load());
        EXPECT_TRUE(dll.Load());
        EXPECT_EQ(dll.GetModule(), kNewModule);
        EXPECT_EQ(fake.registeredName, "");
    }
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"load RichEd20.dll", "free new"}));

    // Only the older library: its class is registered again under the newer name.
    fake = FakeSystem{};
    fake.haveNew = fake.haveNewClass = false;
    {
        TQSRTF_DLL dll(Fake());
        EXPECT_TRUE(dll.Load());
        EXPECT_EQ(dll.GetModule(), kOldModule);
        EXPECT_EQ(fake.registeredName, "RichEdit20A");
        EXPECT_EQ(fake.registered.lpfnWndProc, OldProc);
        EXPECT_EQ(fake.registered.style, static_cast<UINT>(CS_DBLCLKS));
    }
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"load RichEd20.dll", "load RichEd32.dll", "free old"}));

    // None: false every time, and nothing to free.
    fake = FakeSystem{};
    fake.haveNew = fake.haveOld = false;
    {
        TQSRTF_DLL dll(Fake());
        EXPECT_FALSE(dll.Load());
        EXPECT_FALSE(dll.Load());
        EXPECT_FALSE(dll.IsLoaded());
    }
    EXPECT_EQ(fake.calls.size(), 4u);
    EXPECT_EQ(fake.registeredName, "");
    g_fake = nullptr;

    // On this platform the library is part of the window system.
    TQSRTF_DLL real;
    EXPECT_TRUE(real.Load());
    EXPECT_EQ(real.GetModule(), GetModuleHandleA("RichEd20.dll"));
}

// ---- the control ----

const char kHelp[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}}"
    "{\\colortbl ;\\red0\\green0\\blue255;\\red200\\green0\\blue0;}\n"
    "\\f0\\fs28\\b Viewer Help\\b0\\par\n"
    "\\fs20 Plain, \\i italic\\i0 , \\b bold\\b0 , \\cf2 red\\cf0  and \\f1 fixed\\f0  text.\\par\n"
    "Visit http://www.example.com/help for more.\\par}";

const char kDialog[] = R"(dialog 0 0 200 100 "Help"
style DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_VISIBLE
control "" 104 "RichEdit20A" 5 5 190 70 WS_BORDER | ES_MULTILINE | WS_TABSTOP
defpushbutton "OK" 1 75 80 50 14 WS_TABSTOP
)";
constexpr int kDialogId = 517;

class THelpView : public TWindow {
public:
    THelpView() : TWindow(static_cast<TWindow*>(nullptr), "help") {
        Attr.X = Attr.Y = 20;
        Attr.W = 420;
        Attr.H = 260;
        Text = new TQSRTFControl(this, 104, "", 10, 10, 380, 200, 0, true);
    }
    LRESULT EvLink(NMHDR& hdr) {
        if (hdr.code != EN_LINK) return 0;
        auto& link = reinterpret_cast<ENLINK&>(hdr);
        Links.push_back(link.msg);
        if (link.msg != WM_LBUTTONDOWN) return 0;
        Text->SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&link.chrg));
        char buf[128] = {};
        Text->SendMessage(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buf));
        Opened = buf;
        return 1;
    }
    TQSRTFControl* Text;
    std::vector<UINT> Links;
    std::string Opened;
    DECLARE_RESPONSE_TABLE(THelpView);
};
DEFINE_RESPONSE_TABLE1(THelpView, TWindow)
EV_NOTIFY(104, EvLink), END_RESPONSE_TABLE;

class RichEditTest : public ::testing::Test {
protected:
    void SetUp() override { qsm::wm::ResetForTests(); }
    void TearDown() override { qsm::wm::ResetForTests(); }

    // The format of the characters [from, to) of the control.
    static CHARFORMATA FormatOf(TQSRTFControl& c, const std::string& text, const char* word) {
        size_t at = text.find(word);
        EXPECT_NE(at, std::string::npos) << word;
        CHARRANGE r{static_cast<LONG>(at), static_cast<LONG>(at + std::strlen(word))};
        c.SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
        CHARFORMATA cf{};
        cf.cbSize = sizeof cf;
        c.SendMessage(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        return cf;
    }
};

TEST_F(RichEditTest, HelpTextFromAStreamWithItsFormatsAndALinkForTheParent) {
    THelpView view;
    ASSERT_TRUE(view.Create());
    view.Show(SW_SHOW);
    TQSRTFControl& text = *view.Text;
    EXPECT_TRUE(TQSRTF_DLL::Global().IsLoaded());
    EXPECT_EQ(text.DlgCodeMask, 0u);
    EXPECT_EQ(text.SendMessage(WM_GETDLGCODE) & (DLGC_WANTALLKEYS | DLGC_HASSETSEL),
              DLGC_WANTALLKEYS | DLGC_HASSETSEL);
    text.SetEventMask(text.GetEventMask() | ENM_LINK);
    EXPECT_EQ(text.GetEventMask() & ENM_LINK, ENM_LINK);
    text.SetAutoUrlDetect(true);

    // A stream read from its position on: the bytes before it are not shown.
    std::string data = "skip" + std::string(kHelp);
    TQSRFlatRamStream stream(data.data(), static_cast<DWORD>(data.size()), static_cast<DWORD>(data.size()));
    stream.Seek(4);
    text.StreamIn(stream, 1);
    std::string shown = text.GetText();
    EXPECT_EQ(shown,
              "Viewer Help\r\nPlain, italic, bold, red and fixed text.\r\n"
              "Visit http://www.example.com/help for more.\r\n");
    CHARFORMATA cf = FormatOf(text, shown, "Help");
    EXPECT_TRUE(cf.dwEffects & CFE_BOLD);
    EXPECT_EQ(cf.yHeight, 280);
    EXPECT_STREQ(cf.szFaceName, "Arial");
    cf = FormatOf(text, shown, "Plain");
    EXPECT_FALSE(cf.dwEffects & (CFE_BOLD | CFE_ITALIC));
    EXPECT_EQ(cf.yHeight, 200);
    EXPECT_TRUE(FormatOf(text, shown, "italic").dwEffects & CFE_ITALIC);
    EXPECT_TRUE(FormatOf(text, shown, "bold").dwEffects & CFE_BOLD);
    cf = FormatOf(text, shown, "red");
    EXPECT_FALSE(cf.dwEffects & CFE_AUTOCOLOR);
    EXPECT_EQ(cf.crTextColor, RGB(200, 0, 0));
    EXPECT_STREQ(FormatOf(text, shown, "fixed").szFaceName, "Courier New");
    CHARRANGE none{0, 0};
    text.SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&none));

    // The pointer over the link is reported; a click on it reaches the parent, who opens it.
    qsm::wm::PumpMessages();
    TPoint over(-1, -1);
    for (int y = 2; y < 200 && over.x < 0; y += 3)
        for (int x = 2; x < 370 && over.x < 0; x += 3) {
            text.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
            if (!view.Links.empty()) over = TPoint(x + 2, y);
        }
    ASSERT_GE(over.x, 0);
    view.Links.clear();
    TPoint screen = text.ClientToScreen(over);
    qsm::wm::Click(screen.x, screen.y);
    qsm::wm::PumpMessages();
    EXPECT_EQ(view.Opened, "http://www.example.com/help");
    EXPECT_EQ(std::count(view.Links.begin(), view.Links.end(), static_cast<UINT>(WM_LBUTTONDOWN)), 1);

    // The same bytes as plain text show as they are, line by line.
    stream.Seek(4);
    text.StreamIn(stream, 0);
    std::string plain;
    for (char c : std::string(kHelp))
        plain += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(text.GetText(), plain);
    EXPECT_FALSE(FormatOf(text, plain, "Help").dwEffects & CFE_BOLD);

    // The fixed font becomes the default.
    text.SetFixedFont();
    cf = CHARFORMATA{};
    cf.cbSize = sizeof cf;
    text.SendMessage(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
    EXPECT_STREQ(cf.szFaceName, "Courier New");
    EXPECT_EQ(cf.bPitchAndFamily, 0x31);
    EXPECT_EQ(cf.bCharSet, 0);
}

TEST_F(RichEditTest, InADialogEnterAndEscStayTheDialogs) {
    qsm::RegisterResource(nullptr, RT_DIALOG, MAKEINTRESOURCEA(kDialogId), kDialog, sizeof kDialog - 1);
    TApplication app("rich edit test");  // its message pre-processing gives keys to the dialog manager
    TDialog dialog(nullptr, kDialogId);
    auto* text = new TQSRTFControl(&dialog, 104);
    EXPECT_EQ(text->DlgCodeMask, static_cast<UINT>(DLGC_WANTALLKEYS | DLGC_HASSETSEL));
    ASSERT_TRUE(dialog.Create());
    ASSERT_TRUE(text->GetHandle());
    EXPECT_EQ(text->SendMessage(WM_GETDLGCODE) & (DLGC_WANTALLKEYS | DLGC_HASSETSEL), 0);
    // Esc in the text reaches the dialog, which closes.
    text->SetFocus();
    qsm::wm::PressKey(VK_ESCAPE);
    qsm::wm::PumpMessages();
    EXPECT_FALSE(dialog.GetHandle());
}

}  // namespace
