// The environment handed to the programs this process starts.
#pragma once

namespace qsm {

// The process's environment. A host that loads this library with its own symbols bound first (browsers load
// plug-ins so) binds `environ` here to the C library's own variable, which stays empty when the host program
// keeps a copy of it: the environment the process started with then stands in.
char** ProcessEnvironment();

}  // namespace qsm
