// The reader of dialog templates in text form.
#include "platform/wm/dialog_template.h"

#include <cstdlib>
#include <cstring>
#include <map>

namespace qsm::wm {
namespace {

const std::map<std::string, DWORD>& Styles() {
    static const auto* table =
        new std::map<std::string, DWORD>{{"WS_OVERLAPPED", WS_OVERLAPPED},
                                         {"WS_POPUP", WS_POPUP},
                                         {"WS_CHILD", WS_CHILD},
                                         {"WS_MINIMIZE", WS_MINIMIZE},
                                         {"WS_VISIBLE", WS_VISIBLE},
                                         {"WS_DISABLED", WS_DISABLED},
                                         {"WS_CLIPSIBLINGS", WS_CLIPSIBLINGS},
                                         {"WS_CLIPCHILDREN", WS_CLIPCHILDREN},
                                         {"WS_MAXIMIZE", WS_MAXIMIZE},
                                         {"WS_CAPTION", WS_CAPTION},
                                         {"WS_BORDER", WS_BORDER},
                                         {"WS_DLGFRAME", WS_DLGFRAME},
                                         {"WS_VSCROLL", WS_VSCROLL},
                                         {"WS_HSCROLL", WS_HSCROLL},
                                         {"WS_SYSMENU", WS_SYSMENU},
                                         {"WS_THICKFRAME", WS_THICKFRAME},
                                         {"WS_GROUP", WS_GROUP},
                                         {"WS_TABSTOP", WS_TABSTOP},
                                         {"WS_MINIMIZEBOX", WS_MINIMIZEBOX},
                                         {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX},
                                         {"WS_OVERLAPPEDWINDOW", WS_OVERLAPPEDWINDOW},
                                         {"WS_POPUPWINDOW", WS_POPUPWINDOW},
                                         {"WS_EX_DLGMODALFRAME", WS_EX_DLGMODALFRAME},
                                         {"WS_EX_NOPARENTNOTIFY", WS_EX_NOPARENTNOTIFY},
                                         {"WS_EX_TOPMOST", WS_EX_TOPMOST},
                                         {"WS_EX_ACCEPTFILES", WS_EX_ACCEPTFILES},
                                         {"WS_EX_TRANSPARENT", WS_EX_TRANSPARENT},
                                         {"WS_EX_TOOLWINDOW", WS_EX_TOOLWINDOW},
                                         {"WS_EX_WINDOWEDGE", WS_EX_WINDOWEDGE},
                                         {"WS_EX_CLIENTEDGE", WS_EX_CLIENTEDGE},
                                         {"WS_EX_CONTROLPARENT", WS_EX_CONTROLPARENT},
                                         {"WS_EX_STATICEDGE", WS_EX_STATICEDGE},
                                         {"WS_EX_APPWINDOW", WS_EX_APPWINDOW},
                                         {"DS_ABSALIGN", DS_ABSALIGN},
                                         {"DS_SYSMODAL", DS_SYSMODAL},
                                         {"DS_SETFONT", DS_SETFONT},
                                         {"DS_MODALFRAME", DS_MODALFRAME},
                                         {"DS_NOIDLEMSG", DS_NOIDLEMSG},
                                         {"DS_CONTROL", DS_CONTROL},
                                         {"DS_CENTER", DS_CENTER},
                                         {"DS_CENTERMOUSE", DS_CENTERMOUSE},
                                         {"SS_LEFT", SS_LEFT},
                                         {"SS_CENTER", SS_CENTER},
                                         {"SS_RIGHT", SS_RIGHT},
                                         {"SS_ICON", SS_ICON},
                                         {"SS_BLACKRECT", SS_BLACKRECT},
                                         {"SS_GRAYRECT", SS_GRAYRECT},
                                         {"SS_WHITERECT", SS_WHITERECT},
                                         {"SS_BLACKFRAME", SS_BLACKFRAME},
                                         {"SS_GRAYFRAME", SS_GRAYFRAME},
                                         {"SS_WHITEFRAME", SS_WHITEFRAME},
                                         {"SS_SIMPLE", SS_SIMPLE},
                                         {"SS_LEFTNOWORDWRAP", SS_LEFTNOWORDWRAP},
                                         {"SS_OWNERDRAW", SS_OWNERDRAW},
                                         {"SS_BITMAP", SS_BITMAP},
                                         {"SS_ETCHEDHORZ", SS_ETCHEDHORZ},
                                         {"SS_ETCHEDVERT", SS_ETCHEDVERT},
                                         {"SS_ETCHEDFRAME", SS_ETCHEDFRAME},
                                         {"SS_NOPREFIX", SS_NOPREFIX},
                                         {"SS_NOTIFY", SS_NOTIFY},
                                         {"SS_CENTERIMAGE", SS_CENTERIMAGE},
                                         {"SS_SUNKEN", SS_SUNKEN},
                                         {"SS_ENDELLIPSIS", SS_ENDELLIPSIS},
                                         {"BS_PUSHBUTTON", BS_PUSHBUTTON},
                                         {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
                                         {"BS_CHECKBOX", BS_CHECKBOX},
                                         {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX},
                                         {"BS_RADIOBUTTON", BS_RADIOBUTTON},
                                         {"BS_3STATE", BS_3STATE},
                                         {"BS_AUTO3STATE", BS_AUTO3STATE},
                                         {"BS_GROUPBOX", BS_GROUPBOX},
                                         {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
                                         {"BS_OWNERDRAW", BS_OWNERDRAW},
                                         {"BS_LEFTTEXT", BS_LEFTTEXT},
                                         {"BS_ICON", BS_ICON},
                                         {"BS_BITMAP", BS_BITMAP},
                                         {"BS_LEFT", BS_LEFT},
                                         {"BS_RIGHT", BS_RIGHT},
                                         {"BS_CENTER", BS_CENTER},
                                         {"BS_TOP", BS_TOP},
                                         {"BS_BOTTOM", BS_BOTTOM},
                                         {"BS_VCENTER", BS_VCENTER},
                                         {"BS_PUSHLIKE", BS_PUSHLIKE},
                                         {"BS_MULTILINE", BS_MULTILINE},
                                         {"BS_NOTIFY", BS_NOTIFY},
                                         {"BS_FLAT", BS_FLAT},
                                         {"ES_LEFT", ES_LEFT},
                                         {"ES_CENTER", ES_CENTER},
                                         {"ES_RIGHT", ES_RIGHT},
                                         {"ES_MULTILINE", ES_MULTILINE},
                                         {"ES_UPPERCASE", ES_UPPERCASE},
                                         {"ES_LOWERCASE", ES_LOWERCASE},
                                         {"ES_PASSWORD", ES_PASSWORD},
                                         {"ES_AUTOVSCROLL", ES_AUTOVSCROLL},
                                         {"ES_AUTOHSCROLL", ES_AUTOHSCROLL},
                                         {"ES_NOHIDESEL", ES_NOHIDESEL},
                                         {"ES_READONLY", ES_READONLY},
                                         {"ES_WANTRETURN", ES_WANTRETURN},
                                         {"ES_NUMBER", ES_NUMBER},
                                         {"HDS_BUTTONS", HDS_BUTTONS},
                                         {"LBS_NOTIFY", LBS_NOTIFY},
                                         {"LBS_SORT", LBS_SORT},
                                         {"LBS_NOREDRAW", LBS_NOREDRAW},
                                         {"LBS_MULTIPLESEL", LBS_MULTIPLESEL},
                                         {"LBS_OWNERDRAWFIXED", LBS_OWNERDRAWFIXED},
                                         {"LBS_OWNERDRAWVARIABLE", LBS_OWNERDRAWVARIABLE},
                                         {"LBS_HASSTRINGS", LBS_HASSTRINGS},
                                         {"LBS_USETABSTOPS", LBS_USETABSTOPS},
                                         {"LBS_NOINTEGRALHEIGHT", LBS_NOINTEGRALHEIGHT},
                                         {"LBS_WANTKEYBOARDINPUT", LBS_WANTKEYBOARDINPUT},
                                         {"LBS_EXTENDEDSEL", LBS_EXTENDEDSEL},
                                         {"LBS_DISABLENOSCROLL", LBS_DISABLENOSCROLL},
                                         {"LBS_NOSEL", LBS_NOSEL},
                                         {"LBS_STANDARD", LBS_STANDARD},
                                         {"CBS_SIMPLE", CBS_SIMPLE},
                                         {"CBS_DROPDOWN", CBS_DROPDOWN},
                                         {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST},
                                         {"CBS_OWNERDRAWFIXED", CBS_OWNERDRAWFIXED},
                                         {"CBS_OWNERDRAWVARIABLE", CBS_OWNERDRAWVARIABLE},
                                         {"CBS_AUTOHSCROLL", CBS_AUTOHSCROLL},
                                         {"CBS_SORT", CBS_SORT},
                                         {"CBS_HASSTRINGS", CBS_HASSTRINGS},
                                         {"CBS_NOINTEGRALHEIGHT", CBS_NOINTEGRALHEIGHT},
                                         {"SBS_HORZ", SBS_HORZ},
                                         {"SBS_VERT", SBS_VERT},
                                         {"PBS_SMOOTH", PBS_SMOOTH},
                                         {"PBS_VERTICAL", PBS_VERTICAL}};
    return *table;
}

}  // namespace

bool TokenizeResourceLine(const std::string& line, std::vector<std::string>* out, std::string* error) {
    size_t i = 0, n = line.size();
    while (i < n) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == ',' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '"') {
            std::string s = "\"";
            ++i;
            bool closed = false;
            while (i < n) {
                char d = line[i];
                if (d == '"') {
                    if (i + 1 < n && line[i + 1] == '"') {
                        s += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (d == '\\' && i + 1 < n) {
                    char e = line[i + 1];
                    s += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                    i += 2;
                    continue;
                }
                s += d;
                ++i;
            }
            if (!closed) {
                *error = "unterminated text";
                return false;
            }
            out->push_back(s);
            continue;
        }
        size_t j = i;
        while (j < n && line[j] != ' ' && line[j] != '\t' && line[j] != ',' && line[j] != '"' &&
               line[j] != '\r')
            ++j;
        out->push_back(line.substr(i, j - i));
        i = j;
    }
    return true;
}

bool IsResourceText(const std::string& t) {
    return !t.empty() && t[0] == '"';
}

bool ResourceNumber(const std::string& t, int* v) {
    if (t.empty() || IsResourceText(t)) return false;
    char* end = nullptr;
    long long x = strtoll(t.c_str(), &end, 0);
    if (end == nullptr || *end != 0 || x < -0x80000000LL || x > 0xFFFFFFFFLL) return false;
    *v = static_cast<int>(static_cast<int64_t>(x));
    return true;
}

namespace {

bool IsText(const std::string& t) {
    return IsResourceText(t);
}
bool Number(const std::string& t, int* v) {
    return ResourceNumber(t, v);
}
bool Tokenize(const std::string& line, std::vector<std::string>* out, std::string* error) {
    return TokenizeResourceLine(line, out, error);
}

// Styles from tokens [from, to): names, numbers, '|' and NOT.
bool Styles(const std::vector<std::string>& t, size_t from, size_t to, DWORD* set, DWORD* cleared,
            std::string* error) {
    bool negate = false;
    for (size_t i = from; i < to; ++i) {
        if (t[i] == "|") continue;
        if (t[i] == "NOT" || t[i] == "not") {
            negate = true;
            continue;
        }
        DWORD v = 0;
        int num = 0;
        if (Number(t[i], &num)) {
            v = static_cast<DWORD>(num);
        } else if (!StyleValue(t[i], &v)) {
            *error = "unknown style " + t[i];
            return false;
        }
        if (negate)
            *cleared |= v;
        else
            *set |= v;
        negate = false;
    }
    return true;
}

struct Kind {
    const char* word;
    const char* cls;
    DWORD style;
    bool has_text;
    DWORD type_mask;  // a type named among the styles replaces the default one in these bits
};

const Kind kKinds[] = {
    {"ltext", "STATIC", SS_LEFT | WS_GROUP, true, 0},
    {"ctext", "STATIC", SS_CENTER | WS_GROUP, true, 0},
    {"rtext", "STATIC", SS_RIGHT | WS_GROUP, true, 0},
    {"pushbutton", "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, true, 0},
    {"defpushbutton", "BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, true, 0},
    {"checkbox", "BUTTON", BS_CHECKBOX | WS_TABSTOP, true, 0},
    {"autocheckbox", "BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, true, 0},
    {"radiobutton", "BUTTON", BS_RADIOBUTTON, true, 0},
    {"autoradiobutton", "BUTTON", BS_AUTORADIOBUTTON, true, 0},
    {"groupbox", "BUTTON", BS_GROUPBOX, true, 0},
    {"edittext", "EDIT", ES_LEFT | WS_BORDER | WS_TABSTOP, false, 0},
    {"listbox", "LISTBOX", LBS_NOTIFY | WS_BORDER, false, 0},
    {"combobox", "COMBOBOX", CBS_SIMPLE | WS_TABSTOP, false, 3u},
    {"scrollbar", "SCROLLBAR", SBS_HORZ, false, 0},
};

}  // namespace

bool StyleValue(const std::string& name, DWORD* value) {
    auto it = Styles().find(name);
    if (it == Styles().end()) return false;
    *value = it->second;
    return true;
}

bool ParseDialogTemplate(const char* data, size_t size, DialogTemplate* out, std::string* error) {
    std::string dummy;
    if (error == nullptr) error = &dummy;
    *out = DialogTemplate{};
    bool have_dialog = false;
    size_t pos = 0;
    int line_no = 0;
    auto fail = [&](const std::string& why) {
        *error = "line " + std::to_string(line_no) + ": " + why;
        return false;
    };
    while (pos < size) {
        size_t end = pos;
        while (end < size && data[end] != '\n')
            ++end;
        std::string line(data + pos, end - pos);
        pos = end + 1;
        ++line_no;
        if (line.find('\0') != std::string::npos) return fail("NUL byte");
        std::vector<std::string> t;
        std::string why;
        if (!Tokenize(line, &t, &why)) return fail(why);
        if (t.empty() || t[0][0] == '#') continue;
        const std::string& word = t[0];
        if (word == "dialog") {
            if (have_dialog) return fail("second dialog line");
            if (t.size() < 5 || !Number(t[1], &out->x) || !Number(t[2], &out->y) || !Number(t[3], &out->cx) ||
                !Number(t[4], &out->cy))
                return fail("dialog needs x y cx cy");
            if (t.size() > 5) {
                if (!IsText(t[5])) return fail("caption must be a text");
                out->caption = t[5].substr(1);
            }
            if (out->cx < 0 || out->cy < 0 || out->cx > 10000 || out->cy > 10000)
                return fail("size out of range");
            have_dialog = true;
            continue;
        }
        if (!have_dialog) return fail("the dialog line comes first");
        if (word == "style" || word == "exstyle") {
            DWORD set = 0, cleared = 0;
            if (!Styles(t, 1, t.size(), &set, &cleared, &why)) return fail(why);
            DWORD& target = word == "style" ? out->style : out->ex_style;
            if (word == "style")
                target = set & ~cleared;
            else
                target = (target | set) & ~cleared;
            continue;
        }
        if (word == "font") {
            if (t.size() < 3 || !Number(t[1], &out->font_points) || !IsText(t[2]))
                return fail("font needs points and a face");
            if (out->font_points <= 0 || out->font_points > 144) return fail("font size out of range");
            out->font_face = t[2].substr(1);
            continue;
        }
        DialogItem item;
        size_t i = 1;
        DWORD base = 0;
        DWORD type_mask = 0;
        bool has_text = true;
        if (word == "control") {
            if (t.size() < 9 || !IsText(t[1])) return fail("control needs text id class x y cx cy");
            item.text = t[1].substr(1);
            if (!Number(t[2], &item.id)) return fail("bad id");
            item.cls = IsText(t[3]) ? t[3].substr(1) : t[3];
            i = 4;
        } else {
            const Kind* k = nullptr;
            for (const Kind& x : kKinds)
                if (word == x.word) k = &x;
            if (k == nullptr) return fail("unknown keyword " + word);
            item.cls = k->cls;
            base = k->style;
            type_mask = k->type_mask;
            has_text = k->has_text;
            if (has_text) {
                if (t.size() < 2 || !IsText(t[1])) return fail(word + " needs a text");
                item.text = t[1].substr(1);
                i = 2;
            }
            if (t.size() <= i || !Number(t[i], &item.id)) return fail("bad id");
            ++i;
        }
        if (t.size() < i + 4 || !Number(t[i], &item.x) || !Number(t[i + 1], &item.y) ||
            !Number(t[i + 2], &item.cx) || !Number(t[i + 3], &item.cy))
            return fail("control needs x y cx cy");
        if (item.cx < 0 || item.cy < 0 || item.cx > 10000 || item.cy > 10000 || item.x < -10000 ||
            item.x > 10000 || item.y < -10000 || item.y > 10000)
            return fail("control size out of range");
        i += 4;
        size_t ex = t.size();
        for (size_t k = i; k < t.size(); ++k)
            if (t[k] == "exstyle") ex = k;
        DWORD set = 0, cleared = 0;
        if (!Styles(t, i, ex, &set, &cleared, &why)) return fail(why);
        if (set & type_mask) base &= ~type_mask;
        item.style = ((base | set | WS_CHILD | WS_VISIBLE) & ~cleared) | WS_CHILD;
        if (ex < t.size()) {
            DWORD eset = 0, ecleared = 0;
            if (!Styles(t, ex + 1, t.size(), &eset, &ecleared, &why)) return fail(why);
            item.ex_style = eset & ~ecleared;
        }
        if (out->items.size() >= 1000) return fail("too many controls");
        out->items.push_back(item);
    }
    if (!have_dialog) {
        *error = "no dialog line";
        return false;
    }
    return true;
}

}  // namespace qsm::wm
