#include "plugin/smf_writer.h"

#include <cstring>

#include "core/stream.h"
#include "midi/score_player.h"
#include "score/base/midi_event.h"
#include "score/base/midi_file_buf.h"

TSMFOutStream::TSMFOutStream(TQSRStream* output) : Output(output) {}

TSMFOutStream::~TSMFOutStream() = default;

void TSMFOutStream::ErrorReport(const char*) {
    ErrorFlag = 1;
}

void TSMFOutStream::WarningReport(const char*) {
    ++Warnings;
}

void TSMFOutStream::WriteTrack(int) {}

void TSMFOutStream::WriteFirstTrack() {}

int TSMFOutStream::PutByte(int b) {
    ++ByteCount;
    Output->Put(b);
    if (Output->GetError()) {
        ErrorReport("Error writing MIDI data");
        return 0;
    }
    return 1;
}

void TSMFOutStream::PutVarLen(DWORD v) {
    BYTE groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<BYTE>(v & 0x7F);
        v >>= 7;
    } while (v != 0);
    while (n > 1)
        PutByte(groups[--n] | 0x80);
    PutByte(groups[0]);
}

void TSMFOutStream::Put32(DWORD v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        PutByte(static_cast<BYTE>(v >> shift));
}

void TSMFOutStream::Put16(WORD v) {
    PutByte(v >> 8);
    PutByte(v & 0xFF);
}

void TSMFOutStream::WriteFile(int format, int tracks, int division) {
    Format = format;
    NumTracks = tracks;
    Division = division;
    for (char c : {'M', 'T', 'h', 'd'})
        PutByte(c);
    Put32(6);
    Put16(static_cast<WORD>(format));
    // The header counts the chunks that follow: the first track, and the numbered ones of a format-1 file.
    Put16(static_cast<WORD>(format == 1 ? tracks + 1 : 1));
    Put16(static_cast<WORD>(division));
    WriteTrackChunk(-1);
    if (format == 1) {
        for (int i = 0; i < tracks; ++i)
            WriteTrackChunk(i);
    }
}

void TSMFOutStream::WriteTrackChunk(int index) {
    DWORD start = Output->Tell();
    for (char c : {'M', 'T', 'r', 'k'})
        PutByte(c);
    Put32(0);
    ByteCount = 0;
    CurrentTime = 0;
    if (index < 0)
        WriteFirstTrack();
    else
        WriteTrack(index);
    static const BYTE kEnd[1] = {0};
    WriteMeta(0, 0x2F, kEnd, 0);
    DWORD end = Output->Tell();
    DWORD length = ByteCount;
    Output->Seek(start);
    for (char c : {'M', 'T', 'r', 'k'})
        PutByte(c);
    Put32(length);
    Output->Seek(end);
}

int TSMFOutStream::WriteChannelMessage(DWORD delta, int command, int channel, const BYTE* data, int n) {
    // A refused message writes nothing, not even its delta time, so that the track stays readable.
    if (channel < 0 || channel > 15) return 0;
    PutVarLen(delta);
    PutByte(command * 16 + channel);
    for (int i = 0; i < n; ++i)
        PutByte(data[i]);
    return 1;
}

int TSMFOutStream::WriteMeta(DWORD delta, int type, const BYTE* data, DWORD n) {
    PutVarLen(delta);
    if (!PutByte(0xFF) || !PutByte(type)) return 0;
    PutVarLen(n);
    for (DWORD i = 0; i < n; ++i)
        if (!PutByte(data[i])) return 0;
    return 1;
}

int TSMFOutStream::WriteMetaAt(DWORD tick, int type, const BYTE* data, DWORD n) {
    int ok = WriteMeta(tick - CurrentTime, type, data, n);
    CurrentTime = tick;
    return ok;
}

int TSMFOutStream::WriteTextMeta(DWORD delta, int type, const char* text) {
    if (!text) text = "";
    return WriteMeta(delta, type, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(std::strlen(text)));
}

int TSMFOutStream::WriteTextMetaAt(DWORD tick, int type, const char* text) {
    int ok = WriteTextMeta(tick - CurrentTime, type, text);
    CurrentTime = tick;
    return ok;
}

void TSMFOutStream::WriteEvent(const TMidiEvent& event) {
    DWORD delta = event.Tick - CurrentTime;
    switch (event.GetKind()) {
        case MIDI_KIND_SHORT: {
            int status = event.Status;
            // Only channel messages can stand in a track; anything else would make the file unreadable.
            if (status < 0x80 || status >= 0xF0) return;
            PutVarLen(delta);
            PutByte(status);
            // Data bytes keep their low seven bits: a set high bit would read as a status byte.
            PutByte(event.Data1 & 0x7F);
            int kind = status & 0xF0;
            if (kind != 0xC0 && kind != 0xD0) PutByte(event.Data2 & 0x7F);
            break;
        }
        case MIDI_KIND_TEMPO: {
            DWORD micros = TMidiEvent::GetTempoMicros(event.GetMessage());
            BYTE data[3] = {static_cast<BYTE>(micros >> 16), static_cast<BYTE>(micros >> 8),
                            static_cast<BYTE>(micros)};
            WriteMeta(delta, 0x51, data, 3);
            break;
        }
        case MIDI_KIND_TIMESIG: {
            BYTE data[4] = {event.Status, event.Data1, 24, 8};
            WriteMeta(delta, 0x58, data, 4);
            break;
        }
        case MIDI_KIND_KEYSIG: {
            BYTE data[2] = {event.Status, event.Data2};
            WriteMeta(delta, 0x59, data, 2);
            break;
        }
        default:
            return;
    }
    CurrentTime = event.Tick;
}

TQSMExportClass::TQSMExportClass(TQSRStream* output, TMusicScore* score, TScoreMidiPlayer* player,
                                 TMidiFileBuf* buffer)
    : TSMFOutStream(output), Player(player), Score(score), Buffer(buffer) {}

TQSMExportClass::~TQSMExportClass() = default;

void TQSMExportClass::WriteFirstTrack() {
    if (Buffer == nullptr || Player == nullptr) return;
    Buffer->Clear();
    // Time and key signatures and pauses stay out of the file. Rendering keeps the mask: the render that
    // clears the buffer first would wipe it.
    Buffer->SetKindMask(
        static_cast<WORD>((1u << MIDI_KIND_TIMESIG) | (1u << MIDI_KIND_KEYSIG) | (1u << MIDI_KIND_PAUSE)));
    Player->SetScore(Score);
    Player->RenderWithoutClear(*Buffer);
    if (EndGap != 0) Buffer->AppendEndGap(EndGap);
    // Every event of every block in play order.
    const int count = Buffer->GetEventCount();
    for (int i = 0; i < count; ++i) {
        const TMidiEvent& event = *Buffer->GetEvent(i);
        if (event.GetKind() != MIDI_KIND_SHORT || event.GetPort() == 0) WriteEvent(event);
    }
}
