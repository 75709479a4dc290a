// Writing Standard MIDI Files: the chunk and event writer (TSMFOutStream) and the export of a rendered score
// as a file (TQSMExportClass).
#pragma once

#include "midi/smf_file.h"

class TQSRStream;
class TMidiFileBuf;
class TMusicScore;
class TScoreMidiPlayer;
struct TMidiEvent;

class TSMFOutStream : public TSMFStream {
public:
    // The output stream is not owned; it must be able to seek back (track lengths are written last).
    explicit TSMFOutStream(TQSRStream* output);
    ~TSMFOutStream() override;

    virtual void ErrorReport(const char* text);
    virtual void WarningReport(const char* text);
    // The header chunk, the first track and, for format 1, tracks 0 to tracks - 1. A format-1 file
    // declares tracks + 1 track chunks, any other format the one track it holds.
    virtual void WriteFile(int format, int tracks, int division);
    // Body of track index of a format-1 file; writes nothing here.
    virtual void WriteTrack(int index);
    // Body of the first track; writes nothing here.
    virtual void WriteFirstTrack();

    // 1 when the byte was written; 0 after reporting "Error writing MIDI data".
    int PutByte(int b);
    void PutVarLen(DWORD v);
    void Put32(DWORD v);
    void Put16(WORD v);

    // A channel message of n data bytes; 0 (nothing written) for a channel above 15.
    int WriteChannelMessage(DWORD delta, int command, int channel, const BYTE* data, int n);
    // 0 at the first byte that fails.
    int WriteMeta(DWORD delta, int type, const BYTE* data, DWORD n);
    int WriteMetaAt(DWORD tick, int type, const BYTE* data, DWORD n);
    int WriteTextMeta(DWORD delta, int type, const char* text);
    int WriteTextMetaAt(DWORD tick, int type, const char* text);
    // One event record at its tick: short messages, tempo, time and key signatures; other kinds write
    // nothing.
    void WriteEvent(const TMidiEvent& event);

    DWORD GetByteCount() const { return ByteCount; }

private:
    // index -1: the first track.
    void WriteTrackChunk(int index);

    TQSRStream* Output;
    DWORD ByteCount = 0;
};

// Writes a score as a one-track file of its rendered performance.
class TQSMExportClass : public TSMFOutStream {
public:
    // None of the objects is owned.
    TQSMExportClass(TQSRStream* output, TMusicScore* score, TScoreMidiPlayer* player, TMidiFileBuf* buffer);
    ~TQSMExportClass() override;

    // Seconds of silence written at the end (0: none).
    void SetEndGap(int seconds) { EndGap = seconds; }

    // Renders the score (without time signatures, key signatures and pauses) and writes its events; short
    // messages of ports other than the first are left out.
    void WriteFirstTrack() override;

private:
    TScoreMidiPlayer* Player;
    TMusicScore* Score;
    TMidiFileBuf* Buffer;
    int EndGap = 0;
};
