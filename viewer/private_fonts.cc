#include "viewer/private_fonts.h"

#include <cstring>

#include "core/file_utils.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/profile.h"
#include "platform/kernel/text.h"
#include "render/bundled_fonts.h"
#include "score/base/fonts_data.h"
#include "score/music_score.h"

namespace {

int FindNoCase(const std::vector<std::string>& list, const char* text) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (qsm::CompareNoCase(list[i].c_str(), text) == 0) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

TPrivateFonts::TPrivateFonts(std::string fontListPath, TAddProc add, TRemoveProc remove)
    : FontListPath(std::move(fontListPath)), Add(add), Remove(remove) {}

TPrivateFonts::~TPrivateFonts() = default;

qsm::gdi::FaceLookup TPrivateFonts::LookUpFace(const char* face) const {
    // The music fonts that ship with the program are there before any score asks for them.
    qsm::RegisterBundledFonts();
    return qsm::gdi::LookUpFace(face);
}

bool TPrivateFonts::IsAvailable(const char* face, std::string& standIn) {
    qsm::gdi::FaceLookup found = LookUpFace(face);
    standIn.clear();
    switch (found.kind) {
        case qsm::gdi::FaceLookup::StandIn:
            standIn = found.family;
            return true;
        case qsm::gdi::FaceLookup::Private:
            if (FindNoCase(LoadedFaces, face) < 0) LoadedFaces.emplace_back(face);
            return true;
        case qsm::gdi::FaceLookup::Installed:
            return true;
        case qsm::gdi::FaceLookup::Missing:
            break;
    }
    return LoadPrivateFont(face) != 0;
}

std::string TPrivateFonts::Folder() const {
    int folderEnd = -1, extension = 0;
    SplitPath(FontListPath.c_str(), &folderEnd, &extension);
    return folderEnd < 0 ? std::string() : FontListPath.substr(0, static_cast<size_t>(folderEnd) + 1);
}

int TPrivateFonts::LoadPrivateFont(const char* face) {
    if (Add == nullptr || face == nullptr || *face == '\0') return 0;
    if (FindNoCase(LoadedFaces, face) >= 0) return 1;
    char file[MAX_PATH];
    GetPrivateProfileStringA("Fonts", face, "", file, sizeof(file), FontListPath.c_str());
    if (file[0] == '\0' || FindNoCase(AddedFiles, file) >= 0) return 0;
    std::string path = Folder() + file;
    if (Add(path.c_str(), FR_PRIVATE, nullptr) <= 0) return 0;
    AddedFiles.insert(AddedFiles.begin(), file);
    LoadedFaces.insert(LoadedFaces.begin(), face);
    return 1;
}

void TPrivateFonts::CheckScoreFonts(TMusicScore& score) {
    CheckedFaces.clear();
    Alternates.clear();
    StandIns.clear();
    MissingFaces.clear();
    TMusicFontsData* data = score.GetFontData();
    if (data == nullptr) return;
    const char* music = data->GetMusicFontFace();
    CheckedFaces.emplace_back(music);
    Alternates.emplace_back();
    StandIns.emplace_back();
    if (!IsAvailable(music, StandIns.back())) MissingFaces.emplace_back(music);

    for (TQSFontSpec& record : data->Fonts) {
        std::string face = record.GetFaceName();
        int index = FindNoCase(CheckedFaces, face.c_str());
        if (index < 0) {
            index = static_cast<int>(CheckedFaces.size());
            CheckedFaces.push_back(face);
            Alternates.emplace_back();
            StandIns.emplace_back();
            if (!IsAvailable(face.c_str(), StandIns.back())) {
                char alternate[LF_FACESIZE];
                GetPrivateProfileStringA("FontAlternates", face.c_str(), "", alternate, sizeof(alternate),
                                         FontListPath.c_str());
                if (alternate[0] != '\0')
                    Alternates[static_cast<size_t>(index)] = alternate;
                else
                    MissingFaces.push_back(face);
            }
        }
        const std::string& alternate = Alternates[static_cast<size_t>(index)];
        if (!alternate.empty()) record.SetFaceName(alternate.c_str());
    }
}

void TPrivateFonts::RemoveAll() {
    if (Remove != nullptr) {
        std::string folder = Folder();
        for (const std::string& file : AddedFiles)
            Remove((folder + file).c_str(), FR_PRIVATE, nullptr);
    }
    AddedFiles.clear();
    LoadedFaces.clear();
}
