#include "platform/wm/modal_answers.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"

namespace qsm::wm {

namespace {

struct Answers {
    std::vector<int> ids;
    size_t next = 0;
    std::string log;
};

std::vector<int> ParseIds(const char* text) {
    std::vector<int> ids;
    std::string item;
    for (const char* p = text;; ++p) {
        if (*p == ',' || *p == '\0') {
            if (!item.empty()) ids.push_back(std::atoi(item.c_str()));
            item.clear();
            if (*p == '\0') break;
        } else if (*p != ' ') {
            item.push_back(*p);
        }
    }
    return ids;
}

std::string WindowText(HWND h) {
    if (h == nullptr) return "";
    char buf[1024] = {};
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

void AppendLine(const std::string& path, const std::string& line) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    // One write per line, so that a reader never sees half of one.
    ssize_t written = write(fd, line.data(), line.size());
    (void)written;
    close(fd);
}

}  // namespace

bool InstallModalAnswersFromEnvironment() {
    const char* ids = std::getenv("QSM_MODAL_ANSWERS");
    const char* log = std::getenv("QSM_MODAL_LOG");
    if (ids == nullptr && log == nullptr) return false;
    auto answers = std::make_shared<Answers>();
    if (ids != nullptr) answers->ids = ParseIds(ids);
    if (log != nullptr) answers->log = log;
    SetModalHook([answers](HWND modal) {
        if (!answers->log.empty()) {
            std::string line = WindowText(modal) + "\t" + WindowText(GetDlgItem(modal, 0xFFFF)) + "\n";
            // Line breaks inside the message stay on the line as blanks.
            for (size_t i = 0; i + 1 < line.size(); ++i)
                if (line[i] == '\n' || line[i] == '\r') line[i] = ' ';
            AppendLine(answers->log, line);
        }
        if (answers->next >= answers->ids.size()) return;
        int id = answers->ids[answers->next++];
        PostMessageA(modal, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(modal, id)));
    });
    return true;
}

}  // namespace qsm::wm
