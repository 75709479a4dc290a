#include "core/multi_field.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include "core/stream.h"
#include "platform/kernel/files.h"
#include "platform/kernel/text.h"

namespace {

bool Equal(const char* a, const char* b, bool ignoreCase) {
    return ignoreCase ? qsm::CompareNoCase(a, b) == 0 : std::strcmp(a, b) == 0;
}

}  // namespace

TQSMultiField::TQSMultiField(int32_t count, int32_t size) {
    if (count < 0) count = 0;
    count_ = count;
    int32_t bytes = 2 * count + 2;
    if (size > bytes) bytes = size;
    buffer_.assign(static_cast<size_t>(bytes), 0);
    offsets_.resize(static_cast<size_t>(count) + 1);
    for (int32_t i = 0; i <= count; ++i)
        offsets_[static_cast<size_t>(i)] = i;
}

TQSMultiField::TQSMultiField(char separator, const char* text, int32_t count)
    : TQSMultiField(count < 0 ? CountFields(text, separator) : count, 0) {
    Split(text, separator);
}

TQSMultiField::TQSMultiField(int32_t count, const char* s1, ...) : TQSMultiField(count, 0) {
    if (count_ == 0) return;
    SetField(0, s1);
    va_list args;
    va_start(args, s1);
    for (int32_t i = 1; i < count_; ++i)
        SetField(i, va_arg(args, const char*));
    va_end(args);
}

TQSMultiField::TQSMultiField(TQSRStream& stream) : TQSMultiField(0, 0) {
    int32_t count = stream.ReadWord();
    int32_t size = stream.ReadWord();
    int32_t grow = stream.ReadWord();
    if (stream.GetError()) return;
    *this = TQSMultiField(count, size);
    SetGrowStep(grow);
    std::vector<char> text(static_cast<size_t>(size) + 1);
    for (int32_t i = 0; i < count_; ++i) {
        // Each field keeps to the room the stated size leaves after the fields before it.
        int32_t room = size - offsets_[static_cast<size_t>(i)];
        if (room < 1) room = 1;
        stream.ReadString(text.data(), room);
        if (stream.GetError()) break;
        SetField(i, text.data());
    }
}

const char* TQSMultiField::GetField(int32_t i) const {
    if (i < 0 || i >= count_) return "";
    return buffer_.data() + offsets_[static_cast<size_t>(i)];
}

void TQSMultiField::SetField(int32_t i, const char* text) {
    if (i < 0 || i >= count_) return;
    // The text may lie in this buffer (one field copied to another), which the move below changes.
    std::string copy(text ? text : "");
    size_t at = static_cast<size_t>(offsets_[static_cast<size_t>(i)]);
    int32_t oldLen = static_cast<int32_t>(std::strlen(buffer_.data() + at)) + 1;
    int32_t newLen = static_cast<int32_t>(copy.size()) + 1;
    int32_t diff = newLen - oldLen;
    if (diff != 0) {
        int32_t used = GetUsedSize();
        Reserve(used + diff + 1);
        size_t next = static_cast<size_t>(offsets_[static_cast<size_t>(i) + 1]);
        std::memmove(buffer_.data() + next + diff, buffer_.data() + next, static_cast<size_t>(used) - next);
        for (int32_t j = i + 1; j <= count_; ++j)
            offsets_[static_cast<size_t>(j)] += diff;
        if (diff < 0) std::memset(buffer_.data() + used + diff, 0, static_cast<size_t>(-diff));
    }
    std::memcpy(buffer_.data() + at, copy.c_str(), static_cast<size_t>(newLen));
}

void TQSMultiField::Insert(int32_t i, const char* text) {
    if (i < 0 || i > count_) i = count_;
    int32_t used = GetUsedSize();
    Reserve(used + 2);
    size_t at = static_cast<size_t>(offsets_[static_cast<size_t>(i)]);
    std::memmove(buffer_.data() + at + 1, buffer_.data() + at, static_cast<size_t>(used) - at);
    buffer_[at] = 0;
    offsets_.insert(offsets_.begin() + i, static_cast<int32_t>(at));
    for (int32_t j = i + 1; j <= count_ + 1; ++j)
        offsets_[static_cast<size_t>(j)] += 1;
    ++count_;
    SetField(i, text);
}

void TQSMultiField::ClearFields() {
    std::fill(buffer_.begin(), buffer_.end(), 0);
    for (int32_t i = 0; i <= count_; ++i)
        offsets_[static_cast<size_t>(i)] = i;
}

void TQSMultiField::Split(const char* text, char separator) {
    std::vector<std::string> pieces;
    if (text) {
        std::string piece;
        for (const char* p = text; *p;) {
            const char* next = CharNextA(p);
            if (*p == separator && next == p + 1) {
                pieces.push_back(piece);
                piece.clear();
                if (static_cast<int32_t>(pieces.size()) >= count_) break;
            } else {
                piece.append(p, static_cast<size_t>(next - p));
            }
            p = next;
        }
        if (static_cast<int32_t>(pieces.size()) < count_) pieces.push_back(piece);
    }
    size_t textBytes = 0;
    for (const std::string& s : pieces)
        textBytes += s.size() + 1;
    int32_t emptyFields = count_ - static_cast<int32_t>(pieces.size());
    Reserve(static_cast<int32_t>(textBytes) + emptyFields + 1);
    ClearFields();
    int32_t at = 0;
    for (int32_t i = 0; i < count_; ++i) {
        offsets_[static_cast<size_t>(i)] = at;
        if (i < static_cast<int32_t>(pieces.size())) {
            const std::string& s = pieces[static_cast<size_t>(i)];
            std::memcpy(buffer_.data() + at, s.c_str(), s.size() + 1);
            at += static_cast<int32_t>(s.size()) + 1;
        } else {
            at += 1;
        }
    }
    offsets_[static_cast<size_t>(count_)] = at;
}

int32_t TQSMultiField::Find(const char* text, bool ignoreCase, int32_t notFound) const {
    if (!text) return notFound;
    for (int32_t i = 0; i < count_; ++i) {
        if (Equal(GetField(i), text, ignoreCase)) return i;
    }
    return notFound;
}

void TQSMultiField::SetGrowStep(int32_t step) {
    growStep_ = step < 1 ? 1 : step;
}

void TQSMultiField::Reserve(int32_t n) {
    if (n <= static_cast<int32_t>(buffer_.size())) return;
    int64_t size = (static_cast<int64_t>(n) + growStep_ - 1) / growStep_ * growStep_;
    buffer_.resize(static_cast<size_t>(size), 0);
}

void TQSMultiField::Write(TQSRStream& stream) const {
    stream.WriteWord(static_cast<WORD>(count_));
    stream.WriteWord(static_cast<WORD>(GetUsedSize() + 2));
    stream.WriteWord(static_cast<WORD>(growStep_));
    for (int32_t i = 0; i < count_; ++i)
        stream.WriteString(GetField(i));
}

int32_t TQSMultiField::CountFields(const char* text, char separator) {
    if (!text) return 0;
    int32_t n = 1;
    for (const char* p = text; *p;) {
        const char* next = CharNextA(p);
        if (*p == separator && next == p + 1) ++n;
        p = next;
    }
    return n;
}

TQSStringQueue::TQSStringQueue(int32_t capacity, bool ignoreCase, int32_t bytesPerEntry)
    : fields_(capacity, capacity * bytesPerEntry), ignoreCase_(ignoreCase ? 1 : 0) {}

TQSStringQueue::TQSStringQueue(const char* text, char separator, int32_t capacity) : fields_(capacity, 0) {
    fields_.Split(text, separator);
    int32_t pieces = TQSMultiField::CountFields(text, separator);
    used_ = pieces < capacity ? pieces : fields_.GetFieldCount();
}

int32_t TQSStringQueue::Find(const char* text) const {
    if (!text) return -1;
    for (int32_t i = 0; i < used_; ++i) {
        if (Equal(fields_.GetField(i), text, ignoreCase_ != 0)) return i;
    }
    return -1;
}

bool TQSStringQueue::AddUnique(const char* text) {
    if (Find(text) >= 0) return false;
    return InsertAt(used_, text);
}

bool TQSStringQueue::InsertAt(int32_t i, const char* text) {
    int32_t capacity = GetCapacity();
    if (i < 0) i = 0;
    if (i > used_) i = used_;
    if (i >= capacity) return false;
    int32_t last = used_ < capacity ? used_ : capacity - 1;
    for (int32_t j = last; j > i; --j)
        fields_.SetField(j, fields_.GetField(j - 1));
    fields_.SetField(i, text);
    if (used_ < capacity) ++used_;
    return true;
}

void TQSStringQueue::RemoveAt(int32_t i) {
    if (i < 0 || i >= used_) return;
    for (int32_t j = i; j < used_ - 1; ++j)
        fields_.SetField(j, fields_.GetField(j + 1));
    fields_.SetField(used_ - 1, "");
    --used_;
}

bool TQSStringQueue::Remove(const char* text) {
    int32_t i = Find(text);
    if (i < 0) return false;
    RemoveAt(i);
    return true;
}

void TQSStringQueue::Clear() {
    fields_.ClearFields();
    used_ = 0;
}

char* TQSStringQueue::Join(char separator) const {
    std::string joined;
    for (int32_t i = 0; i < used_; ++i) {
        const char* entry = fields_.GetField(i);
        if (!*entry) break;
        if (i > 0) joined.push_back(separator);
        joined += entry;
    }
    char* out = new char[joined.size() + 1];
    std::memcpy(out, joined.c_str(), joined.size() + 1);
    return out;
}

TQSCmdLineOptions::TQSCmdLineOptions(const char* commandLine, char switchChar, const char* knownSwitches)
    : TQSStringQueue(128, true, 2), switchChar_(switchChar) {
    if (knownSwitches) {
        const char* p = knownSwitches;
        while (*p)
            p += std::strlen(p) + 1;
        knownSwitches_.assign(knownSwitches, p + 1);
    }
    if (!commandLine) return;
    const char* p = commandLine;
    while (*p) {
        while (*p == ' ')
            ++p;
        if (!*p) break;
        std::string token;
        if (*p == '"') {
            ++p;
            while (*p && *p != '"')
                token.push_back(*p++);
            if (*p == '"') ++p;
        } else {
            while (*p && *p != ' ' && *p != '"')
                token.push_back(*p++);
        }
        if (!token.empty()) InsertAt(GetCount(), token.c_str());
    }
}

bool TQSCmdLineOptions::IsSwitch(const char* argument) const {
    if (!argument || argument[0] != switchChar_) return false;
    if (knownSwitches_.empty()) return true;
    for (const char* s = knownSwitches_.data(); *s; s += std::strlen(s) + 1) {
        if (qsm::CompareNoCase(s, argument) == 0) return true;
    }
    // Any other word after the switch character is a switch this program does not know, unless it is a
    // path: one with a folder in it ("/home/x.qsm") or one that names something there ("/x.qsm").
    if (std::strchr(argument + 1, switchChar_) != nullptr) return false;
    return GetFileAttributesA(argument) == INVALID_FILE_ATTRIBUTES;
}

const char* TQSCmdLineOptions::FirstNonSwitch() const {
    for (int32_t i = 0; i < GetCount(); ++i) {
        if (!IsSwitch(GetEntry(i))) return GetEntry(i);
    }
    return nullptr;
}
