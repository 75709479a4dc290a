// What the model puts into and takes from controls: lyric lines to and from multi-line edit controls, and
// the list of staff groups.
#include <cstring>
#include <vector>

#include "platform/wm/winuser.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"

namespace {

constexpr int kEditLineSize = 32000;
constexpr int kEditTextSize = 32766;
constexpr int kEditTextLimit = 32752;

}  // namespace

void TLyricText::ReadEditLines(HWND edit, bool underscoreAsSpace) {
    Clear();
    if (!edit) return;
    const LRESULT count = SendMessageA(edit, EM_GETLINECOUNT, 0, 0);
    std::vector<char> line(kEditLineSize);
    bool afterEmpty = false;
    for (LRESULT i = 0; i < count; ++i) {
        // The first word of the buffer tells the control its size; the answer is the count of characters
        // copied, without a terminator.
        const WORD room = kEditLineSize - 1;
        std::memcpy(line.data(), &room, sizeof(room));
        LRESULT n =
            SendMessageA(edit, EM_GETLINE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line.data()));
        if (n < 0) n = 0;
        if (n > kEditLineSize - 1) n = kEditLineSize - 1;
        line[static_cast<size_t>(n)] = 0;
        const bool any = ParseTextLine(line.data(), afterEmpty, underscoreAsSpace);
        afterEmpty = !any;
    }
}

void TLyricText::SetEditText(HWND edit) const {
    std::vector<char> text(kEditTextSize);
    int written = 0;
    TLyric cursor;
    cursor.SetLine(*this, 0);
    for (; cursor.IsValid(); cursor.Next()) {
        const char* sep = qsm::LyricSeparatorText(cursor.GetSeparator());
        const int sepLen = static_cast<int>(std::strlen(sep));
        const int len = static_cast<int>(std::strlen(cursor.GetText()));
        if (written + len + 1 > kEditTextLimit) break;
        std::memcpy(text.data() + written, sep, static_cast<size_t>(sepLen));
        written += sepLen;
        for (const char* c = cursor.GetText(); *c; ++c)
            text[static_cast<size_t>(written++)] = *c == ' ' ? '_' : *c;
    }
    std::memcpy(text.data() + written, "\r\n", 3);
    if (edit) SetWindowTextA(edit, text.data());
}

void TMusicScore::FillGroupList(HWND list) const {
    if (!list) return;
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < GetStaffCount(); ++i) {
        const char* group = GetStaff(i)->GetGroup();
        // The list's own search ignores case; group names are told apart exactly.
        bool held = false;
        for (int j = 0; j < i && !held; ++j)
            held = std::strcmp(GetStaff(j)->GetGroup(), group) == 0;
        if (!held) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(group));
    }
}
