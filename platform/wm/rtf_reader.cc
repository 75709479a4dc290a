// Reader of rich text format for the rich-text view. The input comes from outside (resources, streams), so
// every count is bounded: group depth, table sizes, control word and number lengths, \bin lengths.
#include "platform/wm/rtf_reader.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace qsm::wm {
namespace {

constexpr size_t kMaxDepth = 256;
constexpr size_t kMaxFormats = 4096;
constexpr size_t kMaxTableEntries = 1024;
constexpr size_t kMaxFaceName = 31;

enum class Dest { Text, FontTable, ColorTable, Skip };

struct Group {
    RichFormat fmt;
    Dest dest = Dest::Text;
    int uc = 1;  // characters standing in for each \u
};

struct FontEntry {
    std::string face;
    BYTE charset = 0;
    BYTE pitch_family = 0;
};

// Code page 1252 for the characters of \u that it has beyond Latin-1's range.
int To1252(long u) {
    if (u < 0) u += 65536;  // \u takes signed 16-bit values
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<int>(u);
    static const struct {
        long u;
        int c;
    } kMap[] = {{0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85},
                {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A},
                {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92},
                {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
                {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C},
                {0x017E, 0x9E}, {0x0178, 0x9F}};
    for (const auto& m : kMap)
        if (m.u == u) return m.c;
    return '?';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSkippedDestination(const std::string& w) {
    static const char* const kWords[] = {
        "info",       "stylesheet",        "pict",      "object",       "header",
        "headerl",    "headerr",           "headerf",   "footer",       "footerl",
        "footerr",    "footerf",           "footnote",  "fldinst",      "themedata",
        "listtable",  "listoverridetable", "rsidtbl",   "generator",    "filetbl",
        "revtbl",     "xmlnstbl",          "datastore", "latentstyles", "colorschememapping",
        "nonshppict", "bkmkstart",         "bkmkend",   "annotation",   "atnid",
        "atnauthor",  "comment",           "template",  "userprops",    "docvar"};
    for (const char* k : kWords)
        if (w == k) return true;
    return false;
}

class Reader {
public:
    Reader(std::string_view data, size_t limit, RichText* out) : in_(data), limit_(limit), out_(out) {
        Group g;
        g.fmt = out_->formats.empty() ? RichFormat{} : out_->formats[0];
        stack_.push_back(g);
    }

    void Run() {
        while (pos_ < in_.size()) {
            char c = in_[pos_++];
            switch (c) {
                case '{':
                    if (stack_.size() < kMaxDepth)
                        stack_.push_back(stack_.back());
                    else
                        ++overflow_;
                    break;
                case '}':
                    if (overflow_ > 0) {
                        --overflow_;
                    } else if (stack_.size() > 1) {
                        EndGroup();
                        stack_.pop_back();
                        skip_chars_ = 0;
                    } else {
                        return;  // the document's own group ends
                    }
                    break;
                case '\\':
                    ControlWord();
                    break;
                case '\r':
                case '\n':
                case '\0':
                    break;
                default:
                    Char(static_cast<unsigned char>(c));
                    break;
            }
        }
    }

private:
    Group& Top() { return stack_.back(); }

    void EndGroup() {
        // A font table entry may end with its group instead of a ';'.
        if (Top().dest == Dest::FontTable) FinishFont();
    }

    void FinishFont() {
        if (!font_name_.empty() || font_open_) {
            std::string face = font_name_;
            while (!face.empty() && face.back() == ' ')
                face.pop_back();
            size_t lead = face.find_first_not_of(' ');
            face = lead == std::string::npos ? std::string() : face.substr(lead);
            if (face.size() > kMaxFaceName) face.resize(kMaxFaceName);
            if (fonts_.size() < kMaxTableEntries || fonts_.count(font_num_)) {
                FontEntry& e = fonts_[font_num_];
                e.face = face;
                e.charset = font_charset_;
                e.pitch_family = font_pitch_family_;
            }
        }
        font_name_.clear();
        font_open_ = false;
        font_charset_ = 0;
        font_pitch_family_ = 0;
    }

    // A character of the current destination (skipping \u's stand-ins).
    void Char(int c) {
        if (skip_chars_ > 0) {
            --skip_chars_;
            return;
        }
        switch (Top().dest) {
            case Dest::Text:
                Emit(static_cast<char>(c));
                break;
            case Dest::FontTable:
                if (c == ';')
                    FinishFont();
                else if (font_name_.size() < 256)
                    font_name_.push_back(static_cast<char>(c)), font_open_ = true;
                break;
            case Dest::ColorTable:
                if (c == ';') {
                    if (colors_.size() < kMaxTableEntries)
                        colors_.push_back(color_set_ ? RGB(red_, green_, blue_) : kAutoColor);
                    red_ = green_ = blue_ = 0;
                    color_set_ = false;
                }
                break;
            case Dest::Skip:
                break;
        }
    }

    void Emit(char c) {
        if (out_->text.size() >= limit_) return;
        const RichFormat& f = Top().fmt;
        if (!(have_last_ && f == last_fmt_)) {
            last_index_ = out_->Intern(f);
            last_fmt_ = f;
            have_last_ = true;
        }
        out_->Append(c, last_index_);
    }

    void ControlWord() {
        if (pos_ >= in_.size()) return;
        char c = in_[pos_];
        if (!isalpha(static_cast<unsigned char>(c))) {
            ++pos_;
            Symbol(c);
            return;
        }
        std::string word;
        while (pos_ < in_.size() && isalpha(static_cast<unsigned char>(in_[pos_]))) {
            if (word.size() < 32) word.push_back(in_[pos_]);
            ++pos_;
        }
        bool has_param = false;
        bool negative = false;
        long param = 0;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() &&
            isdigit(static_cast<unsigned char>(in_[pos_ + 1]))) {
            negative = true;
            ++pos_;
        }
        int digits = 0;
        while (pos_ < in_.size() && isdigit(static_cast<unsigned char>(in_[pos_]))) {
            if (digits < 10) param = param * 10 + (in_[pos_] - '0');
            ++digits;
            ++pos_;
            has_param = true;
        }
        param = std::min(param, 2147483647L);
        if (negative) param = -param;
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
        Word(word, has_param, param);
    }

    void Symbol(char c) {
        switch (c) {
            case '\\':
            case '{':
            case '}':
                Char(static_cast<unsigned char>(c));
                break;
            case '\'': {
                int hi = pos_ < in_.size() ? HexDigit(in_[pos_]) : -1;
                int lo = pos_ + 1 < in_.size() ? HexDigit(in_[pos_ + 1]) : -1;
                if (hi < 0 || lo < 0) {
                    pos_ += hi >= 0 ? 1 : 0;  // a cut escape is dropped
                    break;
                }
                pos_ += 2;
                Char(hi * 16 + lo);
                break;
            }
            case '*':
                Top().dest = Dest::Skip;
                break;
            case '~':
                Char(0xA0);
                break;
            case '_':
                Char('-');
                break;
            case '\r':
            case '\n':
                Paragraph();
                break;
            case '\t':
                Char('\t');
                break;
            default:
                break;  // \- (optional hyphen), \| and other symbols show nothing
        }
    }

    void Paragraph() {
        if (skip_chars_ > 0) {
            --skip_chars_;
            return;
        }
        if (Top().dest == Dest::Text) Emit('\r');
    }

    void Word(const std::string& w, bool has_param, long param) {
        Group& g = Top();
        RichFormat& f = g.fmt;
        bool on = !has_param || param != 0;
        if (w == "rtf" || w == "ansi" || w == "deff" || w == "pard") return;
        if (w == "fonttbl") {
            g.dest = Dest::FontTable;
            return;
        }
        if (w == "colortbl") {
            g.dest = Dest::ColorTable;
            return;
        }
        if (w == "bin") {
            // Binary data of the given length follows.
            size_t n = has_param && param > 0 ? static_cast<size_t>(param) : 0;
            pos_ += std::min(n, in_.size() - pos_);
            return;
        }
        if (IsSkippedDestination(w)) {
            g.dest = Dest::Skip;
            return;
        }
        if (g.dest == Dest::FontTable) {
            if (w == "f") {
                FinishFont();
                font_num_ = static_cast<int>(param);
                font_open_ = true;
            } else if (w == "fcharset") {
                font_charset_ = static_cast<BYTE>(std::clamp(param, 0L, 255L));
            } else if (w == "fprq") {
                font_pitch_family_ = static_cast<BYTE>((font_pitch_family_ & 0xF0) | (param & 3));
            } else {
                static const char* const kFamilies[] = {"fnil",    "froman", "fswiss", "fmodern",
                                                        "fscript", "fdecor", "ftech"};
                for (int i = 0; i < 7; ++i)
                    if (w == kFamilies[i])
                        font_pitch_family_ = static_cast<BYTE>((font_pitch_family_ & 0x0F) | (i << 4));
            }
            return;
        }
        if (g.dest == Dest::ColorTable) {
            BYTE v = static_cast<BYTE>(std::clamp(param, 0L, 255L));
            if (w == "red") red_ = v, color_set_ = true;
            if (w == "green") green_ = v, color_set_ = true;
            if (w == "blue") blue_ = v, color_set_ = true;
            return;
        }
        if (g.dest == Dest::Skip) return;
        if (w == "par" || w == "line" || w == "sect" || w == "page") {
            Paragraph();
        } else if (w == "tab") {
            Char('\t');
        } else if (w == "b") {
            f.bold = on;
        } else if (w == "i") {
            f.italic = on;
        } else if (w == "ul") {
            f.underline = on;
        } else if (w == "ulnone") {
            f.underline = false;
        } else if (w == "strike") {
            f.strike = on;
        } else if (w == "plain") {
            f = out_->formats.empty() ? RichFormat{} : out_->formats[0];
        } else if (w == "fs") {
            // Half points; a missing or silly size keeps the old one.
            if (has_param && param > 0 && param <= 3276) f.size_twips = static_cast<int>(param) * 10;
        } else if (w == "f") {
            auto it = fonts_.find(static_cast<int>(param));
            if (it != fonts_.end()) {
                if (!it->second.face.empty()) f.face = it->second.face;
                f.charset = it->second.charset;
                f.pitch_family = it->second.pitch_family;
            }
        } else if (w == "cf") {
            size_t i = param > 0 ? static_cast<size_t>(param) : 0;
            if (i == 0 || i >= colors_.size() || colors_[i] == kAutoColor) {
                f.auto_color = true;
                f.color = 0;
            } else {
                f.auto_color = false;
                f.color = colors_[i];
            }
        } else if (w == "uc") {
            g.uc = static_cast<int>(std::clamp(param, 0L, 16L));
        } else if (w == "u") {
            skip_chars_ = 0;
            Char(To1252(std::clamp(param, -32768L, 65535L)));
            skip_chars_ = g.uc;
        } else {
            static const struct {
                const char* w;
                int c;
            } kNamed[] = {{"emdash", 0x97},    {"endash", 0x96}, {"bullet", 0x95},
                          {"lquote", 0x91},    {"rquote", 0x92}, {"ldblquote", 0x93},
                          {"rdblquote", 0x94}, {"emspace", ' '}, {"enspace", ' '}};
            for (const auto& n : kNamed)
                if (w == n.w) Char(n.c);
            // Every other word is ignored.
        }
    }

    static constexpr COLORREF kAutoColor = 0xFFFFFFFFu;

    std::string_view in_;
    size_t pos_ = 0;
    size_t limit_;
    RichText* out_;
    std::vector<Group> stack_;
    size_t overflow_ = 0;
    int skip_chars_ = 0;
    std::map<int, FontEntry> fonts_;
    std::vector<COLORREF> colors_;
    std::string font_name_;
    bool font_open_ = false;
    int font_num_ = 0;
    BYTE font_charset_ = 0;
    BYTE font_pitch_family_ = 0;
    BYTE red_ = 0, green_ = 0, blue_ = 0;
    bool color_set_ = false;
    RichFormat last_fmt_;
    bool have_last_ = false;
    uint16_t last_index_ = 0;
};

}  // namespace

uint16_t RichText::Intern(const RichFormat& f) {
    for (size_t i = 0; i < formats.size(); ++i)
        if (formats[i] == f) return static_cast<uint16_t>(i);
    if (formats.size() >= kMaxFormats) return 0;
    formats.push_back(f);
    return static_cast<uint16_t>(formats.size() - 1);
}

bool LooksLikeRtf(std::string_view data) {
    return data.substr(0, 5) == "{\\rtf";
}

void ReadRtf(std::string_view data, size_t limit, RichText* out) {
    if (out->formats.empty()) out->formats.push_back(RichFormat{});
    // The document's own opening brace.
    size_t start = data.empty() || data[0] != '{' ? 0 : 1;
    Reader r(data.substr(start), limit, out);
    r.Run();
}

void ReadPlainText(std::string_view data, size_t limit, RichText* out) {
    if (out->formats.empty()) out->formats.push_back(RichFormat{});
    for (size_t i = 0; i < data.size() && out->text.size() < limit; ++i) {
        char c = data[i];
        if (c == '\0') continue;
        if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
            out->Append('\r', 0);
            continue;
        }
        out->Append(c, 0);
    }
}

}  // namespace qsm::wm
