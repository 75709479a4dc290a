#include "score/file/tests/file_gen.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace qsm::gen {

Bytes& Bytes::B(int v) {
    data.push_back(static_cast<uint8_t>(v & 0xFF));
    return *this;
}
Bytes& Bytes::W(int v) {
    return B(v).B(v >> 8);
}
Bytes& Bytes::L(uint32_t v) {
    W(static_cast<int>(v & 0xFFFF));
    return W(static_cast<int>(v >> 16));
}
Bytes& Bytes::S(const std::string& s) {
    data.insert(data.end(), s.begin(), s.end());
    return B(0);
}
Bytes& Bytes::Add(const Bytes& other) {
    return Add(other.data);
}
Bytes& Bytes::Add(const std::vector<uint8_t>& other) {
    data.insert(data.end(), other.begin(), other.end());
    return *this;
}

Bytes Prefix(int V, int vis, int color, int mark) {
    Bytes b;
    if (V >= 29) {
        b.B((vis & 7) | ((color & 15) << 4));
    } else if (V >= 10) {
        int v = vis == 5 ? 3 : (vis & 3);
        int byte = v | ((color & 7) << 3);
        if (V >= 24) byte |= ((mark & 1) << 2) | (((mark >> 1) & 3) << 6);
        b.B(byte);
    }
    return b;
}

Bytes ExprPrefix(int V, int pos, int wide, int justify, int placement) {
    Bytes b;
    if (V >= 11) b.B(pos).B((wide & 1) | ((justify & 3) << 1) | ((placement & 3) << 3));
    return b;
}

Bytes RawItem(int code, const Bytes& body) {
    Bytes b;
    b.W(code).Add(body);
    return b;
}

Bytes Clef::Encode(int V) const {
    Bytes b;
    b.W(0).Add(Prefix(V, vis, color)).W(type);
    if (V >= 4) b.W((octave & 15) | (V >= 27 && autoSysOff ? 16 : 0));
    return b;
}

Bytes Key::Encode(int V) const {
    Bytes b;
    b.W(1).Add(Prefix(V, vis, color)).W(flats).W(sharps).W(clef);
    if (V >= 3) b.W(prevFlats).W(prevSharps);
    if (V >= 26) b.B(tonic).B(option);
    return b;
}

Bytes Bar::Encode(int V) const {
    Bytes b;
    b.W(2).Add(Prefix(V, vis, color));
    b.W((style & 31) | ((xbar & 1) << 6) | ((sysBreak & 1) << 7) | ((repeat & 255) << 8));
    return b;
}

Bytes Ending::Encode(int V) const {
    Bytes b;
    b.W(3).Add(Prefix(V, vis, color)).W(endings);
    if (V >= 32) b.B(option).B(offset).B(height);
    return b;
}

Bytes Patch::Encode(int V) const {
    Bytes b;
    b.W(4).Add(Prefix(V, vis, color)).Add(ExprPrefix(V, pos, wide, justify, placement));
    b.W(bankFlag).W(bank).W(patch);
    if (V >= 19) {
        b.S(name).B(trans);
        for (int v : dynVel)
            b.B(v);
    }
    return b;
}

Bytes TimeSig::Encode(int V) const {
    Bytes b;
    b.W(5).Add(Prefix(V, vis, color)).W(beats).W(exponent);
    if (V >= 3) b.W(style);
    return b;
}

Bytes Tempo::Encode(int V) const {
    Bytes b;
    b.W(6).Add(Prefix(V, vis, color));
    if (V >= 11) {
        b.Add(ExprPrefix(V, pos, wide, justify, placement)).W(tempo).B(base).S(text);
    } else {
        b.W(pos).W(tempo);
        if (V >= 3) b.W(base);
        if (V >= 4) b.W(flags);
    }
    return b;
}

Bytes Dynamic::Encode(int V) const {
    Bytes b;
    b.W(7).Add(Prefix(V, vis, color));
    if (V >= 11) {
        b.Add(ExprPrefix(V, pos, wide, justify, placement)).B(option).W(velocity).W(volume);
    } else if (V >= 4) {
        int low = (option & 0x6F) | ((wide & 1) << 4) | (V < 10 && hiddenOld ? 0x80 : 0);
        b.W(low | ((pos & 255) << 8)).W(velocity).W(volume);
    } else {
        b.W(pos).W(option & 15);
    }
    return b;
}

Bytes Pedal::Encode(int V) const {
    Bytes b;
    b.W(11).Add(Prefix(V, vis, color));
    if (V >= 11)
        b.Add(ExprPrefix(V, pos, wide, justify, placement)).B(status);
    else
        b.W(pos).W((status & 1) | ((wide & 1) << 1));
    return b;
}

Bytes Flow::Encode(int V) const {
    Bytes b;
    b.W(12).Add(Prefix(V, vis, color)).Add(ExprPrefix(V, pos, wide, justify, placement)).W(style);
    return b;
}

Bytes Control::Encode(int V) const {
    Bytes b;
    b.W(13).Add(Prefix(V, vis, color)).Add(ExprPrefix(V, pos, wide, justify, placement));
    b.W(controller).W(style).W(timeRes).W(sweepRes);
    for (int i = 0; i < 4; ++i)
        b.W(inUse[i]).W(time[i]).W(value[i]);
    return b;
}

static int OldWord(int pos, int wide, int value) {
    return (value & 0x7F) | ((wide & 1) << 7) | ((pos & 255) << 8);
}

Bytes StyleMark::Encode(int V) const {
    Bytes b;
    b.W(code).Add(Prefix(V, vis, color));
    if (V >= 11) {
        b.Add(ExprPrefix(V, pos, wide, justify, placement)).B(style);
        if (code == 14) b.B(pause);
    } else {
        b.W(OldWord(pos, wide, style));
        if (code == 14) b.W(pause);
    }
    return b;
}

Bytes Text::Encode(int V) const {
    Bytes b;
    b.W(code).Add(Prefix(V, vis, color));
    if (V >= 11)
        b.Add(ExprPrefix(V, pos, wide, justify, placement)).B(font);
    else
        b.W((font & 15) | ((wide & 1) << 4) | ((pos & 255) << 8));
    b.S(text);
    return b;
}

Bytes Spacer::Encode(int V) const {
    Bytes b;
    b.W(20).Add(Prefix(V, vis, color)).L(width);
    return b;
}

Bytes MultiRest::Encode(int V) const {
    Bytes b;
    b.W(21).Add(Prefix(V, vis, color)).W(bars);
    if (V >= 29) b.W(options);
    return b;
}

Bytes Sizer::Encode(int V) const {
    Bytes b;
    b.W(22).Add(Prefix(V, vis, color)).B(style);
    int effective = style;
    if (V == 30) effective = style == 0 ? 3 : (style > 2 ? style + 1 : style);
    if (effective == 1) b.B(upper).B(lower);
    if (effective == 4) b.W(gapWord);
    if (effective == 5) b.B(newPage);
    return b;
}

Bytes SongPart::EncodeSong(int V) const {
    Bytes b;
    b.Add(Prefix(V, vis, color, mark));
    b.W((dur & 15) | ((xacc & 15) << 4) | ((xnote & 15) << 8));
    int w2 = (beam & 3) | ((triplet & 3) << 2) | ((stem & 3) << 4) | ((lyric & 3) << 7) | ((head & 15) << 9);
    w2 |= V < 4 ? (oldSlur & 3) << 6 : (slurDown & 1) << 6;
    bool markByte = V >= 29 && mark != 0;
    if (markByte) w2 |= 0x8000;
    b.W(w2).W(attrs);
    if (markByte) b.B(mark);
    return b;
}

Bytes Note::Record(int V) const {
    Bytes b = song.EncodeSong(V);
    int w = pos & 255;
    if (V < 5)
        w |= ((acc & 3) << 8) | ((tieDown & 1) << 10);
    else
        w |= ((acc & 7) << 8) | ((tieDown & 1) << 11);
    w |= ((muted & 1) << 12) | ((noLeger & 1) << 13) | ((stemFlag & 1) << 14) | ((artOnStem & 1) << 15);
    b.W(w);
    if (V <= 15) b.W(0);
    if (stemFlag && V >= 19) b.B(stemByte);
    return b;
}

Bytes Note::Encode(int V) const {
    return RawItem(8, Record(V));
}

Bytes Rest::Record(int V) const {
    Bytes b = song.EncodeSong(V);
    if (V >= 9) b.W(vertOffset);
    return b;
}

Bytes Rest::Encode(int V) const {
    return RawItem(9, Record(V));
}

Bytes Chord::Encode(int V) const {
    Bytes b = note.Record(V);
    if (V <= 15) b.W(0);
    b.W(count ? *count : static_cast<int>(members.size()));
    for (const Bytes& m : members)
        b.Add(m);
    return RawItem(10, b);
}

Bytes RestChord::Encode(int V) const {
    Bytes b = rest.Record(V);
    b.W(flag >= 0 ? flag : (part ? 1 : 0));
    if (part) b.Add(*part);
    return RawItem(18, b);
}

Bytes Header::Encode(int V) const {
    Bytes b;
    b.S(signature).W(marker).S(product).W(major).W(minor).W(reserved).S(comment).S(reservedText);
    b.W(date).L(codePage).W(spare).W(V);
    return b;
}

static std::vector<FontRec> DefaultFonts() {
    std::vector<FontRec> f(12);
    const int sizes[6] = {10, 8, 7, 24, 12, 8};
    const int styles[6] = {3, 1, 0, 1, 0, 0};
    for (int i = 0; i < 6; ++i) {
        f[i].size = sizes[i];
        f[i].style = styles[i];
    }
    return f;
}

Bytes Info::Encode(int V) const {
    Bytes b;
    b.S(title).S(author);
    if (V >= 17) b.S(lyricist);
    b.S(copyright1).S(copyright2).S(comments).S(letters).S(spare);
    if (V >= 4) b.W(barNumbers).W(startingBar);
    if (V >= 6) {
        b.S(margins).B(mirror).W(zoom);
        if (V >= 8) {
            for (uint8_t v : visible)
                b.B(v);
            b.B(allowLayering);
        }
        if (V >= 7) {
            if (V >= 24) b.S(face);
            b.W(staffSize);
            std::vector<FontRec> recs = fonts.empty() ? DefaultFonts() : fonts;
            recs.resize(V >= 15 ? 12 : 10);
            for (const FontRec& r : recs)
                b.S(r.face).B(r.style).W(r.size).B(r.charset);
        } else {
            b.W(baseFontSize);
        }
        b.B(titlePage).B(staffLabels).W(pageNumbers);
    }
    if (V >= 23) b.B(justify);
    if (V >= 31) b.B(sepMark);
    return b;
}

LyricLine MakeLyricLine(const std::vector<std::pair<int, std::string>>& syllables) {
    LyricLine line;
    line.bytes.push_back(0);
    for (const auto& [sep, text] : syllables) {
        line.bytes.push_back(static_cast<uint8_t>(sep));
        line.bytes.insert(line.bytes.end(), text.begin(), text.end());
        line.bytes.push_back(0);
    }
    line.used = static_cast<int>(line.bytes.size());
    line.bytes.push_back(0);
    line.bytes.push_back(0);
    line.size = static_cast<int>(line.bytes.size());
    return line;
}

Bytes Lyrics::Encode(int V) const {
    Bytes b;
    b.W(count ? *count : static_cast<int>(lines.size()));
    if (V >= 8) b.W(options).W(offset);
    for (const LyricLine& line : lines) {
        b.W(line.size);
        if (line.size == 0) continue;
        b.W(line.used);
        std::vector<uint8_t> bytes = line.bytes;
        bytes.resize(static_cast<uint16_t>(line.size), 0);
        b.Add(bytes);
    }
    return b;
}

Bytes Staff::Encode(int V) const {
    Bytes b;
    b.S(name);
    if (V >= 19) b.S(label);
    if (V >= 29) b.S(labelAbbr);
    if (V >= 19) b.S(instName);
    b.S(group);
    if (V >= 9) b.B(endingBar);
    b.W(muted).W(channel).W(device).W(bankFlag).W(bank).W(patch);
    if (V >= 19)
        for (int v : dynVel)
            b.B(v);
    b.W(connection).W(top).W(bottom);
    if (V >= 16) b.B(lines);
    if (V >= 8) b.W(layer);
    b.W(trans).W(volume).W(pan);
    if (V >= 10) b.B(color);
    if (V >= 4) {
        b.W(lyricFlag >= 0 ? lyricFlag : (lyrics ? 1 : 0));
        if (lyrics) b.Add(lyrics->Encode(V));
    }
    b.W(0).W(0);
    b.W(count ? *count : static_cast<int>(items.size()) + 2);
    if (V <= 8) b.Add(Bar{}.Encode(V));
    for (const Bytes& item : items)
        b.Add(item);
    if (V <= 8) b.Add(Bar{.style = 5}.Encode(V));
    return b;
}

Bytes File::Encode() const {
    const int V = version;
    Bytes b = header.Encode(V);
    b.Add(info.Encode(V));
    if (V >= 26)
        b.W(activeStaff)
            .L(static_cast<uint32_t>(caretIndex))
            .L(static_cast<uint32_t>(selectIndex))
            .W(caretPos);
    b.W(staffCount ? *staffCount : static_cast<int>(staves.size()));
    for (const Staff& s : staves)
        b.Add(s.Encode(V));
    return b;
}

static std::vector<uint8_t> Deflate(const std::vector<uint8_t>& plain, int windowBits) {
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::vector<uint8_t> out(deflateBound(&z, plain.size()) + 16);
    z.next_in = const_cast<Bytef*>(plain.data());
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&z, Z_FINISH);
    deflateEnd(&z);
    if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(z.total_out);
    return out;
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& plain) {
    std::vector<uint8_t> out = {'[', 'Q', 'S', 'Z', ']', 0};
    std::vector<uint8_t> z = Deflate(plain, 15);
    out.insert(out.end(), z.begin(), z.end());
    return out;
}

std::vector<uint8_t> Gzip(const std::vector<uint8_t>& plain) {
    return Deflate(plain, 31);
}

std::vector<Bytes> AllItems(int V) {
    std::vector<Bytes> items;
    items.push_back(Clef{.type = 1}.Encode(V));
    items.push_back(Key{.flats = 0, .sharps = 0x48, .tonic = 3}.Encode(V));
    items.push_back(TimeSig{.beats = 3, .exponent = 2}.Encode(V));
    items.push_back(Tempo{.tempo = 96, .base = 2, .text = "Allegro", .flags = 0x10}.Encode(V));
    items.push_back(Patch{.patch = 5, .name = "Piano"}.Encode(V));
    items.push_back(Dynamic{.option = 0x64, .velocity = 80, .volume = 100}.Encode(V));
    items.push_back(Ending{.endings = 3}.Encode(V));
    items.push_back(Note{.song = {.dur = 2, .attrs = 0x0004}, .pos = 1, .acc = 0}.Encode(V));
    items.push_back(Rest{.song = {.dur = 3}, .vertOffset = 0}.Encode(V));
    Note m1{.song = {.dur = 2}, .pos = 2};
    Note m2{.song = {.dur = 2}, .pos = -2};
    items.push_back(
        Chord{.note = {.song = {.dur = 2}, .pos = 0}, .members = {m1.Encode(V), m2.Encode(V)}}.Encode(V));
    items.push_back(Bar{.style = 0}.Encode(V));
    items.push_back(Pedal{.status = 1}.Encode(V));
    items.push_back(Flow{.style = 1}.Encode(V));
    items.push_back(Control{
        .controller = 1, .style = 1, .inUse = {1, 1, 0, 0}, .time = {0, 4, 0, 0}, .value = {0, 127, 100, 100}}
                        .Encode(V));
    items.push_back(StyleMark{.code = 14, .style = 2, .pause = 2}.Encode(V));
    items.push_back(StyleMark{.code = 15, .style = 1}.Encode(V));
    items.push_back(StyleMark{.code = 16, .style = 3}.Encode(V));
    items.push_back(Text{.code = 17, .font = 2, .text = "dolce"}.Encode(V));
    items.push_back(
        RestChord{.rest = {.song = {.dur = 2}}, .part = Note{.song = {.dur = 2}, .pos = -4}.Encode(V)}.Encode(
            V));
    items.push_back(Text{.code = 19, .font = 0, .text = "Am7"}.Encode(V));
    items.push_back(Spacer{.width = 150}.Encode(V));
    items.push_back(Bar{.style = 1}.Encode(V));
    items.push_back(MultiRest{.bars = 4}.Encode(V));
    items.push_back(Sizer{.style = V == 30 ? 2 : 1, .upper = 10, .lower = 6}.Encode(V));
    return items;
}

File SampleFile(int V) {
    File f;
    f.version = V;
    f.info.title = "Sample";
    f.info.author = "Generator";
    f.info.lyricist = "Words";
    f.staves[0].items = AllItems(V);
    f.staves[0].lyrics = Lyrics{.lines = {MakeLyricLine({{1, "Hap"}, {'-', "py"}, {' ', "day"}})}};
    Staff second;
    second.name = "Bass";
    second.items = {Note{.song = {.dur = 0}, .pos = 4}.Encode(V)};
    f.staves.push_back(second);
    if (V >= 8) f.info.visible[0] = 3;
    return f;
}

}  // namespace qsm::gen
