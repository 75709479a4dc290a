// Standard MIDI Files: the header values shared by reading and writing (TSMFStream), the chunk and event
// parser that hands every event to a virtual handler (TSMFInStream), and the importer that stores a whole
// file as per-track event buffers at 192 ticks per quarter note with the song's texts and system-exclusive
// messages (TSMFImport, TSMFData, TSMFTrackData).
#pragma once

#include <cstdint>
#include <vector>

#include "core/multi_field.h"
#include "core/ram_stream.h"
#include "platform/base/wintypes.h"
#include "score/base/midi_file_buf.h"

class TQSRStream;

// Header values of a Standard MIDI File, and the current time of the track being read or written.
class TSMFStream {
public:
    TSMFStream() = default;
    TSMFStream(const TSMFStream&) = delete;
    TSMFStream& operator=(const TSMFStream&) = delete;
    virtual ~TSMFStream();

    // Seconds that file ticks last at a tempo in microseconds per quarter note (0: 120 bpm), and back.
    double TicksToSeconds(DWORD ticks, DWORD tempo = 0) const;
    DWORD SecondsToTicks(double seconds, DWORD tempo = 0) const;

    int GetFormat() const { return Format; }
    int GetTrackCount() const { return NumTracks; }
    int GetDivision() const { return Division; }
    bool HasError() const { return ErrorFlag != 0; }
    int GetWarningCount() const { return Warnings; }

protected:
    int Format = 1;
    int NumTracks = 0;
    int Division = 192;
    DWORD CurrentTime = 0;
    int ErrorFlag = 0;
    int Warnings = 0;
};

// Reads the chunks and events of a file and hands each one to a handler; every handler does nothing here.
class TSMFInStream : public TSMFStream {
public:
    // The log stream (may be null) receives every error and warning text on a line of its own.
    TSMFInStream(TQSRStream* input, TQSRStream* log);
    ~TSMFInStream() override;

    // Reads the header and every track; stops after a track that failed, or when the long task is
    // cancelled.
    void ReadFile();

    // Longest message kept; the rest of a longer one is dropped.
    static constexpr DWORD kMaxMessage = 60000;

protected:
    virtual void Error(const char* text);
    virtual void Warning(const char* text);
    virtual void Header(int format, int tracks, int division);
    virtual void TrackStart();
    virtual void TrackEnd();
    virtual void EndOfFile();
    // Called for every channel message before the handler of its kind.
    virtual void ChannelMessage(int status, int data1, int data2);
    virtual void NoteOn(int channel, int key, int velocity);
    // Also for a note-on with velocity 0 (velocity passed as 0).
    virtual void NoteOff(int channel, int key, int velocity);
    virtual void KeyPressure(int channel, int key, int value);
    virtual void Controller(int channel, int number, int value);
    virtual void PitchBend(int channel, int low, int high);
    virtual void Program(int channel, int program);
    virtual void ChannelPressure(int channel, int value);
    // Called for every meta event before the handler of its type.
    virtual void MetaEvent(int type, DWORD length);
    virtual void OtherMeta(int type, const BYTE* data, DWORD length);
    virtual void PortPrefix(int port);
    virtual void SequencerSpecific(const BYTE* data, DWORD length);
    virtual void SequenceNumber(int number);
    virtual void Text(int type, const char* text);
    virtual void EndOfTrack();
    virtual void TimeSignature(int numerator, int denominatorPower, int clocksPerClick, int notated32nds);
    virtual void SmpteOffset(int hours, int minutes, int seconds, int frames, int fractions);
    virtual void Tempo(DWORD microsPerQuarter);
    virtual void KeySignature(int sharpsFlats, int minor);
    // F0 messages; the data begins with the F0 byte.
    virtual void SystemExclusive(DWORD length, const BYTE* data);
    // F7 messages.
    virtual void SystemExclusiveContinuation(DWORD length, const BYTE* data);

    DWORD GetCurrentTime() const { return CurrentTime; }
    // Formats the message with its prefix and position, logs it and calls Error or Warning.
    void ReportError(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void ReportWarning(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    bool ReadHeader();
    bool ReadTrack();
    // Finds the next "MTrk" tag; chunks of other types are skipped by their length.
    bool ExpectTrackTag();
    bool ReadTag(BYTE tag[4]);
    BYTE ReadChunkByte();
    DWORD ReadVarLen();
    DWORD ReadRaw32();
    // Reads length bytes of the chunk into the message buffer (at most kMaxMessage are kept), after the
    // given first byte when there is one.
    void ReadMessage(DWORD length, int firstByte);
    void HandleMeta(int type);
    void HandleChannelMessage(int status, int firstData);
    void Report(bool error, const char* format, va_list args);

    TQSRStream* Input;
    TQSRStream* Log;
    DWORD BytesLeft = 0;
    std::vector<BYTE> Message;
    DWORD MessageLength = 0;
    int RunningStatus = 0;
    int SavedStatus = 0;
};

// Text types of the text meta events.
enum : int {
    SMF_TEXT = 1,
    SMF_COPYRIGHT = 2,
    SMF_TRACK_NAME = 3,
    SMF_INSTRUMENT = 4,
    SMF_LYRIC = 5,
};

// One track of an imported file: its events at 192 ticks per quarter note, its text events, its port and
// names.
class TSMFTrackData : public TMidiFileBuf {
public:
    TSMFTrackData();

    void ClearTrack();
    // Whether a text of the kind exists at tick 1 or later: kind 1 lyric events, kind 2 text events that do
    // not begin with "@"; kind 0 never. Empty texts never count.
    bool FindText(int kind);
    // Appends a text record: tick, type, text.
    void AddText(DWORD tick, int type, const char* text);
    // Reads the next text record from the position of the text stream; false at its end. The text keeps at
    // most limit - 1 characters.
    bool ReadText(DWORD& tick, int& type, char* text, int limit);
    TQSRStream& GetTextStream() { return Texts; }

    const char* GetName() const { return Name; }
    const char* GetInstrumentName() const { return InstrumentName; }
    void SetName(const char* text);
    void SetInstrumentName(const char* text);
    int GetPort() const { return Port; }
    void SetPort(int port) { Port = port; }

private:
    TQSRSegRamStream Texts{2048};
    int32_t Port = 0;
    char Name[40] = {};
    char InstrumentName[40] = {};
};

// Song text fields of an imported file.
enum : int {
    SMF_FIELD_TITLE = 0,
    SMF_FIELD_AUTHOR = 1,
    SMF_FIELD_COPYRIGHT = 2,
    SMF_FIELD_COPYRIGHT2 = 3,
};

// A whole imported file: four song texts (title, author, copyright and its second line, each at most 254
// characters), the tracks and the system-exclusive messages.
class TSMFData : public TQSMultiField {
public:
    explicit TSMFData(int tracks = 0);
    ~TSMFData();
    TSMFData(const TSMFData&) = delete;
    TSMFData& operator=(const TSMFData&) = delete;

    // Empties everything and keeps n empty tracks.
    void Reset(int tracks);
    int GetTrackCount() const { return static_cast<int>(Tracks.size()); }
    // Null outside the tracks.
    TSMFTrackData* GetTrack(int i) const;
    // Takes ownership.
    void AddTrack(TSMFTrackData* track) { Tracks.push_back(track); }
    // Sets a song text field, cut to its 254 characters.
    void SetText(int field, const char* text);
    const char* GetText(int field) const { return GetField(field); }

    // Records of F0 or F7 type byte, tick (32-bit), length (16-bit) and data.
    TQSRStream& GetSysExStream() { return SysEx; }

    static constexpr int kFieldSize = 255;

private:
    std::vector<TSMFTrackData*> Tracks;
    TQSRSegRamStream SysEx{2048};
};

// Stores a read file into a TSMFData.
class TSMFImport : public TSMFInStream {
public:
    TSMFImport(TSMFData* data, TQSRStream* input, TQSRStream* log);
    ~TSMFImport() override;

    // Reads a whole file into the data (which the caller made); the log receives the error and warning
    // texts. The data keeps everything read up to an error or a cancel.
    static void Run(TSMFData* data, TQSRStream* input, TQSRStream* log);

    // A file tick at the file's division as a tick at 192 per quarter note.
    DWORD ConvertTick(DWORD fileTick) const;

protected:
    void Error(const char* text) override;
    void Warning(const char* text) override;
    void Header(int format, int tracks, int division) override;
    void TrackStart() override;
    void TrackEnd() override;
    void ChannelMessage(int status, int data1, int data2) override;
    void PortPrefix(int port) override;
    void Text(int type, const char* text) override;
    void TimeSignature(int numerator, int denominatorPower, int clocksPerClick, int notated32nds) override;
    void Tempo(DWORD microsPerQuarter) override;
    void KeySignature(int sharpsFlats, int minor) override;
    void SystemExclusive(DWORD length, const BYTE* data) override;
    void SystemExclusiveContinuation(DWORD length, const BYTE* data) override;

private:
    // The first track of the data, or the current one while none is stored.
    TSMFTrackData* FirstTrack() const;
    void StoreSysEx(int type, DWORD length, const BYTE* data);

    TSMFData* Data;
    TSMFTrackData* Current = nullptr;
    int FileDivision = 192;
    int Factor = 1;
    int Remainder = 0;
    // Tick + 1 of the last note-on per channel and key of the current track (0: none).
    std::vector<DWORD> NoteOnTicks;
};

// 32- and 16-bit big-endian packing.
DWORD SMFPack32(BYTE b0, BYTE b1, BYTE b2, BYTE b3);
WORD SMFPack16(BYTE b0, BYTE b1);
