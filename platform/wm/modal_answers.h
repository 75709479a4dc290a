// Answers for modal windows taken from the environment, so that a test can drive a program it starts as a
// separate process. QSM_MODAL_ANSWERS is a comma-separated list of command ids; each modal window (dialog or
// message box) whose loop starts gets the next id as a click of that button. QSM_MODAL_LOG names a file to
// which a line "<caption>\t<message text>" is appended for each modal window, before it is answered. With
// neither variable set nothing is installed; once the answers run out, further modal windows wait for input.
#pragma once

namespace qsm::wm {

// Installs the modal hook described above when either variable is set; true when it did.
bool InstallModalAnswersFromEnvironment();

}  // namespace qsm::wm
