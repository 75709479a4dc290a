#!/usr/bin/python3
"""Builds the music fonts qsm2stda.ttf ("QSM2STDA") and qsm2std.ttf ("QSM2STD") from Bravura.

Usage: build_fonts.py BRAVURA.otf OUTPUT_DIR
       build_fonts.py --glyph-header      (writes score/glyph_codes.h only)
       build_fonts.py --tempo-stems DIR   (thickens the tempo notes' stems of fonts built before that step)

Bravura comes from the npm package @vexflow-fonts/bravura (SIL Open Font License 1.1):
    npm pack @vexflow-fonts/bravura && tar xzf vexflow-fonts-bravura-*.tgz   # package/bravura.otf

Each symbol of the drawing code's glyph table is copied from its Bravura glyph, scaled so that the em is five
staff spaces (one staff space = 200 units of 1000), moved to the point the drawing code writes it at, turned
into quadratic outlines and mapped at its one-byte code and at U+F000 + code. Bravura's em is four staff
spaces, hence the scale 0.8. The time signature digits sit at "0"-"9".
"""
import os
import sys

SPACE = 200  # units per staff space
BASE_SCALE = 0.8

# code: (source code point or None, extra scale, dx, dy in staff spaces, what it is)
# dx, dy move the ink relative to the baseline point the drawing code writes the glyph at (y upward).
# The dot, the staccatissimo wedges and the tenuto keep their ink centred on the baseline: the drawing code
# raises them a quarter space and writes the first mark one space above a head or one and a half below it,
# so that marks stand as far above a head as below it and an augmentation dot is centred in its space
# (render/layout/tests/layout_geometry_test.cc measures this on the built font).
GLYPHS = {
    0x20: ("blank", 1, 0, 0, "invisible note head with the filled head's advance"),
    0x61: (0xE050, 1, 0, 1, "treble clef on the bottom line"),
    0x62: (0xE062, 1, 0, 3, "bass clef on the bottom line"),
    0x63: (0xE05C, 1, 0, 2, "C clef on the bottom line"),
    0x69: (0xE0A2, 1, 0, 0, "whole note head"),
    0x6A: (0xE0A3, 1, 0, 0, "half note head"),
    0x6B: (0xE0A4, 1, 0, 0, "filled note head"),
    0x66: (0xE260, 1, 0, 0, "flat"),
    0x64: (0xE262, 1, 0, 0, "sharp"),
    0x65: (0xE261, 1, 0, 0, "natural"),
    0x87: (0xE241, 1, 0, -0.132, "one flag, stem down"),
    0x88: (0xE243, 1, 0, -0.128, "two flags, stem down"),
    0x89: (0xE245, 1, 0, 0.448, "three flags, stem down"),
    0x8A: (0xE247, 1, 0, 1.244, "four flags, stem down"),
    0x82: (0xE240, 1, -0.1, 2.04, "one flag, stem up"),
    0x83: (0xE242, 1, -0.1, 2.088, "two flags, stem up"),
    0x84: (0xE244, 1, -0.1, 2.624, "three flags, stem up"),
    0x85: (0xE246, 1, -0.1, 2.828, "four flags, stem up"),
    0x7A: (0xE1E7, 1, 0, 0, "dot"),
    0x6C: (0xE4E3, 1, 0, 0, "whole rest"),
    0x6D: (0xE4E4, 1, 0, 0, "half rest"),
    0x6E: (0xE4E5, 1, 0, 0, "quarter rest"),
    0x6F: (0xE4E6, 1, 0, -0.5, "eighth rest"),
    0x70: (0xE4E7, 1, 0, 0.5, "16th rest"),
    0x71: (0xE4E8, 1, 0, 0.5, "32nd rest"),
    0x72: (0xE4E9, 1, 0, 1.5, "64th rest"),
    0x48: (0xECA7, 0.6, 0, 0.338, "tempo mark eighth note"),
    0x47: (0xECA5, 0.6, 0, 0.338, "tempo mark quarter note"),
    0x46: (0xECA3, 0.6, 0, 0.338, "tempo mark half note"),
    0x4A: (0xE043, 1, 0, -1, "repeat dots"),
    0x75: (0xE650, 1, 0, 0, "pedal down"),
    0x76: (0xE655, 1, 0, 0, "pedal release"),
    0x78: (0xE047, 1, 0, -1.464, "segno"),
    0x77: (0xE048, 1, 0, -1.48, "coda"),
    0x4B: (None, 1, 0, 0, "not drawn"),
    0x79: (0xE4C0, 1, 0, 0, "fermata"),
    0x74: (0xE4C1, 1, 0, 0, "inverted fermata"),
    0x49: (0xE4CE, 1, 0, 0, "breath mark"),
    0x27: (0xE4D1, 1, 0, 0, "caesura"),
    0x44: (0xE08A, 1, 0, 1, "common time"),
    0x45: (0xE08B, 1, 0, 0.75, "alla breve"),
    0x67: (0xE263, 1, 0, 0, "double sharp"),
    0x68: (0xE264, 1, 0, 0, "double flat"),
    0x41: (0xE4A0, 1, 0, -0.242, "accent"),
    0x42: (0xE4AC, 1, 0, -0.754, "marcato above"),
    0x40: (0xE4AD, 1, 0, 0.758, "marcato below"),
    0x3B: (0xE4A6, 1, 0, -0.582, "staccatissimo above"),
    0x3A: (0xE4A7, 1, 0, 0.59, "staccatissimo below"),
    0x43: (0xE4A4, 1, 0, -0.096, "tenuto"),
    0x4F: ("marker", 1, 0, 0, "expression anchor marker"),
    0x4C: (None, 1, 0, 0, "not drawn"),
    0x4D: (0xE07D, 1, -0.41, -0.494, "octave 8 at a clef, centred on its point"),
    0x5D: (0xE069, 1, 0, 2, "percussion clef"),
    0x58: (0xE0A9, 1, 0, 0, "x note head"),
    0x59: (0xE0D9, 1, 0, 0, "hollow diamond note head"),
    0x5A: (0xE0DB, 1, 0, 0, "black diamond note head"),
    0x90: (0xE1BA, 1, 0, 0, "shape note do, hollow"),
    0x91: (0xE1BB, 1, 0, 0, "shape note do, black"),
    0x92: (0xE1BC, 1, 0, 0, "shape note re, hollow"),
    0x93: (0xE1BD, 1, 0, 0, "shape note re, black"),
    0x94: (0xE1B8, 1, 0, 0, "shape note mi, hollow"),
    0x95: (0xE1B9, 1, 0, 0, "shape note mi, black"),
    0x96: (0xE1B6, 1, 0, 0, "shape note fa, hollow"),
    0x97: (0xE1B7, 1, 0, 0, "shape note fa, black"),
    0x98: (0xE1B4, 1, 0, 0, "shape note fa mirrored, hollow"),
    0x99: (0xE1B5, 1, 0, 0, "shape note fa mirrored, black"),
    0x9A: (0xE1B0, 1, 0, 0, "shape note sol, hollow"),
    0x9B: (0xE1B1, 1, 0, 0, "shape note sol, black"),
    0x9C: (0xE1B2, 1, 0, 0, "shape note la, hollow"),
    0x9D: (0xE1B3, 1, 0, 0, "shape note la, black"),
    0x9E: (0xE1BE, 1, 0, 0, "shape note ti, hollow"),
    0x9F: (0xE1BF, 1, 0, 0, "shape note ti, black"),
    0x50: (0xE52A, 1, 0, 0, "ppp"),
    0x51: (0xE52B, 1, 0, 0, "pp"),
    0x52: (0xE520, 1, 0, 0, "p"),
    0x53: (0xE52C, 1, 0, 0, "mp"),
    0x54: (0xE52D, 1, 0, 0, "mf"),
    0x55: (0xE522, 1, 0, 0, "f"),
    0x56: (0xE52F, 1, 0, 0, "ff"),
    0x57: (0xE530, 1, 0, 0, "fff"),
    0x73: (0xE883, 1, 0, 0, "triplet 3"),
}
for d in range(10):
    GLYPHS[0x30 + d] = (0xE080 + d, 1, 0, 1, "time signature digit %d" % d)

# The tempo mark notes are Bravura's metronome notes at 0.6 of their size, whose stems are then 0.07 of a
# space thick: at screen sizes they fade to a grey hairline that seems to stand apart from the head. Their
# stems are thickened leftward, into the head, to TEMPO_STEM units, the weight of a note's stem.
TEMPO_NOTES = {0x46: (149, 164), 0x47: (145, 159), 0x48: (145, 159)}  # code: stem's left and right x
TEMPO_STEM = 26

# Symbols whose outline reaches past its pen position or its advance (the italic dynamics letters): moved
# right so that the ink starts at the pen position, with an advance that covers all of it, since the drawing
# code spaces and centres them by their advance.
FIT_INK = set(range(0x50, 0x58))

FAMILIES = [("QSM2STDA", "qsm2stda.ttf"), ("QSM2STD", "qsm2std.ttf")]

COPYRIGHT = ('Copyright \u00a9 2021, Steinberg Media Technologies GmbH (http://www.steinberg.net/), with '
             'Reserved Font Name "Bravura". Modified 2026 by the QuillStave viewer developers: a subset of '
             'glyphs, rescaled, repositioned and renamed.')
LICENSE = ('This Font Software is licensed under the SIL Open Font License, Version 1.1. This license is '
           'available with a FAQ at: https://openfontlicense.org')

# The drawing code's glyph table: glyph number (the index) -> name in the code and character code in the font.
# Written to score/glyph_codes.h as the enum TGlyph and the table kGlyphCodes.
GLYPH_TABLE = [
    ("None", 0x00),
    ("BlankHead", 0x20),
    ("TrebleClef", 0x61),
    ("BassClef", 0x62),
    ("CClef", 0x63),
    ("WholeHead", 0x69),
    ("HalfHead", 0x6A),
    ("FilledHead", 0x6B),
    ("Flat", 0x66),
    ("Sharp", 0x64),
    ("Natural", 0x65),
    ("FlagDown1", 0x87),
    ("FlagDown2", 0x88),
    ("FlagDown3", 0x89),
    ("FlagDown4", 0x8A),
    ("FlagUp1", 0x82),
    ("FlagUp2", 0x83),
    ("FlagUp3", 0x84),
    ("FlagUp4", 0x85),
    ("Dot", 0x7A),
    ("WholeRest", 0x6C),
    ("HalfRest", 0x6D),
    ("QuarterRest", 0x6E),
    ("EighthRest", 0x6F),
    ("Rest16th", 0x70),
    ("Rest32nd", 0x71),
    ("Rest64th", 0x72),
    ("TempoEighth", 0x48),
    ("TempoQuarter", 0x47),
    ("TempoHalf", 0x46),
    ("RepeatDots", 0x4A),
    ("PedalDown", 0x75),
    ("PedalUp", 0x76),
    ("Segno", 0x78),
    ("Coda", 0x77),
    ("Unused35", 0x4B),
    ("Fermata", 0x79),
    ("FermataBelow", 0x74),
    ("BreathMark", 0x49),
    ("Caesura", 0x27),
    ("CommonTime", 0x44),
    ("AllaBreve", 0x45),
    ("DoubleSharp", 0x67),
    ("DoubleFlat", 0x68),
    ("Accent", 0x41),
    ("MarcatoAbove", 0x42),
    ("MarcatoBelow", 0x40),
    ("StaccatissimoAbove", 0x3B),
    ("StaccatissimoBelow", 0x3A),
    ("Tenuto", 0x43),
    ("ExpressionMarker", 0x4F),
    ("Unused51", 0x4C),
    ("ClefOctave8", 0x4D),
    ("PercussionClef", 0x5D),
    ("XHead", 0x58),
    ("DiamondHead", 0x59),
    ("FilledDiamondHead", 0x5A),
    ("ShapeDo", 0x90),
    ("ShapeDoFilled", 0x91),
    ("ShapeRe", 0x92),
    ("ShapeReFilled", 0x93),
    ("ShapeMi", 0x94),
    ("ShapeMiFilled", 0x95),
    ("ShapeFa", 0x96),
    ("ShapeFaFilled", 0x97),
    ("ShapeFaMirrored", 0x98),
    ("ShapeFaMirroredFilled", 0x99),
    ("ShapeSol", 0x9A),
    ("ShapeSolFilled", 0x9B),
    ("ShapeLa", 0x9C),
    ("ShapeLaFilled", 0x9D),
    ("ShapeTi", 0x9E),
    ("ShapeTiFilled", 0x9F),
    ("DynamicPPP", 0x50),
    ("DynamicPP", 0x51),
    ("DynamicP", 0x52),
    ("DynamicMP", 0x53),
    ("DynamicMF", 0x54),
    ("DynamicF", 0x55),
    ("DynamicFF", 0x56),
    ("DynamicFFF", 0x57),
    ("Triplet3", 0x73),
    # Past the measured widths: numbers the table reaches but nothing measures.
    ("NoAccidental", 0x4C),
    ("Unused83", 0x48),
    ("Unused84", 0x4B),
]
MEASURED_GLYPHS = 82  # glyph numbers below this have a measured width
GLYPH_HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "score", "glyph_codes.h")


def glyph_header():
    """The text of score/glyph_codes.h: the glyph numbers by name and their font character codes."""
    lines = [
        "// Generated by fonts/build_fonts.py from its glyph table; run `fonts/build_fonts.py --glyph-header` after",
        "// changing the table. The glyph numbers the drawing code measures and writes symbols by, and the music",
        "// font character each stands for.",
        "#pragma once",
        "",
        "#include <cstdint>",
        "",
        "enum TGlyph : int {",
    ]
    width = max(len("gl%s = %d," % (name, i)) for i, (name, _) in enumerate(GLYPH_TABLE))
    for index, (name, code) in enumerate(GLYPH_TABLE):
        if code == 0:
            what = "no symbol"
        else:
            what = GLYPHS[code][4] if code in GLYPHS else "not in the font"
            if GLYPHS.get(code, (None,))[0] is None:
                what = "not drawn"
        entry = "gl%s = %d," % (name, index)
        lines.append("    %s  // 0x%02X %s" % (entry.ljust(width), code, what))
    lines += [
        "};",
        "",
        "// Number of glyph numbers and of measured glyph widths.",
        "constexpr int kGlyphCount = %d;" % len(GLYPH_TABLE),
        "constexpr int kMeasuredGlyphCount = %d;" % MEASURED_GLYPHS,
        "",
        "// The music font character code of each glyph number.",
        "constexpr uint8_t kGlyphCodes[kGlyphCount] = {",
    ]
    codes = ["0x%02X" % code for _, code in GLYPH_TABLE]
    rows = [", ".join(codes[i:i + 17]) for i in range(0, len(codes), 17)]
    lines.append("    " + ",\n    ".join(rows) + "};")
    lines.append("")
    return "\n".join(lines)


def write_glyph_header():
    for _, code in GLYPH_TABLE:
        if code and code not in GLYPHS:
            sys.exit("glyph table code 0x%02X is not in the font" % code)
    with open(GLYPH_HEADER, "w") as f:
        f.write(glyph_header())


def thicken_tempo_stem(code, glyph):
    """Moves the left edge of a tempo note's stem (the points at its x above the head) leftward, so that the
    stem is TEMPO_STEM units thick. Does nothing to a stem that is thick already."""
    left, right = TEMPO_NOTES[code]
    coords = glyph.coordinates
    if not any(x == left and y > 300 for x, y in coords):
        return False
    edge = right - TEMPO_STEM
    for i, (x, y) in enumerate(coords):
        if x == left and y > 100:
            coords[i] = (edge, y)
    glyph.recalcBounds(None)
    return True


def apply_tempo_stems(path):
    from fontTools.ttLib import TTFont
    font = TTFont(path)
    cmap = font.getBestCmap()
    changed = False
    for code in TEMPO_NOTES:
        changed |= thicken_tempo_stem(code, font["glyf"][cmap[code]])
    if changed:
        font.save(path)


def build(source, family):
    from fontTools.fontBuilder import FontBuilder
    from fontTools.pens.boundsPen import BoundsPen
    from fontTools.pens.cu2quPen import Cu2QuPen
    from fontTools.pens.transformPen import TransformPen
    from fontTools.pens.ttGlyphPen import TTGlyphPen
    from fontTools.ttLib import TTFont

    src = TTFont(source)
    cmap = src.getBestCmap()
    glyphset = src.getGlyphSet()
    hmtx = src["hmtx"]
    order = [".notdef"]
    glyphs = {}
    advances = {".notdef": (0, 0)}
    charmap = {}
    empty = TTGlyphPen(None).glyph()
    glyphs[".notdef"] = empty
    head_advance = hmtx[cmap[0xE0A4]][0] * BASE_SCALE

    for code in sorted(GLYPHS):
        what, extra, dx, dy, _ = GLYPHS[code]
        name = "c%02X" % code
        order.append(name)
        scale = BASE_SCALE * extra
        if what is None:
            glyphs[name], adv = empty, 0
        elif what == "blank":
            glyphs[name], adv = empty, head_advance
        elif what == "marker":
            # A small filled triangle pointing up, sitting on the baseline.
            pen = TTGlyphPen(None)
            pen.moveTo((0.05 * SPACE, 0))
            pen.lineTo((0.45 * SPACE, 0.7 * SPACE))
            pen.lineTo((0.85 * SPACE, 0))
            pen.closePath()
            glyphs[name], adv = pen.glyph(), 0.9 * SPACE
        else:
            gname = cmap[what]
            adv = hmtx[gname][0] * scale
            shift = 0
            if code in FIT_INK:
                bounds = BoundsPen(glyphset)
                glyphset[gname].draw(TransformPen(bounds, (scale, 0, 0, scale, dx * SPACE, dy * SPACE)))
                x_min, _, x_max, _ = bounds.bounds
                shift = -x_min
                adv = max(adv, x_max) + shift
            pen = TTGlyphPen(None)
            transform = (scale, 0, 0, scale, dx * SPACE + shift, dy * SPACE)
            glyphset[gname].draw(TransformPen(Cu2QuPen(pen, max_err=1.0, reverse_direction=True), transform))
            glyphs[name] = pen.glyph()
            if code in TEMPO_NOTES:
                thicken_tempo_stem(code, glyphs[name])
        advances[name] = (int(round(adv)), 0)
        if code >= 0x20:
            charmap[code] = name
        charmap[0xF000 + code] = name

    fb = FontBuilder(1000, isTTF=True)
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap(charmap)
    fb.setupGlyf(glyphs)
    glyf = fb.font["glyf"]
    ymax, ymin = 0, 0
    for name in order:
        g = glyf[name]
        if g.numberOfContours:
            g.recalcBounds(glyf)
            ymax, ymin = max(ymax, g.yMax), min(ymin, g.yMin)
            advances[name] = (advances[name][0], g.xMin)
    fb.setupHorizontalMetrics(advances)
    ascent, descent = int(ymax) + 10, int(-ymin) + 10
    fb.setupHorizontalHeader(ascent=ascent, descent=-descent)
    fb.setupNameTable({
        "copyright": COPYRIGHT,
        "familyName": family,
        "styleName": "Regular",
        "uniqueFontIdentifier": family + " 1.000",
        "fullName": family,
        "version": "Version 1.000",
        "psName": family,
        "licenseDescription": LICENSE,
        "licenseInfoURL": "https://openfontlicense.org",
    })
    fb.setupOS2(sTypoAscender=ascent, sTypoDescender=-descent, sTypoLineGap=0, usWinAscent=ascent,
                usWinDescent=descent, fsType=0, achVendID="QSMV", ulCodePageRange1=(1 << 31), ulCodePageRange2=0,
                xAvgCharWidth=int(head_advance), usWeightClass=400, version=4)
    fb.setupPost()
    fb.setupHead(unitsPerEm=1000, fontRevision=1.0, created=0x9D0E0000, modified=0x9D0E0000)
    return fb.font


def main():
    if sys.argv[1:] == ["--glyph-header"]:
        write_glyph_header()
        return
    if len(sys.argv) == 3 and sys.argv[1] == "--tempo-stems":
        for _, filename in FAMILIES:
            apply_tempo_stems("%s/%s" % (sys.argv[2], filename))
        return
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    write_glyph_header()
    for family, filename in FAMILIES:
        font = build(sys.argv[1], family)
        font.save("%s/%s" % (sys.argv[2], filename))


if __name__ == "__main__":
    main()
