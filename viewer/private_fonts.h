// Fonts shipped beside the program: the font list "fonts.ini" names, in section "Fonts", the font file of
// each face (in the list's folder) and, in section "FontAlternates", a face to use where a face is missing.
// Files are added for this process only and removed again, newest first.
#pragma once

#include <string>
#include <vector>

#include "platform/base/wintypes.h"
#include "platform/gdi/face_lookup.h"

class TMusicScore;

class TPrivateFonts {
public:
    using TAddProc = int (*)(LPCSTR path, DWORD flags, LPVOID reserved);
    using TRemoveProc = BOOL (*)(LPCSTR path, DWORD flags, LPVOID reserved);
    // Without an add function no private font is ever loaded.
    TPrivateFonts(std::string fontListPath, TAddProc add, TRemoveProc remove);
    virtual ~TPrivateFonts();
    TPrivateFonts(const TPrivateFonts&) = delete;
    TPrivateFonts& operator=(const TPrivateFonts&) = delete;

    // 1 when the face is available as a private font (loaded now or before), else 0.
    int LoadPrivateFont(const char* face);
    // Checks the score's music face and its twelve text fonts: a face that is installed, has a
    // metric-compatible stand-in or is loadable is available (one the program added itself counts as
    // loaded); the others are replaced by their alternates, or listed as missing when they have none.
    void CheckScoreFonts(TMusicScore& score);
    // Removes every added font file, newest first.
    void RemoveAll();

    const std::string& GetFontListPath() const { return FontListPath; }
    const std::vector<std::string>& GetAddedFiles() const { return AddedFiles; }
    const std::vector<std::string>& GetLoadedFaces() const { return LoadedFaces; }
    // The faces of the last check, one alternate (maybe empty) per face, one metric-compatible face that
    // the system puts in its place (maybe empty) per face, and the missing faces.
    const std::vector<std::string>& GetCheckedFaces() const { return CheckedFaces; }
    const std::vector<std::string>& GetAlternates() const { return Alternates; }
    const std::vector<std::string>& GetStandIns() const { return StandIns; }
    const std::vector<std::string>& GetMissingFaces() const { return MissingFaces; }

    // How the font system answers the face: installed, from a file the program added (the bundled music
    // fonts), through a metric-compatible stand-in, or missing (tests replace it).
    virtual qsm::gdi::FaceLookup LookUpFace(const char* face) const;

private:
    std::string Folder() const;
    // The face is there (stand-in: the face that stands in for it, else empty).
    bool IsAvailable(const char* face, std::string& standIn);

    std::string FontListPath;
    TAddProc Add;
    TRemoveProc Remove;
    std::vector<std::string> AddedFiles;  // newest first
    std::vector<std::string> LoadedFaces;
    std::vector<std::string> CheckedFaces;
    std::vector<std::string> Alternates;
    std::vector<std::string> StandIns;
    std::vector<std::string> MissingFaces;
};
