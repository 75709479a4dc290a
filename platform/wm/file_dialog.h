// The file open and file save common dialogs: a modal dialog of our own (folder, list of folders and files,
// file name, file type, OK and Cancel) over the OPENFILENAMEA record, with the Explorer-style hook, its
// notifications and the messages a hook sends to the dialog.
//
// Filters are pairs of texts, each ending in a zero, the list ending in a second zero: a description and
// its patterns separated by ';' ("*.qsm;*.qsmtxt"). Patterns match file names without regard to case; "*.*"
// matches every name. nFilterIndex counts from 1.
//
// With OFN_EXPLORER | OFN_ENABLEHOOK the hook is the dialog procedure of an empty child dialog inside the
// dialog; it gets WM_INITDIALOG with the OPENFILENAMEA record, then WM_NOTIFY with an OFNOTIFYA whose
// hdr.hwndFrom is that child (so the dialog itself is its parent): CDN_INITDONE once the dialog is set up
// and CDN_TYPECHANGE after the user picked another file type (nFilterIndex already the new one). The CDM_*
// messages may be sent to the dialog or to the child. Without OFN_EXPLORER the hook sees the dialog's own
// messages first and gets no notifications.
#pragma once

#include "platform/wm/commdlg.h"
#include "platform/wm/winuser.h"

#define OFN_READONLY 0x00000001u
#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_HIDEREADONLY 0x00000004u
#define OFN_NOCHANGEDIR 0x00000008u
#define OFN_SHOWHELP 0x00000010u
#define OFN_ENABLEHOOK 0x00000020u
#define OFN_PATHMUSTEXIST 0x00000800u
#define OFN_FILEMUSTEXIST 0x00001000u
#define OFN_NOREADONLYRETURN 0x00008000u
#define OFN_EXPLORER 0x00080000u
#define OFN_ENABLESIZING 0x00800000u

#define CDN_FIRST (0u - 601u)
#define CDN_INITDONE (CDN_FIRST - 0u)
#define CDN_TYPECHANGE (CDN_FIRST - 6u)

#define CDM_FIRST (WM_USER + 100)
#define CDM_GETSPEC (CDM_FIRST + 0)
#define CDM_SETCONTROLTEXT (CDM_FIRST + 4)
#define CDM_SETDEFEXT (CDM_FIRST + 6)

// Controls of the dialog.
inline constexpr int stc2 = 0x0441;  // "Files of type:"
inline constexpr int stc3 = 0x0442;  // "File name:"
inline constexpr int stc4 = 0x0443;  // "Look in:"
inline constexpr int stc5 = 0x0444;  // the folder shown
inline constexpr int lst1 = 0x0460;  // folders and files
inline constexpr int cmb1 = 0x0470;  // file types
inline constexpr int edt1 = 0x0480;  // file name

#define FNERR_INVALIDFILENAME 0x3002
#define FNERR_BUFFERTOOSMALL 0x3003

using LPOFNHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile;
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCSTR lpTemplateName;
};
using LPOPENFILENAMEA = OPENFILENAMEA*;
using OPENFILENAME = OPENFILENAMEA;

struct OFNOTIFYA {
    NMHDR hdr;
    LPOPENFILENAMEA lpOFN;
    LPSTR pszFile;
};

// TRUE with the chosen path in lpstrFile; FALSE on Cancel (CommDlgExtendedError 0) or failure (its code;
// for FNERR_BUFFERTOOSMALL the first two bytes of lpstrFile hold the size needed).
BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn);
BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn);
