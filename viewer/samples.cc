#include "viewer/samples.h"

#include "core/ram_stream.h"
#include "core/zlib_stream.h"
#include "platform/kernel/resources.h"
#include "score/file/score_file.h"
#include "score/music_score.h"

int ReadSampleInfo(int id, TSongInfo& info) {
    TQSRResourceStream resource(nullptr, MAKEINTRESOURCEA(id), kSampleResourceType);
    if (resource.GetError()) return 0;
    TQSRZLibInStream in(TQSRZLibInStream::kScoreEnvelope, &resource, false);
    TScoreFileHeader header;
    return ReadScoreInfoOnly(in, header, info) ? 1 : 0;
}

TMusicScore* ReadSampleScore(int id) {
    TQSRResourceStream resource(nullptr, MAKEINTRESOURCEA(id), kSampleResourceType);
    if (resource.GetError()) return nullptr;
    TQSRZLibInStream in(TQSRZLibInStream::kScoreEnvelope, &resource, false);
    TScoreFileHeader header;
    return ReadScore(in, header, nullptr);
}
