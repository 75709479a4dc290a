// The sample songs built into the program: compressed score files stored as resources of type "QSMFILE" of
// the program's module, numbered from 1 without gaps.
#pragma once

struct TSongInfo;
class TMusicScore;

// The resource type of the sample songs.
inline constexpr const char* kSampleResourceType = "QSMFILE";

// Reads the song information of sample id (the file's header and its song information only). Returns 0
// when the program has no such sample or its data can't be read, else 1.
int ReadSampleInfo(int id, TSongInfo& info);

// Reads the whole score of sample id with a fresh header, as opening a sample does. Null when there is no
// such sample or its data are no score file; the caller owns the score.
TMusicScore* ReadSampleScore(int id);
