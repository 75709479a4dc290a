// Writing compact score files: always the current format version with every optional field, field for
// field the mirror of the reader.
#include <charconv>
#include <cstring>

#include "core/file_stream.h"
#include "core/ram_stream.h"
#include "core/stream.h"
#include "core/zlib_stream.h"
#include "platform/kernel/text.h"
#include "score/base/fonts_data.h"
#include "score/file/score_file.h"
#include "score/item_records.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"

namespace {

void PutWord(TQSRStream& out, int v) {
    out.WriteWord(static_cast<uint16_t>(v & 0xFFFF));
}
void PutByte(TQSRStream& out, int v) {
    out.Put(v & 0xFF);
}
void PutBool(TQSRStream& out, bool v) {
    out.Put(v ? 0xFF : 0);
}

// "%2.8f" in the C locale, whatever the process locale is.
void AppendFixed8(std::string& text, float v) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 8);
    if (ec != std::errc()) return;
    text.append(buffer, end);
}

}  // namespace

void WriteScoreFonts(TMusicFontsData& fonts, TQSRStream& out) {
    out.WriteString(std::strcmp(fonts.MusicFontFace, "QSM2STDA") == 0 ? "" : fonts.MusicFontFace);
    PutWord(out, fonts.StaffSize);
    for (const TQSFontSpec& f : fonts.Fonts) {
        out.WriteString(f.GetFaceName());
        PutByte(out, f.GetStyle());
        PutWord(out, f.GetPointSize());
        PutByte(out, f.GetCharSet());
    }
}

void WriteScoreInfo(TMusicScore& score, TQSRStream& out) {
    const TSongInfo& info = score.SongInfo;
    out.WriteString(info.Title);
    out.WriteString(info.Author);
    out.WriteString(info.Lyricist);
    out.WriteString(info.Copyright1);
    out.WriteString(info.Copyright2);
    out.WriteString(info.Comments);
    PutByte(out, score.GetExtendLastSystem() ? 'Y' : 'N');
    PutByte(out, score.GetDurationPadding() ? 'Y' : 'N');
    out.WriteString("_");
    out.WriteString("F2");
    PutWord(out, score.BarNumbers);
    PutWord(out, score.StartingBar);
    std::string margins;
    AppendFixed8(margins, score.Margins.Top);
    margins += ' ';
    AppendFixed8(margins, score.Margins.Left);
    margins += ' ';
    AppendFixed8(margins, score.Margins.Right);
    margins += ' ';
    AppendFixed8(margins, score.Margins.Bottom);
    out.WriteString(margins.c_str());
    PutByte(out, score.Margins.Mirror);
    PutWord(out, score.Zoom);
    const TQSBoolArray& visible = score.GetStaffVisibleBits();
    for (int i = 0; i < 32; ++i)
        PutByte(out, i < visible.GetByteSize() ? visible.GetStore()[i] : 0);
    PutBool(out, score.GetAllowLayering());
    WriteScoreFonts(*score.GetFontData(), out);
    PutBool(out, score.GetTitlePage());
    PutByte(out, score.StaffLabels);
    PutWord(out, score.PageNumbers);
    PutBool(out, score.GetJustifyVertically());
    PutBool(out, score.GetPrintSystemSepMark());
}

void WriteStaffHeader(TMusicStaff& staff, TQSRStream& out) {
    const TStaffInstrument& ins = staff.Instrument;
    out.WriteString(staff.GetName());
    out.WriteString(staff.GetLabelText());
    out.WriteString(staff.GetLabelAbbr());
    out.WriteString(ins.Name);
    out.WriteString(staff.GetGroup());
    PutByte(out, staff.GetEndingBar());
    PutWord(out, staff.Muted);
    PutWord(out, staff.Channel);
    PutWord(out, staff.Device);
    PutWord(out, static_cast<int8_t>(ins.BankFlag));
    PutWord(out, ins.Bank);
    PutWord(out, ins.PatchByte);
    for (int i = 0; i < 8; ++i)
        PutByte(out, ins.DynVel[i]);
    PutWord(out, staff.StaffFlags & (STAFF_BRACKET | STAFF_BRACE | STAFF_CONNECT_BARS));
    PutWord(out, staff.GetBoundaryTop());
    PutWord(out, staff.GetBoundaryBottom());
    PutByte(out, staff.GetLineCount());
    PutWord(out, ((staff.StaffFlags & STAFF_LAYER) ? 1 : 0) | (staff.IsMultiPartDotPlacement() ? 2 : 0));
    PutWord(out, ins.Trans);
    PutWord(out, staff.Volume);
    PutWord(out, staff.StereoPan);
    PutByte(out, staff.GetColor());
}

void WriteStaff(TMusicStaff& staff, TQSRStream& out) {
    WriteStaffHeader(staff, out);
    PutWord(out, staff.GetLyrics() ? 1 : 0);
    if (staff.GetLyrics()) staff.GetLyrics()->Save(out);
    PutWord(out, 0);
    PutWord(out, 0);
    const int count = staff.GetItemCount();
    PutWord(out, count);
    for (int i = 1; i < count - 1; ++i)
        WriteNotatedItem(out, *staff.GetItem(i));
}

void WriteScoreBody(TMusicScore& score, TQSRStream& out) {
    WriteScoreInfo(score, out);
    PutWord(out, score.Selection.ActiveStaff);
    out.WriteLong(static_cast<uint32_t>(score.Selection.CaretIndex));
    out.WriteLong(static_cast<uint32_t>(score.Selection.SelectIndex));
    PutWord(out, score.Selection.CaretPos);
    PutWord(out, score.GetStaffCount());
    for (int i = 0; i < score.GetStaffCount(); ++i)
        WriteStaff(*score.GetStaff(i), out);
}

bool WriteScoreFileHeader(TQSRStream& out, TMusicScore& score) {
    out.WriteString("[QuillStave InkWork]");
    PutWord(out, 0);
    out.WriteString("[QuillStave Composer]");
    PutWord(out, 517);
    PutWord(out, 2);
    PutWord(out, 0);
    out.WriteString("N/A");
    out.WriteString("");
    PutWord(out, score.Date);
    out.WriteLong(GetACP());
    PutWord(out, 0);
    PutWord(out, kScoreFormatVersion);
    WriteScoreBody(score, out);
    return out.GetError() == 0;
}

bool SaveScoreFile(const char* path, bool compress, TMusicScore& score) {
    TQSRBFStream file(2, path, 30000);
    if (file.GetError()) return false;
    TQSRZLibOutStream out(compress ? 1 : 0, &file, false);
    bool ok = WriteScoreFileHeader(out, score);
    out.Finish();
    // The compressor's tail and the file buffer are written only now: their errors count too.
    ok = ok && out.GetError() == 0 && file.GetError() == 0;
    file.Close();
    return ok && file.GetError() == 0;
}

void CopyScoreInfo(TMusicScore& from, TMusicScore& to) {
    TQSRSegRamStream buffer(1024);
    WriteScoreInfo(from, buffer);
    buffer.Rewind();
    ReadScoreInfo(to, CurrentVersionHeader(), buffer);
}

void CopyStaffHeader(TMusicStaff& from, TMusicStaff& to) {
    TQSRSegRamStream buffer(1024);
    WriteStaffHeader(from, buffer);
    buffer.Rewind();
    ReadStaffHeader(to, CurrentVersionHeader(), buffer);
}
