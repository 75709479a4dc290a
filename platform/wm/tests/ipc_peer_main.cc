// The other process of the cross-process window tests.
//   ipc_peer serve <class>   a frame of that class with an owned popup (its last active popup), another
//                            window active and the frame minimised; prints "ready" and runs its loop.
//                            WM_COPYDATA with dwData 0 prints "copydata <cbData> <text>[ term]" and answers
//                            0x5150 + cbData; dwData 1 answers the state (1 frame iconic, 2 frame active,
//                            4 popup active); dwData 2 ends the loop.
//   ipc_peer find <class> <text|->   what a second instance does: find the window, restore it when
//                            iconic, bring its last active popup to the front, send the text with its
//                            zero (unless "-"); prints "reply <n>"; exit code 1 when a window was found.
//   ipc_peer handover <class> <ms> <text>   the same within one limit of <ms> for everything; prints
//                            "<found|none> <sent|unsent> <gave-up|in-time>".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"

namespace {

HWND g_frame = nullptr;
HWND g_popup = nullptr;

LRESULT PeerProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_COPYDATA && h == g_frame) {
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
        switch (cds->dwData) {
            case 0: {
                const char* p = static_cast<const char*>(cds->lpData);
                std::string text = p != nullptr ? std::string(p, strnlen(p, cds->cbData)) : "";
                bool term = p != nullptr && p[cds->cbData] == '\0';
                printf("copydata %u %s%s\n", static_cast<unsigned>(cds->cbData), text.c_str(),
                       term ? " term" : "");
                fflush(stdout);
                return 0x5150 + static_cast<LRESULT>(cds->cbData);
            }
            case 1: {
                HWND active = GetActiveWindow();
                return (IsIconic(g_frame) ? 1 : 0) | (active == g_frame ? 2 : 0) |
                       (active == g_popup ? 4 : 0);
            }
            case 2:
                PostQuitMessage(0);
                return 7;
            default:
                return -1;
        }
    }
    return DefWindowProcA(h, msg, wparam, lparam);
}

ATOM Register(const char* name) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = PeerProc;
    wc.lpszClassName = name;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    return RegisterClassA(&wc);
}

int Serve(const char* cls) {
    Register(cls);
    Register("PeerOther");
    g_frame = CreateWindowExA(0, cls, "Peer frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                              nullptr, nullptr, nullptr, nullptr);
    g_popup = CreateWindowExA(0, "PeerOther", "Peer popup", WS_POPUP | WS_CAPTION | WS_VISIBLE, 40, 40, 120,
                              80, g_frame, nullptr, nullptr, nullptr);
    HWND other = CreateWindowExA(0, "PeerOther", "Other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 10, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    if (g_frame == nullptr || g_popup == nullptr || other == nullptr) return 3;
    SetActiveWindow(g_popup);
    SetActiveWindow(other);
    ShowWindow(g_frame, SW_MINIMIZE);
    printf("ready\n");
    fflush(stdout);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    DestroyWindow(other);
    DestroyWindow(g_frame);
    return 0;
}

int Find(const char* cls, const char* text) {
    HWND w = FindWindowA(cls, nullptr);
    if (w == nullptr) return 0;
    HWND popup = GetLastActivePopup(w);
    if (IsIconic(w)) ShowWindow(w, SW_RESTORE);
    SetForegroundWindow(popup);
    if (strcmp(text, "-") != 0) {
        COPYDATASTRUCT cds{0, static_cast<DWORD>(strlen(text) + 1), const_cast<char*>(text)};
        LRESULT r = SendMessageA(w, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
        printf("reply %ld\n", static_cast<long>(r));
    }
    printf("popup %s\n", popup != nullptr && popup != w ? "other" : "same");
    fflush(stdout);
    return 1;
}

int HandOver(const char* cls, unsigned ms, const char* text) {
    qsm::wm::RemoteCallLimit limit(ms);
    HWND w = FindWindowA(cls, nullptr);
    bool sent = false;
    if (w != nullptr) {
        HWND popup = GetLastActivePopup(w);
        if (IsIconic(w)) ShowWindow(w, SW_RESTORE);
        SetForegroundWindow(popup != nullptr ? popup : w);
        COPYDATASTRUCT cds{0, static_cast<DWORD>(strlen(text) + 1), const_cast<char*>(text)};
        DWORD_PTR result = 0;
        sent = SendMessageTimeoutA(w, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, ms,
                                   &result) != 0;
    }
    printf("%s %s %s\n", w != nullptr ? "found" : "none", sent ? "sent" : "unsent",
           limit.GaveUp() ? "gave-up" : "in-time");
    fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && strcmp(argv[1], "serve") == 0) return Serve(argv[2]);
    if (argc >= 4 && strcmp(argv[1], "find") == 0) return Find(argv[2], argv[3]);
    if (argc >= 5 && strcmp(argv[1], "handover") == 0)
        return HandOver(argv[2], static_cast<unsigned>(atoi(argv[3])), argv[4]);
    fprintf(stderr, "usage: ipc_peer serve <class> | find <class> <text|->\n");
    return 2;
}
