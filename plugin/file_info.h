// Exported functions that tell other programs about a compact score file without showing it: a text summary
// of its song information and its play time in tenths of a second.
#pragma once

#include "plugin/np_entry.h"

// Writes the title, author and copyright lines (and the comments, when there are any) as CR LF lines into the
// buffer, at most length - 1 characters and a terminating zero. 1 when the comments were written, else 0
// (also for every failure, which leaves the buffer untouched).
QSM_PLUGIN_EXPORT int GetQSMFileInfo(const char* path, char* buffer, int length);
// The time the score plays, pauses included.
QSM_PLUGIN_EXPORT unsigned int GetQSMFilePlayTime(const char* path);
// The time a Standard MIDI File of the score plays: pauses left out.
QSM_PLUGIN_EXPORT unsigned int GetQSMFileSMFPlayTime(const char* path);
