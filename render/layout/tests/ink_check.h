// A collision check of drawn notation that knows nothing of the layout: it reads the calls a recording DC
// logged while a system was drawn, turns every glyph, text, line, polygon and path into the ink it leaves
// (thin vertical strips, so that a slanted beam or a curved slur is followed closely), tags each with the
// item that drew it (the drawing code names it in a comment before drawing), and reports where ink of two
// items that notation keeps apart overlaps.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/gdi/gdi_surface.h"

namespace qsm::ink {

// What a piece of ink is.
enum class Kind {
    Head,        // note head
    Stem,        // stem of a note
    Accidental,  // sharp, flat, natural, double sharp, double flat
    Dot,         // augmentation dot or staccato dot
    Ledger,      // ledger line
    Flag,        // flag on a stem
    Rest,
    Clef,
    Dynamic,  // dynamic mark (ppp ... fff)
    Text,     // any text of a text font: expressions, tempo marks, bar numbers, labels, ending numbers
    Lyric,    // a syllable or a lyric hyphen
    Beam,
    Slur,
    Tie,
    Hairpin,
    StaffLine,
    BarLine,
    Symbol,  // other music symbols (time signatures, articulations, pedals, fermatas ...)
    Line,    // other lines and shapes
};
const char* KindName(Kind kind);

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;  // [left, right) x [top, bottom)
    bool Empty() const { return right <= left || bottom <= top; }
};

// One mark on the page: its kind, the drawing tag in force ("item", "lyric", "beam" ...) with its staff,
// item index and extra number (the record kind of an item, the line of a syllable), and its ink.
struct Ink {
    Kind kind = Kind::Line;
    std::string tag;
    int staff = -1, item = -1, extra = -1;
    std::string what;  // the glyph or text drawn, for the report
    std::vector<Box> strips;
    Box bounds;
};

// The ink of every mark of a recording log. Text is measured by drawing it alone with the same font into a
// bitmap; the shapes of the same text are kept between calls.
class InkReader {
public:
    InkReader();
    ~InkReader();
    InkReader(const InkReader&) = delete;
    InkReader& operator=(const InkReader&) = delete;
    std::vector<Ink> Read(const std::vector<qsm::gdi::GdiRecord>& log);

private:
    const std::vector<Box>& TextStrips(const qsm::gdi::GdiRecord& r);
    void* screen_ = nullptr;
    std::map<std::string, std::vector<Box>> textCache_;
};

// One overlap of two marks.
struct Overlap {
    const Ink* a = nullptr;
    const Ink* b = nullptr;
    Box where;
    std::string rule;  // which of the rules below: "note/text", "head/head", "text/text", "syllables"
};

// The overlaps that notation keeps apart: note heads, stems, accidentals, dots and ledger lines against
// text, dynamics, lyrics and hairpins, and heads of other notes; every text against every other text (the
// syllables of one lyric line among them). Ink of one item never collides with itself. Two texts collide when
// they come nearer than `textRoom` pixels, a text and a note nearer than `noteRoom`; heads only when they
// overlap. Overlaps of a pixel or less (the edges of smoothed shapes) do not count.
std::vector<Overlap> FindOverlaps(const std::vector<Ink>& inks, int textRoom = 0, int noteRoom = 0);

// The marks whose ink reaches right of `right`.
std::vector<const Ink*> PastRight(const std::vector<Ink>& inks, int right);

// "item 2 31 (head 7)" and the like, for reports.
std::string Describe(const Ink& ink);

}  // namespace qsm::ink
