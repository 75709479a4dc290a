// The folder picker: a modal dialog of our own that shows the folders of one folder (with ".." to go up),
// enters a folder on a double click, and takes a typed path in its edit field. OK answers the folder shown,
// or the folder typed when the field holds one; a typed name that is no existing folder keeps the dialog
// open. The caller's callback hears BFFM_INITIALIZED once the dialog is set up and may send
// BFFM_SETSELECTIONA to show another folder; without that the dialog opens at the home folder.
#pragma once

#include "platform/kernel/shell.h"
#include "platform/wm/winuser.h"

#define BIF_RETURNONLYFSDIRS 0x0001u
#define BIF_EDITBOX 0x0010u
#define BIF_NEWDIALOGSTYLE 0x0040u

#define BFFM_INITIALIZED 1
#define BFFM_SETSELECTIONA (WM_USER + 102)

using BFFCALLBACK = int (*)(HWND hwnd, UINT msg, LPARAM param, LPARAM data);

struct BROWSEINFOA {
    HWND hwndOwner;
    LPCITEMIDLIST pidlRoot;  // not used: every folder can be reached
    LPSTR pszDisplayName;    // out: the name of the folder chosen (MAX_PATH bytes)
    LPCSTR lpszTitle;        // shown above the list when not null
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
};

// The folder chosen (free it with the shell allocator), or null when the user cancelled.
LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* lpbi);

// Controls of the dialog.
inline constexpr int kFolderTitleId = 0x3741;
inline constexpr int kFolderShownId = 0x3742;
inline constexpr int kFolderListId = 0x3743;
inline constexpr int kFolderEditId = 0x3744;
