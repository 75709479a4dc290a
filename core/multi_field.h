// String tables in one buffer: TQSMultiField (a number of fields addressed by index), TQSStringQueue (a
// bounded list of strings on a multi-field) and TQSCmdLineOptions (a command line split into such a list).
#pragma once

#include <vector>

#include "platform/base/wintypes.h"

class TQSRStream;

// A fixed number of zero-terminated strings stored end to end in one buffer. The bytes after the last field
// are zero, so the buffer is also a list of strings ended by an empty string.
class TQSMultiField {
public:
    // count empty fields in a buffer of max(2 x count + 2, size) bytes.
    TQSMultiField(int32_t count, int32_t size);
    // The text split at the separator into count fields (count < 0: as many fields as pieces).
    TQSMultiField(char separator, const char* text, int32_t count);
    // count fields set to the strings that follow (as many const char* arguments as count; null is empty).
    TQSMultiField(int32_t count, const char* s1, ...);
    // The stream form: count, buffer size and grow step as 16-bit values, then each field as a
    // zero-terminated string. A damaged stream cannot make the fields larger than the stated buffer size.
    explicit TQSMultiField(TQSRStream& stream);
    TQSMultiField(const TQSMultiField&) = default;
    TQSMultiField& operator=(const TQSMultiField&) = default;

    int32_t GetFieldCount() const { return count_; }
    int32_t GetBufferSize() const { return static_cast<int32_t>(buffer_.size()); }
    // Bytes used by all fields with their terminators.
    int32_t GetUsedSize() const { return offsets_[static_cast<size_t>(count_)]; }
    // The buffer as a list of strings ended by an empty string.
    const char* GetBuffer() const { return buffer_.data(); }

    // Field i; an empty string for an index outside the fields.
    const char* GetField(int32_t i) const;
    // Replaces field i (null sets it empty); nothing happens for an index outside the fields.
    void SetField(int32_t i, const char* text);
    // A new field at i (an index below 0 or beyond the count appends).
    void Insert(int32_t i, const char* text);
    void ClearFields();
    // Fills the fields from the pieces of the text between separators; surplus pieces are dropped and
    // fields beyond the pieces are empty.
    void Split(const char* text, char separator);
    // Index of the first field equal to the text, or the default.
    int32_t Find(const char* text, bool ignoreCase, int32_t notFound) const;
    void SetGrowStep(int32_t step);
    // Makes the buffer at least n bytes, rounded up to a multiple of the grow step.
    void Reserve(int32_t n);
    void Write(TQSRStream& stream) const;

    // Number of separators + 1, or 0 for a null text; double-byte characters are never split.
    static int32_t CountFields(const char* text, char separator);

private:
    std::vector<char> buffer_;
    int32_t count_ = 0;
    int32_t growStep_ = 1;
    std::vector<int32_t> offsets_;  // count + 1 entries; the last is the number of bytes used
};

// A list of at most capacity strings (the multi-field's fields); the first GetCount fields are in use.
class TQSStringQueue {
public:
    TQSStringQueue(int32_t capacity, bool ignoreCase, int32_t bytesPerEntry);
    // Filled from the pieces of the text, compared with case.
    TQSStringQueue(const char* text, char separator, int32_t capacity);

    int32_t GetCount() const { return used_; }
    int32_t GetCapacity() const { return fields_.GetFieldCount(); }
    const char* GetEntry(int32_t i) const { return fields_.GetField(i); }
    const TQSMultiField& GetFields() const { return fields_; }
    bool IgnoresCase() const { return ignoreCase_ != 0; }

    // Index of the entry equal to the text (0..count-1), or -1.
    int32_t Find(const char* text) const;
    bool Contains(const char* text) const { return Find(text) >= 0; }
    // Appends the text when it is absent and the queue has room; true when added.
    bool AddUnique(const char* text);
    // Inserts at i (limited to 0..count); on a full queue the last entry falls off. Nothing happens when the
    // position lies beyond the last field (appending to a full queue); true when inserted.
    bool InsertAt(int32_t i, const char* text);
    void RemoveAt(int32_t i);
    bool Remove(const char* text);
    void Clear();
    // The entries up to the first empty one, joined by the separator, in a new string the caller frees with
    // delete[].
    char* Join(char separator) const;

protected:
    void SetCount(int32_t used) { used_ = used; }
    TQSMultiField& Fields() { return fields_; }

private:
    TQSMultiField fields_;
    int32_t used_ = 0;
    int32_t ignoreCase_ = 0;
};

// A command line split into at most 128 arguments at blanks; a double-quoted argument runs to the next
// double quote. Comparisons ignore case. Arguments beyond the 128th are dropped.
class TQSCmdLineOptions : public TQSStringQueue {
public:
    // knownSwitches, when given, is a list of zero-terminated switch words ended by an empty string: then an
    // argument is a switch when it is one of them (without regard to case), or a word after the switch
    // character that is no path (no second switch character in it, and nothing of that name exists), so that
    // a path that starts with the switch character counts as an argument and an unknown switch does not.
    TQSCmdLineOptions(const char* commandLine, char switchChar, const char* knownSwitches = nullptr);

    char GetSwitchChar() const { return switchChar_; }
    bool IsSwitch(const char* argument) const;
    // The first argument that is not a switch, or null.
    const char* FirstNonSwitch() const;

private:
    char switchChar_;
    std::vector<char> knownSwitches_;
};
