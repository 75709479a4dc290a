// Builds Standard MIDI File bytes for tests: a header chunk and track chunks from raw event bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qsm::test {

using Bytes = std::vector<uint8_t>;

inline void AppendVarLen(Bytes& out, uint32_t v) {
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<uint8_t>(v & 0x7F);
        v >>= 7;
    } while (v != 0);
    while (n > 1)
        out.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
    out.push_back(groups[0]);
}

inline void Append32(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

inline void Append16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

// The events of one track: each call appends a delta time and the event's bytes.
class TrackBuilder {
public:
    TrackBuilder& Raw(std::initializer_list<int> bytes) {
        for (int b : bytes)
            data.push_back(static_cast<uint8_t>(b));
        return *this;
    }
    TrackBuilder& Event(uint32_t delta, std::initializer_list<int> bytes) {
        AppendVarLen(data, delta);
        return Raw(bytes);
    }
    TrackBuilder& Meta(uint32_t delta, int type, const Bytes& payload) {
        AppendVarLen(data, delta);
        data.push_back(0xFF);
        data.push_back(static_cast<uint8_t>(type));
        AppendVarLen(data, static_cast<uint32_t>(payload.size()));
        data.insert(data.end(), payload.begin(), payload.end());
        return *this;
    }
    TrackBuilder& Text(uint32_t delta, int type, const std::string& text) {
        return Meta(delta, type, Bytes(text.begin(), text.end()));
    }
    TrackBuilder& Tempo(uint32_t delta, uint32_t micros) {
        return Meta(delta, 0x51,
                    {static_cast<uint8_t>(micros >> 16), static_cast<uint8_t>(micros >> 8),
                     static_cast<uint8_t>(micros)});
    }
    TrackBuilder& SysEx(uint32_t delta, const Bytes& payload) {
        AppendVarLen(data, delta);
        data.push_back(0xF0);
        AppendVarLen(data, static_cast<uint32_t>(payload.size()));
        data.insert(data.end(), payload.begin(), payload.end());
        return *this;
    }
    TrackBuilder& End(uint32_t delta = 0) { return Meta(delta, 0x2F, {}); }

    Bytes data;
};

inline Bytes MakeHeader(int format, int tracks, int division) {
    Bytes out = {'M', 'T', 'h', 'd'};
    Append32(out, 6);
    Append16(out, static_cast<uint32_t>(format));
    Append16(out, static_cast<uint32_t>(tracks));
    Append16(out, static_cast<uint32_t>(division) & 0xFFFF);
    return out;
}

inline void AppendTrack(Bytes& out, const TrackBuilder& track) {
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    Append32(out, static_cast<uint32_t>(track.data.size()));
    out.insert(out.end(), track.data.begin(), track.data.end());
}

inline Bytes MakeFile(int format, int division, const std::vector<TrackBuilder>& tracks) {
    Bytes out = MakeHeader(format, static_cast<int>(tracks.size()), division);
    for (const TrackBuilder& t : tracks)
        AppendTrack(out, t);
    return out;
}

}  // namespace qsm::test
