#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/hooks.h"
#include "core/stream.h"
#include "midi/smf_file.h"

DWORD SMFPack32(BYTE b0, BYTE b1, BYTE b2, BYTE b3) {
    return (static_cast<DWORD>(b0) << 24) | (static_cast<DWORD>(b1) << 16) | (static_cast<DWORD>(b2) << 8) |
           static_cast<DWORD>(b3);
}

WORD SMFPack16(BYTE b0, BYTE b1) {
    return static_cast<WORD>((b0 << 8) | b1);
}

// ---------------------------------------------------------------------------------------------------------
// TSMFStream

TSMFStream::~TSMFStream() = default;

double TSMFStream::TicksToSeconds(DWORD ticks, DWORD tempo) const {
    if (tempo == 0) tempo = 500000;
    int division = Division > 0 ? Division : 192;
    return static_cast<double>(ticks) * tempo / division / 1000000.0;
}

DWORD TSMFStream::SecondsToTicks(double seconds, DWORD tempo) const {
    if (tempo == 0) tempo = 500000;
    int division = Division > 0 ? Division : 192;
    double ticks = seconds * 1000000.0 * division / tempo;
    if (ticks <= 0) return 0;
    if (ticks >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<DWORD>(ticks + 0.5);
}

// ---------------------------------------------------------------------------------------------------------
// TSMFInStream

namespace {

// Bytes the data of a meta event of each type must hold at least; 0 for types without a fixed layout.
DWORD MetaMinimumLength(int type) {
    switch (type) {
        case 0x00:
            return 2;
        case 0x21:
            return 1;
        case 0x51:
            return 3;
        case 0x54:
            return 5;
        case 0x58:
            return 4;
        case 0x59:
            return 2;
        default:
            return 0;
    }
}

}  // namespace

TSMFInStream::TSMFInStream(TQSRStream* input, TQSRStream* log) : Input(input), Log(log) {}

TSMFInStream::~TSMFInStream() = default;

void TSMFInStream::Error(const char*) {}
void TSMFInStream::Warning(const char*) {}
void TSMFInStream::Header(int, int, int) {}
void TSMFInStream::TrackStart() {}
void TSMFInStream::TrackEnd() {}
void TSMFInStream::EndOfFile() {}
void TSMFInStream::ChannelMessage(int, int, int) {}
void TSMFInStream::NoteOn(int, int, int) {}
void TSMFInStream::NoteOff(int, int, int) {}
void TSMFInStream::KeyPressure(int, int, int) {}
void TSMFInStream::Controller(int, int, int) {}
void TSMFInStream::PitchBend(int, int, int) {}
void TSMFInStream::Program(int, int) {}
void TSMFInStream::ChannelPressure(int, int) {}
void TSMFInStream::MetaEvent(int, DWORD) {}
void TSMFInStream::OtherMeta(int, const BYTE*, DWORD) {}
void TSMFInStream::PortPrefix(int) {}
void TSMFInStream::SequencerSpecific(const BYTE*, DWORD) {}
void TSMFInStream::SequenceNumber(int) {}
void TSMFInStream::Text(int, const char*) {}
void TSMFInStream::EndOfTrack() {}
void TSMFInStream::TimeSignature(int, int, int, int) {}
void TSMFInStream::SmpteOffset(int, int, int, int, int) {}
void TSMFInStream::Tempo(DWORD) {}
void TSMFInStream::KeySignature(int, int) {}
void TSMFInStream::SystemExclusive(DWORD, const BYTE*) {}
void TSMFInStream::SystemExclusiveContinuation(DWORD, const BYTE*) {}

void TSMFInStream::Report(bool error, const char* format, va_list args) {
    char message[512];
    std::vsnprintf(message, sizeof(message), format, args);
    char text[600];
    std::snprintf(text, sizeof(text), "%s[%lu]: %s", error ? "Error" : "Warning",
                  static_cast<unsigned long>(Input->Tell()), message[0] ? message : "Miscellaneous");
    if (Log) {
        Log->WriteText(text, false);
        Log->WriteText("\n", true);
    }
    if (error)
        Error(text);
    else
        Warning(text);
}

void TSMFInStream::ReportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Report(true, format, args);
    va_end(args);
}

void TSMFInStream::ReportWarning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Report(false, format, args);
    va_end(args);
}

DWORD TSMFInStream::ReadRaw32() {
    BYTE b[4];
    for (BYTE& x : b)
        x = Input->Get();
    return SMFPack32(b[0], b[1], b[2], b[3]);
}

void TSMFInStream::ReadFile() {
    if (!ReadHeader()) return;
    int left = NumTracks;
    bool ok = true;
    if (!IsLongTaskCancelled()) {
        while (left > 0 && ok) {
            ok = ReadTrack();
            --left;
        }
    }
    EndOfFile();
}

bool TSMFInStream::ReadHeader() {
    BYTE tag[4];
    for (BYTE& b : tag)
        b = Input->Get();
    // Bytes before the header (a wrapper, junk) are skipped.
    while (std::memcmp(tag, "MThd", 4) != 0 && !Input->GetError()) {
        std::memmove(tag, tag + 1, 3);
        tag[3] = Input->Get();
    }
    if (std::memcmp(tag, "MThd", 4) != 0) {
        ReportError("This is not a MIDI file.");
        return false;
    }
    DWORD length = ReadRaw32();
    BYTE h[6];
    for (BYTE& b : h)
        b = Input->Get();
    Format = SMFPack16(h[0], h[1]);
    NumTracks = SMFPack16(h[2], h[3]);
    Division = static_cast<int16_t>(SMFPack16(h[4], h[5]));
    Header(Format, NumTracks, Division);
    for (DWORD i = 6; i < length && !Input->GetError(); ++i)
        Input->Get();
    return true;
}

bool TSMFInStream::ReadTag(BYTE tag[4]) {
    for (int i = 0; i < 4; ++i)
        tag[i] = Input->Get();
    return !Input->GetError();
}

bool TSMFInStream::ExpectTrackTag() {
    BYTE tag[4];
    ReadTag(tag);
    // A chunk of another type (four printable characters) is skipped by its length, as the format asks of
    // readers; only bytes that cannot start a chunk are scanned for the tag.
    for (;;) {
        if (std::memcmp(tag, "MTrk", 4) == 0) return true;
        bool printable =
            !Input->GetError() && std::all_of(tag, tag + 4, [](BYTE b) { return b >= 0x20 && b < 0x7F; });
        if (!printable) break;
        char name[5] = {static_cast<char>(tag[0]), static_cast<char>(tag[1]), static_cast<char>(tag[2]),
                        static_cast<char>(tag[3]), 0};
        DWORD length = ReadRaw32();
        if (Input->GetError()) break;
        ReportWarning("Chunk [%s] of %lu bytes skipped", name, static_cast<unsigned long>(length));
        for (DWORD i = 0; i < length && !Input->GetError(); ++i)
            Input->Get();
        ReadTag(tag);
    }
    bool skipped = false;
    while (tag[0] != 'M' && !Input->GetError()) {
        std::memmove(tag, tag + 1, 3);
        tag[3] = Input->Get();
        skipped = true;
    }
    if (skipped) ReportWarning("Expected string [%s] not found in proper place", "MTrk");
    if (tag[0] != 'M' || std::memcmp(tag + 1, "Trk", 3) != 0 || Input->GetError()) {
        ReportError("Expected string [%s] not found", "MTrk");
        return false;
    }
    return true;
}

BYTE TSMFInStream::ReadChunkByte() {
    if (BytesLeft == 0) {
        ReportWarning("Attempt to read past end of record");
        return 0;
    }
    BYTE b = Input->Get();
    if (Input->GetError()) {
        if (BytesLeft < 2)
            ReportWarning("Premature error detected");
        else
            ReportError("Premature error detected");
        BytesLeft = 0;
        return 0;
    }
    --BytesLeft;
    return b;
}

DWORD TSMFInStream::ReadVarLen() {
    DWORD value = 0;
    for (;;) {
        if (BytesLeft == 0 || Input->GetError() || ErrorFlag) break;
        BYTE b = ReadChunkByte();
        value = (value << 7) | (b & 0x7F);
        if ((b & 0x80) == 0) break;
    }
    return value;
}

void TSMFInStream::ReadMessage(DWORD length, int firstByte) {
    MessageLength = 0;
    auto add = [this](BYTE b) {
        if (MessageLength >= kMaxMessage) return;
        if (MessageLength >= Message.size())
            Message.resize(std::min<size_t>(Message.size() + 8192, kMaxMessage));
        Message[MessageLength++] = b;
    };
    if (firstByte >= 0) add(static_cast<BYTE>(firstByte));
    // A stated length beyond the chunk reads what the chunk holds and says so once.
    DWORD available = std::min(length, BytesLeft);
    for (DWORD i = 0; i < available && BytesLeft > 0; ++i)
        add(ReadChunkByte());
    if (length > available) ReportWarning("Attempt to read past end of record");
    if (length > kMaxMessage)
        ReportWarning("Message of %lu bytes cut to %lu", static_cast<unsigned long>(length),
                      static_cast<unsigned long>(kMaxMessage));
    if (Message.size() <= MessageLength) Message.resize(MessageLength + 1);
    Message[MessageLength] = 0;
}

void TSMFInStream::HandleMeta(int type) {
    const BYTE* m = Message.data();
    DWORD n = MessageLength;
    MetaEvent(type, n);
    DWORD needed = MetaMinimumLength(type);
    if (needed > 0 && n < needed) {
        // A sequence number without data is allowed (the track's place stands for it).
        if (!(type == 0x00 && n == 0))
            ReportWarning("Meta event %02X of %lu bytes is too short", static_cast<unsigned>(type),
                          static_cast<unsigned long>(n));
        OtherMeta(type, m, n);
        return;
    }
    switch (type) {
        case 0x00:
            SequenceNumber(SMFPack16(m[0], m[1]));
            break;
        case 0x21:
            PortPrefix(m[0]);
            break;
        case 0x2F:
            EndOfTrack();
            break;
        case 0x51:
            Tempo((static_cast<DWORD>(m[0]) << 16) | (static_cast<DWORD>(m[1]) << 8) | m[2]);
            break;
        case 0x54:
            SmpteOffset(m[0], m[1], m[2], m[3], m[4]);
            break;
        case 0x58:
            TimeSignature(m[0], m[1], m[2], m[3]);
            break;
        case 0x59:
            KeySignature(static_cast<int8_t>(m[0]), m[1]);
            break;
        case 0x7F:
            SequencerSpecific(m, n);
            break;
        default:
            if (type >= 0x01 && type <= 0x0F)
                Text(type, reinterpret_cast<const char*>(m));
            else
                OtherMeta(type, m, n);
            break;
    }
}

void TSMFInStream::HandleChannelMessage(int status, int firstData) {
    int data1 = firstData >= 0 ? firstData : ReadChunkByte();
    int data2 = 0;
    int kind = status & 0xF0;
    if (kind != 0xC0 && kind != 0xD0) data2 = ReadChunkByte();
    ChannelMessage(status, data1, data2);
    int channel = status & 15;
    switch (kind) {
        case 0x80:
            NoteOff(channel, data1, data2);
            break;
        case 0x90:
            if (data2 == 0)
                NoteOff(channel, data1, 0);
            else
                NoteOn(channel, data1, data2);
            break;
        case 0xA0:
            KeyPressure(channel, data1, data2);
            break;
        case 0xB0:
            Controller(channel, data1, data2);
            break;
        case 0xC0:
            Program(channel, data1);
            break;
        case 0xD0:
            ChannelPressure(channel, data1);
            break;
        case 0xE0:
            PitchBend(channel, data1, data2);
            break;
        default:
            break;
    }
}

bool TSMFInStream::ReadTrack() {
    if (!ExpectTrackTag()) return false;
    BytesLeft = ReadRaw32();
    CurrentTime = 0;
    RunningStatus = 0;
    SavedStatus = 0;
    TrackStart();
    bool cancelled = false;
    while (BytesLeft > 0) {
        CurrentTime += ReadVarLen();
        if (BytesLeft == 0) break;
        if (IsLongTaskCancelled()) {
            cancelled = true;
            break;
        }
        int c = ReadChunkByte();
        if (Input->GetError()) break;
        if (c < 0x80) {
            int status = RunningStatus;
            if (status == 0) {
                ReportWarning("Unexpected running status");
                status = SavedStatus;
                // With no status at all the byte cannot be read as a message and is dropped.
                if (status == 0) continue;
            }
            HandleChannelMessage(status, c);
        } else if (c < 0xF0) {
            RunningStatus = c;
            HandleChannelMessage(c, -1);
        } else if (c == 0xF0 || c == 0xF7 || c == 0xFF) {
            if (RunningStatus != 0) SavedStatus = RunningStatus;
            RunningStatus = 0;
            if (c == 0xFF) {
                int type = ReadChunkByte();
                DWORD length = ReadVarLen();
                ReadMessage(length, -1);
                HandleMeta(type);
            } else {
                DWORD length = ReadVarLen();
                if (c == 0xF0) {
                    ReadMessage(length, 0xF0);
                    SystemExclusive(MessageLength, Message.data());
                } else {
                    ReadMessage(length, -1);
                    SystemExclusiveContinuation(MessageLength, Message.data());
                }
            }
        } else if (c >= 0xF8) {
            // Real-time bytes carry nothing in a file; running status stays.
        } else {
            if (RunningStatus != 0) SavedStatus = RunningStatus;
            RunningStatus = 0;
            ReportWarning("Unexpected status byte (%d)", c);
        }
    }
    TrackEnd();
    return !cancelled && ErrorFlag == 0;
}
