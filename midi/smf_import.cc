#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/stream.h"
#include "core/text_utils.h"
#include "midi/smf_file.h"
#include "platform/kernel/text.h"

namespace {

// Ticks are kept well inside 31 bits, so that the conversion into notation can add to them freely.
constexpr uint64_t kMaxTick = 0x3FFFFFFF;

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TSMFTrackData

TSMFTrackData::TSMFTrackData() : TMidiFileBuf(5) {}

void TSMFTrackData::ClearTrack() {
    Clear();
    SetKindMask(0);
    Texts.Reset();
    Port = 0;
    Name[0] = 0;
    InstrumentName[0] = 0;
}

void TSMFTrackData::SetName(const char* text) {
    SafeStrCopy(Name, text ? text : "", sizeof(Name));
}

void TSMFTrackData::SetInstrumentName(const char* text) {
    SafeStrCopy(InstrumentName, text ? text : "", sizeof(InstrumentName));
}

void TSMFTrackData::AddText(DWORD tick, int type, const char* text) {
    if (Texts.Tell() != Texts.GetSize()) Texts.Seek(Texts.GetSize());
    Texts.WriteLong(tick);
    Texts.Put(type);
    Texts.WriteString(text);
}

bool TSMFTrackData::ReadText(DWORD& tick, int& type, char* text, int limit) {
    if (Texts.Tell() >= Texts.GetSize()) return false;
    tick = Texts.ReadLong();
    type = Texts.Get();
    Texts.ReadString(text, limit);
    return Texts.GetError() == 0;
}

bool TSMFTrackData::FindText(int kind) {
    Texts.Rewind();
    if (kind == 0) return false;
    DWORD tick = 0;
    int type = 0;
    char text[4];
    while (ReadText(tick, type, text, sizeof(text))) {
        if (tick < 1 || text[0] == 0) continue;
        if (kind == 1 && type == SMF_LYRIC) return true;
        if (kind == 2 && type == SMF_TEXT && text[0] != '@') return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------------------
// TSMFData

TSMFData::TSMFData(int tracks) : TQSMultiField(4, 4 * kFieldSize) {
    Reset(tracks);
}

TSMFData::~TSMFData() {
    for (TSMFTrackData* t : Tracks)
        delete t;
}

void TSMFData::Reset(int tracks) {
    SysEx.Reset();
    for (int i = 0; i < 4; ++i)
        SetField(i, "");
    if (tracks < 0) tracks = 0;
    while (static_cast<int>(Tracks.size()) > tracks) {
        delete Tracks.back();
        Tracks.pop_back();
    }
    while (static_cast<int>(Tracks.size()) < tracks)
        Tracks.push_back(new TSMFTrackData);
    for (TSMFTrackData* t : Tracks)
        t->ClearTrack();
}

TSMFTrackData* TSMFData::GetTrack(int i) const {
    return i >= 0 && i < GetTrackCount() ? Tracks[static_cast<size_t>(i)] : nullptr;
}

void TSMFData::SetText(int field, const char* text) {
    char cut[kFieldSize];
    SafeStrCopy(cut, text ? text : "", kFieldSize);
    SetField(field, cut);
}

// ---------------------------------------------------------------------------------------------------------
// TSMFImport

TSMFImport::TSMFImport(TSMFData* data, TQSRStream* input, TQSRStream* log)
    : TSMFInStream(input, log), Data(data), NoteOnTicks(16 * 128, 0) {}

TSMFImport::~TSMFImport() {
    delete Current;
}

void TSMFImport::Run(TSMFData* data, TQSRStream* input, TQSRStream* log) {
    if (!data || !input) return;
    TSMFImport import(data, input, log);
    import.ReadFile();
}

void TSMFImport::Error(const char*) {
    ErrorFlag = 1;
}

void TSMFImport::Warning(const char*) {
    ++Warnings;
}

void TSMFImport::Header(int, int, int division) {
    if (division == 0) {
        division = 32;
    } else if (division < 0) {
        // Frames per second and ticks per frame: taken at 120 beats per minute, a quarter note lasts half a
        // second.
        int fps = -static_cast<int8_t>((division >> 8) & 0xFF);
        int ticksPerFrame = division & 0xFF;
        division = std::max(1, fps * ticksPerFrame / 2);
    }
    FileDivision = division;
    Factor = 192 / division;
    Remainder = 192 % division;
}

DWORD TSMFImport::ConvertTick(DWORD t) const {
    uint64_t ticks = static_cast<uint64_t>(t) * static_cast<uint64_t>(Factor);
    if (Remainder != 0) {
        DWORD d = static_cast<DWORD>(FileDivision);
        ticks += static_cast<uint64_t>(MulDiv(static_cast<int>(t % d), Remainder, FileDivision)) +
                 static_cast<uint64_t>(t / d) * static_cast<uint64_t>(Remainder);
    }
    return static_cast<DWORD>(std::min(ticks, kMaxTick));
}

TSMFTrackData* TSMFImport::FirstTrack() const {
    return Data->GetTrackCount() > 0 ? Data->GetTrack(0) : Current;
}

void TSMFImport::TrackStart() {
    delete Current;
    Current = new TSMFTrackData;
    std::fill(NoteOnTicks.begin(), NoteOnTicks.end(), 0);
}

void TSMFImport::TrackEnd() {
    if (!Current) return;
    if (Data->GetTrackCount() == 0 || !Current->IsEmpty() || Current->GetTextStream().GetSize() > 0)
        Data->AddTrack(Current);
    else
        delete Current;
    Current = nullptr;
}

void TSMFImport::ChannelMessage(int status, int data1, int data2) {
    if (!Current) return;
    // Data bytes have seven bits; a damaged file cannot make keys or values beyond 127.
    data1 &= 0x7F;
    data2 &= 0x7F;
    DWORD tick = ConvertTick(GetCurrentTime());
    int channel = status & 15;
    int kind = status & 0xF0;
    if (kind == 0x90 && data2 == 0) {
        status = 0x80 | channel;
        kind = 0x80;
    }
    DWORD& onTick = NoteOnTicks[static_cast<size_t>(channel * 128 + data1)];
    if (kind == 0x90) {
        onTick = tick + 1;
    } else if (kind == 0x80 && onTick == tick + 1) {
        // A note that ends at the tick where it began would sort before its own note-on and hang: it ends
        // one tick later.
        ++tick;
        onTick = 0;
    }
    TMidiEvent event{};
    event.Tick = tick;
    event.Status = static_cast<BYTE>(status);
    event.Data1 = static_cast<BYTE>(data1);
    event.Data2 = static_cast<BYTE>(data2);
    event.KindPort = 0;
    Current->AddEvent(event);
}

void TSMFImport::PortPrefix(int port) {
    if (Current) Current->SetPort(port);
}

namespace {

// Text events written as UTF-8 are taken into the ANSI code page when every character has a place there;
// other texts keep their bytes as they are.
std::string TextInCodePage(const char* text) {
    bool wide = false;
    for (const char* p = text; *p; ++p)
        if (static_cast<unsigned char>(*p) >= 0x80) wide = true;
    if (!wide) return text;
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (units <= 0) return text;
    std::vector<WCHAR> utf16(static_cast<size_t>(units));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, utf16.data(), units) != units)
        return text;
    BOOL lost = FALSE;
    int bytes =
        WideCharToMultiByte(GetACP(), WC_NO_BEST_FIT_CHARS, utf16.data(), -1, nullptr, 0, nullptr, &lost);
    if (bytes <= 0 || lost) return text;
    std::string out(static_cast<size_t>(bytes), '\0');
    lost = FALSE;
    if (WideCharToMultiByte(GetACP(), WC_NO_BEST_FIT_CHARS, utf16.data(), -1, out.data(), bytes, nullptr,
                            &lost) != bytes ||
        lost)
        return text;
    out.resize(std::strlen(out.c_str()));
    return out;
}

}  // namespace

void TSMFImport::Text(int type, const char* raw) {
    if (!Current || !raw || !raw[0]) return;
    const std::string converted = TextInCodePage(raw);
    const char* text = converted.c_str();
    DWORD tick = ConvertTick(GetCurrentTime());
    bool firstTrack = Data->GetTrackCount() == 0;
    switch (type) {
        case SMF_TEXT:
            if (firstTrack && tick == 0 && !Data->GetText(SMF_FIELD_AUTHOR)[0]) {
                if (const char* by = std::strstr(text, "By ")) Data->SetText(SMF_FIELD_AUTHOR, by + 3);
            }
            break;
        case SMF_COPYRIGHT:
            if (!Data->GetText(SMF_FIELD_COPYRIGHT)[0]) {
                const char* cr = std::strchr(text, '\r');
                if (!cr) {
                    Data->SetText(SMF_FIELD_COPYRIGHT, text);
                } else {
                    size_t n = std::min<size_t>(static_cast<size_t>(cr - text), TSMFData::kFieldSize - 1);
                    char first[TSMFData::kFieldSize];
                    std::memcpy(first, text, n);
                    first[n] = 0;
                    Data->SetText(SMF_FIELD_COPYRIGHT, first);
                    const char* second = cr + 1;
                    if (*second == '\n') ++second;
                    if (*second) Data->SetText(SMF_FIELD_COPYRIGHT2, second);
                }
            } else if (!Data->GetText(SMF_FIELD_COPYRIGHT2)[0]) {
                Data->SetText(SMF_FIELD_COPYRIGHT2, text);
            }
            break;
        case SMF_TRACK_NAME:
            if (!Current->GetName()[0]) Current->SetName(text);
            if (firstTrack && !Data->GetText(SMF_FIELD_TITLE)[0]) Data->SetText(SMF_FIELD_TITLE, text);
            break;
        case SMF_INSTRUMENT:
            if (!Current->GetInstrumentName()[0]) Current->SetInstrumentName(text);
            break;
        default:
            break;
    }
    Current->AddText(tick, type, text);
}

void TSMFImport::TimeSignature(int numerator, int denominatorPower, int, int) {
    if (TSMFTrackData* first = FirstTrack())
        first->AddTimeSignature(ConvertTick(GetCurrentTime()), numerator, denominatorPower);
}

void TSMFImport::Tempo(DWORD micros) {
    TSMFTrackData* first = FirstTrack();
    if (micros == 0 || !first) return;
    // The file's microseconds are kept as they are: a tempo that went through whole beats per minute would
    // make the song play slower than written.
    TMidiEvent event{};
    event.Tick = ConvertTick(GetCurrentTime());
    event.Status = static_cast<BYTE>(micros & 0xFF);
    event.Data1 = static_cast<BYTE>((micros >> 8) & 0xFF);
    event.Data2 = static_cast<BYTE>((micros >> 16) & 0xFF);
    event.KindPort = static_cast<BYTE>(MIDI_KIND_TEMPO << 4);
    first->AddEvent(event);
}

void TSMFImport::KeySignature(int sharpsFlats, int minor) {
    if (Current) Current->AddKeySignature(ConvertTick(GetCurrentTime()), sharpsFlats, minor != 0 ? 1 : 0);
}

void TSMFImport::StoreSysEx(int type, DWORD length, const BYTE* data) {
    if (length == 0 || !data) return;
    TQSRStream& s = Data->GetSysExStream();
    if (s.Tell() != s.GetSize()) s.Seek(s.GetSize());
    s.Put(type);
    s.WriteLong(ConvertTick(GetCurrentTime()));
    s.WriteWord(static_cast<WORD>(length));
    s.WriteBlock(data, length);
}

void TSMFImport::SystemExclusive(DWORD length, const BYTE* data) {
    StoreSysEx(0xF0, length, data);
}

void TSMFImport::SystemExclusiveContinuation(DWORD length, const BYTE* data) {
    StoreSysEx(0xF7, length, data);
}
