// Where the viewer finds the folders of the editor programs: songs and configuration, and the editor's own
// recent-file list in the configuration folder.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/file_stream.h"
#include "core/file_utils.h"
#include "core/reg_key.h"
#include "core/sys_info.h"
#include "platform/kernel/text.h"
#include "platform/registry/registry.h"
#include "ui/shell.h"
#include "viewer/app.h"
#include "viewer/options.h"

namespace {

constexpr const char* kFoldersKey = "Software\\QuillStave Software\\QuillStave Composer 2\\Folders";

void CopyPath(char* out, const std::string& path) {
    std::snprintf(out, MAX_PATH, "%s", path.c_str());
}

std::string Join(const std::string& folder, const char* name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Creates the folder and every missing folder above it.
void CreateLevels(const std::string& path) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        if (!IsFolder(path.substr(0, at).c_str())) CreateFolder(path.substr(0, at).c_str());
    if (!IsFolder(path.c_str())) CreateFolder(path.c_str());
}

}  // namespace

void TQSMViewerApp::GetFolder(const char* name, char* out) const {
    out[0] = '\0';
    TKeyReadOnly key(HKEY_CURRENT_USER, kFoldersKey);
    if (key.IsOpen()) key.QueryString(out, MAX_PATH, "", name);
    if (out[0] != '\0') return;

    std::string program = ProgramFolder();
    if (program.size() > 1 && program.back() == '/') program.pop_back();
    CopyPath(out, program);
    char special[MAX_PATH];
    if (qsm::CompareNoCase(name, "Songs") == 0) {
        if (GetSpecialFolderPath(CSIDL_PERSONAL, special)) {
            std::string own = Join(special, "QuillStave Composer");
            CopyPath(out, IsFolder(own.c_str()) ? own : std::string(special));
        }
    } else if (qsm::CompareNoCase(name, "Config") == 0) {
        std::string fallback = Join(program, "Config");
        CopyPath(out, fallback);
        if (GetSpecialFolderPath(CSIDL_LOCAL_APPDATA, special)) {
            std::string local = Join(Join(special, "Quillstave Software"), "qsm2");
            if (!(IsFolder(fallback.c_str()) && SysInfo.IsUserAdmin())) CreateLevels(local);
            if (IsFolder(local.c_str())) CopyPath(out, local);
        }
    }
}

std::string TQSMViewerApp::GetConfigFilePath(const char* key, const char* defaultName) const {
    char folder[MAX_PATH];
    GetFolder("Config", folder);
    char name[MAX_PATH];
    GetConfigString(key, name, sizeof(name), defaultName);
    return Join(folder, name);
}

void TQSMViewerApp::LoadEditorMru() {
    if (!SessionOptions.Editor2Installed) return;
    std::string path = GetConfigFilePath("FileMRU", "FileMRU.dat");
    FILETIME written{};
    if (!IsPlainFile(path.c_str()) || !GetFileTimeByName(path.c_str(), &written)) return;
    if (RecentEdits && CompareFileTime(&written, &EditorMruTime) == 0) return;
    TQSRBFStream file(TQSRFStream::kRead, path.c_str(), 30000);
    if (!file.IsOpen()) return;
    if (!RecentEdits)
        RecentEdits = std::make_unique<TQSStringQueue>(255, true, 64);
    else
        RecentEdits->Clear();
    EditorMruTime = written;
    char line[MAX_PATH + 1];
    while (RecentEdits->GetCount() < RecentEdits->GetCapacity()) {
        int length = file.ReadLine(line, sizeof(line));
        if (file.GetError() && length == 0) break;
        if (line[0] != '\0') RecentEdits->InsertAt(RecentEdits->GetCount(), line);
        if (file.GetError()) break;
    }
}
