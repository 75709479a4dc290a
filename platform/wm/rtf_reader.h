// The text of the rich-text view: characters with a format each, read from rich text format (the subset
// our texts use) or from plain text.
//
// Rich text: groups, \par, \line, \tab, \b, \i, \ul, \ulnone, \strike, \plain, \f with the font table,
// \cf with the colour table, \fs, \'hh, \uN with \ucN, \~, \_, \- and the named quotes and dashes; groups
// of ignorable (\*) and non-text destinations are skipped, unknown control words ignored, \binN data
// stepped over. Characters are bytes of code page 1252; a paragraph ends with '\r'.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wm/winuser.h"

namespace qsm::wm {

struct RichFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int size_twips = 200;  // character height, 1/20 point
    bool auto_color = true;
    COLORREF color = 0;
    BYTE charset = 0;
    BYTE pitch_family = 0;
    std::string face = "MS Sans Serif";

    bool operator==(const RichFormat&) const = default;
};

struct RichText {
    std::string text;
    std::vector<uint16_t> format;     // per character, an index into formats
    std::vector<RichFormat> formats;  // [0] is the control's default format

    // The index of `f` in formats, added when new (formats beyond a few thousand share the default).
    uint16_t Intern(const RichFormat& f);
    void Append(char c, uint16_t fmt) {
        text.push_back(c);
        format.push_back(fmt);
    }
};

// True when the data starts as rich text ("{\rtf").
bool LooksLikeRtf(std::string_view data);
// Appends the text of `data` to `out` (whose formats[0] must be set), at most `limit` characters in all.
// Rich text starts from the default format; plain text takes it throughout, with CR LF, LF and CR as
// paragraph ends.
void ReadRtf(std::string_view data, size_t limit, RichText* out);
void ReadPlainText(std::string_view data, size_t limit, RichText* out);

}  // namespace qsm::wm
