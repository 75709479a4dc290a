// Helpers of the text importer tests: importing texts and test files, typed item access, lyric syllables.
#ifndef QSM_SCORE_FILE_TESTS_TEXT_IMPORT_FIXTURE_H
#define QSM_SCORE_FILE_TESTS_TEXT_IMPORT_FIXTURE_H

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/ram_stream.h"
#include "core/zlib_stream.h"
#include "score/expression_items.h"
#include "score/file/text_import.h"
#include "score/item_records.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/score_file_header.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace qsm::test {

inline std::string ReadTestFile(const std::string& name) {
    std::ifstream in(std::string(QSM_TESTDATA_DIR) + "/textscore/" + name, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + name);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::unique_ptr<TMusicScore> ImportText(const std::string& text, int mode = -1,
                                               TScoreFileHeader* header = nullptr) {
    TQSRFlatRamStream stream(const_cast<char*>(text.data()), static_cast<DWORD>(text.size()),
                             static_cast<DWORD>(text.size()));
    return std::unique_ptr<TMusicScore>(ImportTextScore(stream, header, mode));
}

inline std::unique_ptr<TMusicScore> ImportFile(const std::string& name, int mode = -1,
                                               TScoreFileHeader* header = nullptr) {
    return ImportText(ReadTestFile(name), mode, header);
}

// The text in a gzip envelope.
inline std::string Gzip(const std::string& text) {
    TQSRFlatRamStream out(4096, 65536);
    {
        TQSRZLibOutStream gz(2, &out, false);
        gz.WriteBlock(text.data(), static_cast<DWORD>(text.size()));
        gz.Finish();
    }
    out.Rewind();
    std::string bytes(out.GetSize(), '\0');
    out.ReadBlock(bytes.data(), static_cast<DWORD>(bytes.size()));
    return bytes;
}

// The item at index of a staff as the class it must be; the test stops when it is not.
template <class T>
T& ItemAs(const TMusicScore& score, int staff, int index) {
    const TMusicStaff* st = score.GetStaff(staff);
    TNotatedItem* item = st != nullptr ? st->GetItem(index) : nullptr;
    T* typed = dynamic_cast<T*>(item);
    if (typed == nullptr) {
        ADD_FAILURE() << "item " << index << " of staff " << staff << " has type "
                      << (item != nullptr ? item->GetType() : -1);
        throw std::runtime_error("unexpected item");
    }
    return *typed;
}

// The text of a text item, or a marker when the item is no text item.
inline std::string TextOf(const TMusicScore& score, int staff, int index) {
    const TMusicStaff* st = score.GetStaff(staff);
    TNotatedItem* item = st != nullptr ? st->GetItem(index) : nullptr;
    if (item == nullptr || item->GetType() != ntTextExpression) return "<no text item>";
    return static_cast<TTextExpression*>(item)->GetText();
}

// The syllables of a lyric line, each after its separator byte (shown as '1' for the first syllable).
inline std::string Syllables(const TLyricText& line) {
    std::string out;
    TLyric cursor;
    cursor.SetLine(line, 0);
    if (line.GetUsed() <= 1) return out;
    for (; cursor.IsValid(); cursor.Next()) {
        const char sep = cursor.GetSeparator();
        out += sep == 1 ? '1' : sep;
        out += cursor.GetText();
    }
    return out;
}

// Both scores hold the same staves with equal items (compared through their stored form).
inline bool SameItems(const TMusicScore& a, const TMusicScore& b) {
    if (a.GetStaffCount() != b.GetStaffCount()) return false;
    for (int s = 0; s < a.GetStaffCount(); ++s) {
        const TMusicStaff& x = *a.GetStaff(s);
        const TMusicStaff& y = *b.GetStaff(s);
        if (x.GetItemCount() != y.GetItemCount()) return false;
        for (int i = 0; i < x.GetItemCount(); ++i) {
            if (CompareNotatedItems(*x.GetItem(i), *y.GetItem(i)) != 0) {
                ADD_FAILURE() << "staff " << s << " item " << i << " differs";
                return false;
            }
        }
    }
    return true;
}

}  // namespace qsm::test

#endif  // QSM_SCORE_FILE_TESTS_TEXT_IMPORT_FIXTURE_H
