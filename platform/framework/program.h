// The program's entry into the class library. The program's main calls RunOwlMain, which keeps the command
// line (the arguments after the program's path, joined into one text) and the show command for the whole
// run and calls OwlMain, which the program defines; OwlMain's result is the exit code.
#pragma once

#include <string>

int OwlMain(int argc, char* argv[]);

namespace qsm {

// The entry is named at the call, so that the program's own OwlMain is the one linked.
int RunOwlMain(int argc, char* argv[], int (*entry)(int, char*[]) = OwlMain);

// The arguments after the program's path joined by blanks; an argument that is empty or holds a blank is
// put in double quotes, so that splitting at blanks with quotes grouping gives the arguments back.
std::string JoinCommandLine(int argc, const char* const argv[]);

// The stored command line (empty before RunOwlMain) and show command (SW_SHOWNORMAL).
const char* GetProgramCommandLine();
void SetProgramCommandLine(const char* text);
int GetProgramCmdShow();

}  // namespace qsm
