// Menus and accelerator tables in our own text form, kept as resources of types RT_MENU and RT_ACCELERATOR.
//
// Menu:                                   Accelerator table, one entry a line:
//   popup "&File"                           <key> <command> [virtkey] [shift] [control] [alt] [noinvert]
//     item "&Open...\tCtrl+O" 110           key: "a" (a character), "^O" (a control character), a virtual
//     item "Show &margin" 208 checked            key name (VK_F5, VK_SPACE ...) or a number
//     separator
//     popup "Recent"                      '#' starts a comment line; commas count as blanks; texts are in
//       item "One" 301 grayed             double quotes ("" for a quote, \t for a tab).
//     end
//   end
//   item "&Help" 50                       Item flags: checked, grayed, disabled, menubarbreak, menubreak.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/wm/winuser.h"

namespace qsm::wm {

struct MenuTemplate;

struct MenuTemplateItem {
    std::string text;
    UINT_PTR id = 0;
    UINT flags = 0;
    std::shared_ptr<MenuTemplate> popup;
};

struct MenuTemplate {
    std::vector<MenuTemplateItem> items;
};

bool ParseMenuTemplate(const char* data, size_t size, MenuTemplate* out, std::string* error);
bool ParseAcceleratorTable(const char* data, size_t size, std::vector<ACCEL>* out, std::string* error);
// A menu bar built from a template.
HMENU MenuFromTemplate(const MenuTemplate& t);

}  // namespace qsm::wm
