// Writing initialisation files, with the same rules as reading them (platform/kernel/profile.h): sections
// in brackets, "key=value" lines, names found without regard to case, the first section and key of a name.
#pragma once

#include "platform/base/wintypes.h"

// Sets key=value in the section (the section is added at the end of the file, the key at the end of the
// section, when missing; the file is made when it does not exist). A null value removes the key, a null key
// the whole section. With all three null nothing is written (there is no cache to flush). The file is
// replaced as a whole, so a reader never sees half of it. FALSE when the file cannot be written.
BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName);
