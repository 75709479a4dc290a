// Shell helpers: open a document or web address in the user's program for it, make a shortcut file, and
// find the special folders of the user.
#pragma once

#include "platform/framework/window.h"
#include "platform/kernel/shell.h"

// Opens the address or file with the program associated with it; 1 when it started, 0 when not. When the
// first attempt fails the user is told so and a second attempt names the HTML document class.
int OpenInBrowser(const char* addressOrFile);

// Lets the user pick a folder, starting at the folder of `path` (a file path or a folder path without its
// last part) when that exists. On OK the folder goes into path (at least MAX_PATH bytes) and the result is
// true; otherwise path is left as it was. The picker is owned by FindMessageBoxOwner(window).
bool BrowseForFolder(TWindow* window, char* path);

// Writes a shortcut file (a desktop entry) that starts target with the arguments, described by
// description; true when the file was written.
bool CreateShortcut(const char* shortcutPath, const char* target, const char* arguments,
                    const char* description);

// The path of a special folder (CSIDL_PERSONAL, CSIDL_LOCAL_APPDATA) into path (at least MAX_PATH bytes);
// false, and path unchanged, on failure.
bool GetSpecialFolderPath(int csidl, char* path);
