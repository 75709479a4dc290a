// Path handling shared by the file and folder dialogs.
#pragma once

#include <string>

namespace qsm::wm::dialog_path {

// Whether the path names an existing directory.
bool IsDir(const std::string& path);
// The path without "." and ".." steps and without a trailing slash; "/" for the root or an empty path.
std::string Normal(const std::string& path);
// A name typed in the dialog taken against the folder shown: absolute names stand as they are.
std::string Join(const std::string& dir, const std::string& name);

}  // namespace qsm::wm::dialog_path
