// Compressing and decompressing streams over another stream, with the score file envelope: mode 0 plain
// data, mode 1 the six bytes "[QSZ]" and a zero followed by a zlib stream, mode 2 a gzip stream. The reader
// detects which envelope the data has; the writer writes the one asked for, at compression level 9.
#pragma once

#include <memory>

#include "core/stream.h"

struct z_stream_s;

class TQSRZLibInStream : public TQSRStream {
public:
    enum : int { kPlain = 0, kScoreEnvelope = 1, kGzip = 2 };
    enum : int { kNotOpened = 0, kOpen = 1, kInputDry = 2, kFinished = 3, kFailed = 4 };
    static constexpr DWORD kBufferSize = 16384;
    static constexpr DWORD kUnknownSize = 0x7FFFFFF0;
    // A compressed stream that has needed this many buffers is inflated ahead of the reader by a worker
    // thread, in blocks of kAheadBlockSize, at most kAheadSlots of them at a time.
    static constexpr int kAheadAfterBuffers = 16;
    static constexpr DWORD kAheadBlockSize = 16 * kBufferSize;
    static constexpr int kAheadSlots = 3;

    // Nothing is read until the first byte is asked for. With ownsUnderlying the underlying stream is
    // destroyed with this one.
    TQSRZLibInStream(int requestedMode, TQSRStream* underlying, bool ownsUnderlying);
    ~TQSRZLibInStream() override;

    BYTE Get() override;
    // Forward by reading; backward by starting again from the beginning of the underlying stream.
    bool Seek(DWORD position) override;
    // Uncompressed bytes delivered since opening.
    DWORD Tell() override;
    DWORD GetSize() override { return kUnknownSize; }
    // Rewinds the underlying stream and closes, so that the next read detects the envelope again.
    void Rewind() override;
    // A short count at the clean end of the data sets no error; damaged data does.
    DWORD ReadBlock(void* dst, DWORD n) override;

    // Reads the first block and detects the envelope (done by the first read).
    virtual void Open();
    // Ends the decompressor; the next read opens again.
    virtual void Close();

    // Reads and drops what is left of the data and answers whether it ended cleanly: plain data always does;
    // compressed data only when its zlib or gzip stream ends and the check values there match. A reader that
    // stops once it has its bytes asks this to know that they were whole.
    bool EndsCleanly();

    // The envelope in force is not plain.
    bool IsCompressed() const { return mode_ != kPlain; }
    int GetMode() const { return mode_; }
    int GetState() const { return state_; }

protected:
    TQSRZLibInStream(int requestedMode, TQSRStream* underlying, bool ownsUnderlying, bool decompressing);
    // Ends the codec without writing anything.
    void EndCodec();
    DWORD Produced() const;

    bool decompressing_;
    int requestedMode_;
    int mode_;
    int state_ = kNotOpened;
    DWORD total_ = 0;
    DWORD consumed_ = 0;
    std::unique_ptr<BYTE[]> in_;
    std::unique_ptr<BYTE[]> out_;
    std::unique_ptr<z_stream_s> codec_;
    bool codecStarted_ = false;
    TQSRStream* underlying_;
    bool ownsUnderlying_;

private:
    class TWindowScope;
    struct TAhead;

    bool MakeAvailable();
    // The decompressed bytes being read: the buffer, or the block taken from the worker.
    const BYTE* Out() const;
    // Tops the input up when it has run out and makes one inflate call into the codec's output room.
    int InflateStep(int state);
    // Hands the codec, the input buffer and the underlying stream to a worker thread; false when no thread
    // can be had (reading goes on as before).
    bool StartAhead();
    void InflateAhead(TAhead& ahead, int state);
    // Gives the reader the next block (waiting for it) once the one it holds is used up.
    void TakeBlock();
    // Stops and joins the worker; the codec is the reader's again, with nothing left to deliver.
    void StopAhead();

    std::unique_ptr<TAhead> ahead_;
    int buffersRead_ = 0;

    // Operations nested inside one another count, so that only the outermost takes the read window's
    // progress into consumed_ and total_ and lays the window over the decompressed bytes again.
    int scopeDepth_ = 0;
};

class TQSRZLibOutStream : public TQSRZLibInStream {
public:
    // Nothing is written until the first byte comes: then the underlying stream is emptied (Reset) and the
    // envelope header written. Writing nothing writes nothing.
    TQSRZLibOutStream(int mode, TQSRStream* underlying, bool ownsUnderlying);
    // Does not finish: owners call Finish first, or the buffered data is lost.
    ~TQSRZLibOutStream() override;

    void Put(int byte) override;
    void WriteBlock(const void* data, DWORD n) override;
    BYTE Get() override;
    bool Seek(DWORD position) override;
    DWORD ReadBlock(void* dst, DWORD n) override;
    // Flushes the underlying stream only.
    void Flush() override;
    // Finishes, rewinds the underlying stream and clears the status.
    void Rewind() override;
    // Drops everything written so far without finishing, empties the underlying stream and clears the status.
    void Reset() override;
    void Open() override;
    // Finish.
    void Close() override;

    // Compresses what is buffered, ends the compressed stream, writes everything out and flushes the
    // underlying stream. A Put after it sets the error.
    void Finish();

private:
    void CompressInput(DWORD count);
    void WriteOut();

    DWORD inCount_ = 0;
};
