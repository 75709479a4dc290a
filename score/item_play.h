// Services of item playback that a performance walk needs besides the items' own playback operations.
#pragma once

#include <bit>
#include <cstdint>

#include "score/base/midi_event.h"

class TStaffPlayState;
class TMidiFileBuf;

// A short message of the given command (0-7), port and channel (0-15) with two data bytes (their low eight
// bits), as SetShortMsg makes it. The event is put together as one 8-byte value, so that it is stored whole:
// a performance copies millions of events into its lists right after making them, and a copy that reads an
// event stored byte by byte has to wait for the bytes to arrive.
inline TMidiEvent MakeShortEvent(DWORD tick, int command, int port, int channel, int data1, int data2) {
    static_assert(std::endian::native == std::endian::little, "the tick comes first, then the message bytes");
    const auto message = static_cast<uint32_t>(((8 + (command & 7)) << 4) | (channel & 15)) |
                         static_cast<uint32_t>(data1 & 0xFF) << 8 |
                         static_cast<uint32_t>(data2 & 0xFF) << 16 | static_cast<uint32_t>(port & 15) << 24;
    return std::bit_cast<TMidiEvent>(uint64_t{tick} | uint64_t{message} << 32);
}

// Ends every tied note that still sounds because no note continued its tie, at the tick where the tied
// note's own length ended. A performance walk calls it when a staff's walk ends.
void EndSoundingTies(TStaffPlayState& state, TMidiFileBuf& buffer);
