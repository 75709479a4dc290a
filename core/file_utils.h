// Path and file helpers. Paths are at most MAX_PATH (260) bytes; the functions that change a path in place
// take a buffer of MAX_PATH bytes. Both '/' and '\' separate folders (so paths stored in the system's own
// form still work); paths are joined with '/'. A folder ends at the last separator; the extension starts
// at the last '.' after it.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/kernel/files.h"

// Positions of the last separator (-1 when none) and of the extension's '.' (the path's length when none).
void SplitPath(const char* path, int* folderEnd, int* extensionStart);
int GetExtensionPos(const char* path);
const char* GetExtensionPart(const char* path);
// The part after the last separator (the whole path when none).
const char* GetFileNamePart(const char* path);
// Cuts the old extension and appends the new one, with a '.' when it lacks one.
void ReplaceExtension(char* path, const char* extension);
// Appends the extension (with its '.') only when the path has none.
void AppendExtensionIfNone(char* path, const char* extension);
// Optionally cuts the file name, then removes a trailing separator, except that a root ("/", a drive root)
// keeps it and a network path with fewer than four backslashes gets one back.
void StripFileName(char* path, bool cutName);
// Joins with exactly one separator.
void AppendPath(char* path, const char* part);
// Writes the chosen parts of the path into out (MAX_PATH bytes): the folder with its separator (bit 1), the
// name without extension (bit 2) and the extension (bit 4; "." when the path has none).
void ComposePath(const char* path, char* out, int parts);
// A bare file name (no folder, no drive) gets the current folder in front.
void MakeAbsolutePath(char* path);
// The rest of the path when it lies below the folder (compared without regard to case), else null.
const char* GetPathBelowFolder(const char* path, const char* folder);
void GetShortPath(const char* path, char* out);
// The path with its file name as stored on disk (found without regard to case); the path itself when the
// file does not exist.
void GetTrueFileName(const char* path, char* out);

// The last-write time; zeroed and false when the file cannot be read.
bool GetFileTimeByName(const char* path, FILETIME* time);
bool IsFolder(const char* path);
bool IsPlainFile(const char* path);
bool IsReadOnlyFile(const char* path);
bool CreateFolder(const char* path);
bool RemoveFolder(const char* path);
bool RemoveFile(const char* path);
// Copies over an existing target, unless both name the same file (compared by identity on disk, so that a
// file is never copied onto itself).
bool CopyFileUnlessSame(const char* source, const char* target);
// Moves over an existing target in one step, so that the target is never lost when the move fails; false
// when both name the same file.
bool MoveFileReplacing(const char* source, const char* target);
// Writes "<folder>/<base><n>.<extension>" for the first n from 1 to 11999 that names no existing file.
bool MakeUniqueFileName(char* out, const char* folder, const char* baseName, const char* extension);
// Moves the file to a backup before it is replaced. Backups lie in the backup folder (the file's own when
// null) and are named after the file with the backup extension (".bak" when null) appended; with several
// copies the later ones are named "<name>.q<k><extension><backup extension>" (k from 1), and the first free
// name, else the oldest backup, is used. A missing file succeeds at once.
bool ReplaceFileWithBackup(const char* path, const char* backupFolder, const char* backupExtension,
                           int copies);

// 0 as soon as an LF is not preceded by a CR, or when the file cannot be opened; 1 when at least one LF came
// and every LF had its CR; the default when the file has no LF.
int HasCrLfLineEnds(const char* path, int defaultAnswer);
// Copies the file turning every CR LF into LF; a CR not followed by LF is kept; a lone LF, a source that
// cannot be read or a target that cannot be written make it fail.
bool RepairCrLfCopy(const char* source, const char* target);

// The current folder, taken at construction and set back at destruction.
class TSavedCurrentDir {
public:
    TSavedCurrentDir();
    ~TSavedCurrentDir();
    TSavedCurrentDir(const TSavedCurrentDir&) = delete;
    TSavedCurrentDir& operator=(const TSavedCurrentDir&) = delete;

private:
    char* folder_;
};

// Shows the wait cursor while it lives (when on) and then the cursor shown before.
class TQSBusyCursor {
public:
    explicit TQSBusyCursor(bool on = true);
    ~TQSBusyCursor();
    TQSBusyCursor(const TQSBusyCursor&) = delete;
    TQSBusyCursor& operator=(const TQSBusyCursor&) = delete;
    void Set(bool on);

private:
    HCURSOR saved_ = nullptr;
    bool on_ = false;
};
