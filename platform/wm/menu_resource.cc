// The readers of menus and accelerator tables in text form.
#include "platform/wm/menu_resource.h"

#include <cstring>

#include "platform/wm/dialog_template.h"

namespace qsm::wm {
namespace {

struct Lines {
    const char* data;
    size_t size;
    size_t pos = 0;
    int number = 0;
    // The next non-empty, non-comment line as tokens; false at the end or on an error.
    bool Next(std::vector<std::string>* tokens, std::string* error, bool* failed) {
        while (pos < size) {
            size_t end = pos;
            while (end < size && data[end] != '\n')
                ++end;
            std::string line(data + pos, end - pos);
            pos = end + 1;
            ++number;
            tokens->clear();
            if (line.find('\0') != std::string::npos) {
                *error = "line " + std::to_string(number) + ": NUL byte";
                *failed = true;
                return false;
            }
            std::string why;
            if (!TokenizeResourceLine(line, tokens, &why)) {
                *error = "line " + std::to_string(number) + ": " + why;
                *failed = true;
                return false;
            }
            if (!tokens->empty() && (*tokens)[0][0] != '#') return true;
        }
        return false;
    }
};

bool ItemFlags(const std::vector<std::string>& t, size_t from, UINT* flags) {
    for (size_t i = from; i < t.size(); ++i) {
        const std::string& f = t[i];
        if (f == "checked")
            *flags |= MF_CHECKED;
        else if (f == "grayed")
            *flags |= MF_GRAYED;
        else if (f == "disabled")
            *flags |= MF_DISABLED;
        else if (f == "menubarbreak")
            *flags |= MF_MENUBARBREAK;
        else if (f == "menubreak")
            *flags |= MF_MENUBREAK;
        else
            return false;
    }
    return true;
}

bool ParseLevel(Lines& lines, MenuTemplate* out, int depth, std::string* error) {
    if (depth > 16) {
        *error = "menus nested too deep";
        return false;
    }
    std::vector<std::string> t;
    bool failed = false;
    auto fail = [&](const std::string& why) {
        *error = "line " + std::to_string(lines.number) + ": " + why;
        return false;
    };
    while (lines.Next(&t, error, &failed)) {
        const std::string& word = t[0];
        if (word == "end") {
            if (depth == 0) return fail("end without popup");
            return true;
        }
        if (out->items.size() >= 1000) return fail("too many items");
        MenuTemplateItem item;
        if (word == "separator") {
            item.flags = MF_SEPARATOR;
        } else if (word == "item") {
            int id = 0;
            if (t.size() < 3 || !IsResourceText(t[1]) || !ResourceNumber(t[2], &id))
                return fail("item needs a text and an id");
            item.text = t[1].substr(1);
            item.id = static_cast<UINT_PTR>(static_cast<UINT>(id));
            if (!ItemFlags(t, 3, &item.flags)) return fail("unknown item flag");
        } else if (word == "popup") {
            if (t.size() < 2 || !IsResourceText(t[1])) return fail("popup needs a text");
            item.text = t[1].substr(1);
            if (!ItemFlags(t, 2, &item.flags)) return fail("unknown item flag");
            item.popup = std::make_shared<MenuTemplate>();
            if (!ParseLevel(lines, item.popup.get(), depth + 1, error)) return false;
        } else {
            return fail("unknown keyword " + word);
        }
        out->items.push_back(item);
    }
    if (failed) return false;
    if (depth > 0) {
        *error = "popup without end";
        return false;
    }
    return true;
}

}  // namespace

bool ParseMenuTemplate(const char* data, size_t size, MenuTemplate* out, std::string* error) {
    std::string dummy;
    if (error == nullptr) error = &dummy;
    *out = MenuTemplate{};
    Lines lines{data, size};
    return ParseLevel(lines, out, 0, error);
}

bool ParseAcceleratorTable(const char* data, size_t size, std::vector<ACCEL>* out, std::string* error) {
    std::string dummy;
    if (error == nullptr) error = &dummy;
    out->clear();
    Lines lines{data, size};
    std::vector<std::string> t;
    bool failed = false;
    auto fail = [&](const std::string& why) {
        *error = "line " + std::to_string(lines.number) + ": " + why;
        return false;
    };
    while (lines.Next(&t, error, &failed)) {
        if (t.size() < 2) return fail("an entry needs a key and a command");
        ACCEL a{0, 0, 0};
        int cmd = 0;
        if (!ResourceNumber(t[1], &cmd) || cmd < 0 || cmd > 0xFFFF) return fail("bad command");
        a.cmd = static_cast<WORD>(cmd);
        for (size_t i = 2; i < t.size(); ++i) {
            if (t[i] == "virtkey")
                a.fVirt |= FVIRTKEY;
            else if (t[i] == "shift")
                a.fVirt |= FSHIFT;
            else if (t[i] == "control")
                a.fVirt |= FCONTROL;
            else if (t[i] == "alt")
                a.fVirt |= FALT;
            else if (t[i] == "noinvert")
                a.fVirt |= FNOINVERT;
            else
                return fail("unknown flag " + t[i]);
        }
        const std::string& k = t[0];
        int num = 0;
        if (IsResourceText(k)) {
            std::string s = k.substr(1);
            if (s.size() == 2 && s[0] == '^' &&
                ((s[1] >= 'A' && s[1] <= 'Z') || (s[1] >= 'a' && s[1] <= 'z'))) {
                a.key = static_cast<WORD>((s[1] & 0x1F));
            } else if (s.size() == 1) {
                a.key = static_cast<BYTE>(s[0]);
                if (a.fVirt & FVIRTKEY) a.key = static_cast<WORD>(toupper(static_cast<unsigned char>(s[0])));
            } else {
                return fail("a key text is one character");
            }
        } else if (ResourceNumber(k, &num)) {
            if (num < 0 || num > 0xFFFF) return fail("bad key");
            a.key = static_cast<WORD>(num);
        } else {
            static const std::pair<const char*, int> kNames[] = {
                {"VK_BACK", VK_BACK},     {"VK_TAB", VK_TAB},       {"VK_RETURN", VK_RETURN},
                {"VK_ESCAPE", VK_ESCAPE}, {"VK_SPACE", VK_SPACE},   {"VK_PRIOR", VK_PRIOR},
                {"VK_NEXT", VK_NEXT},     {"VK_END", VK_END},       {"VK_HOME", VK_HOME},
                {"VK_LEFT", VK_LEFT},     {"VK_UP", VK_UP},         {"VK_RIGHT", VK_RIGHT},
                {"VK_DOWN", VK_DOWN},     {"VK_INSERT", VK_INSERT}, {"VK_DELETE", VK_DELETE},
                {"VK_APPS", VK_APPS},     {"VK_ADD", VK_ADD},       {"VK_SUBTRACT", VK_SUBTRACT},
                {"VK_F1", VK_F1},         {"VK_F2", VK_F2},         {"VK_F3", VK_F3},
                {"VK_F4", VK_F4},         {"VK_F5", VK_F5},         {"VK_F6", VK_F6},
                {"VK_F7", VK_F7},         {"VK_F8", VK_F8},         {"VK_F9", VK_F9},
                {"VK_F10", VK_F10},       {"VK_F11", VK_F11},       {"VK_F12", VK_F12}};
            bool found = false;
            for (auto [name, vk] : kNames)
                if (k == name) {
                    a.key = static_cast<WORD>(vk);
                    found = true;
                }
            if (!found) return fail("unknown key " + k);
            a.fVirt |= FVIRTKEY;
        }
        if (out->size() >= 1000) return fail("too many entries");
        out->push_back(a);
    }
    return !failed;
}

}  // namespace qsm::wm
