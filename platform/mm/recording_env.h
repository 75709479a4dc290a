// The recording MIDI device for a program that a test starts as a separate process. QSM_MIDI_RECORDING names
// a file: "Test Recorder" becomes the last MIDI output device, and each time a handle of it is opened or
// closed, and when the process ends, everything it recorded so far is written to that file (replaced as a
// whole, never seen half-written). Each line is "<microseconds> <message in hex> <handle in hex> <thread>".
// Without the variable nothing is installed.
#pragma once

#include <string>
#include <vector>

#include "platform/mm/mmtest.h"

namespace qsm::mm {

// Adds the recorder and the writing of its file when QSM_MIDI_RECORDING is set; true when it did. Call it
// before any MIDI handle is opened.
bool InstallTestRecorderFromEnvironment();

// The messages of a file written as above; empty when the file is missing. Lines that do not read are
// skipped.
std::vector<RecordedMessage> ReadRecordingFile(const std::string& path);

}  // namespace qsm::mm
