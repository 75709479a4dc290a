// The header record of a compact score file: what every reader fills and every caller passes in, with the
// load status that callers test.
#pragma once

#include <cstdint>

// Load status values of TScoreFileHeader::Status.
enum TScoreLoadStatus : int32_t {
    StatusEmpty = 0,         // the stream held fewer than 2 bytes; an empty score was made
    StatusOk = 1,            // format version 25 to 32
    StatusOldFormat = 2,     // format version 24 or lower
    StatusNotScoreFile = 3,  // not opened, wrong signature or product brackets
    StatusNewerFormat = 4,   // format version above 32
    StatusBadMarker = 5,     // marker word above 0
    StatusWrongProduct = 6,  // another product
    StatusDamaged = 7        // the body is damaged or cut; the score read so far was kept
};

// The newest format version: the one the writer stores and the highest the reader accepts.
constexpr int kScoreFormatVersion = 32;

struct TScoreFileHeader {
    explicit TScoreFileHeader(int status = StatusNotScoreFile) { Init(status); }
    // Clears the record and sets the defaults of the current product and format with the given status.
    void Init(int status);

    char Product[128];
    int32_t FormatVersion;
    int32_t ProductMajor;
    int32_t ProductMinor;
    int32_t ReservedWord;
    uint16_t SavedDate;  // DOS date: bits 9-15 year - 1980, 5-8 month, 0-4 day
    uint32_t CodePage;
    char ReservedText[64];
    int32_t Status;
};
