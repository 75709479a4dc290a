// Fonts shipped beside the program: the font list "fonts.ini" names, in section "Fonts", the font file of
// each face (in the list's folder) and, in section "FontAlternates", a face to use where a face is missing.
// Files are added for this process only and removed again, newest first.
#pragma once

#include <string>
#include <vector>

#include "platform/base/wintypes.h"

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
    // Checks the score's music face and its twelve text fonts: faces neither installed nor loadable are
    // replaced by their alternates, or listed as missing when they have none.
    void CheckScoreFonts(TMusicScore& score);
    // Removes every added font file, newest first.
    void RemoveAll();

    const std::string& GetFontListPath() const { return FontListPath; }
    const std::vector<std::string>& GetAddedFiles() const { return AddedFiles; }
    const std::vector<std::string>& GetLoadedFaces() const { return LoadedFaces; }
    // The faces of the last check, one alternate (maybe empty) per face, and the missing faces.
    const std::vector<std::string>& GetCheckedFaces() const { return CheckedFaces; }
    const std::vector<std::string>& GetAlternates() const { return Alternates; }
    const std::vector<std::string>& GetMissingFaces() const { return MissingFaces; }

    // The face is known to the font system (tests replace it).
    virtual bool IsInstalled(const char* face) const;

private:
    std::string Folder() const;

    std::string FontListPath;
    TAddProc Add;
    TRemoveProc Remove;
    std::vector<std::string> AddedFiles;  // newest first
    std::vector<std::string> LoadedFaces;
    std::vector<std::string> CheckedFaces;
    std::vector<std::string> Alternates;
    std::vector<std::string> MissingFaces;
};
