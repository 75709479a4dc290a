// Fuzzes the readers of dialog templates, menus and accelerator tables in text form and of cursor
// and icon resources. The first byte picks the reader; the rest is the resource.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/wm/backend.h"
#include "platform/wm/dialog_template.h"
#include "platform/wm/menu_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const char* text = reinterpret_cast<const char*>(data + 1);
    size_t n = size - 1;
    std::string error;
    switch (data[0] % 4) {
        case 0: {
            qsm::wm::DialogTemplate t;
            qsm::wm::ParseDialogTemplate(text, n, &t, &error);
            break;
        }
        case 1: {
            qsm::wm::MenuTemplate t;
            qsm::wm::ParseMenuTemplate(text, n, &t, &error);
            break;
        }
        case 3: {
            qsm::wm::CursorImage image;
            qsm::wm::ParseCursorResource(data + 1, n, &image);
            qsm::wm::ParseIconResource(data + 1, n, &image);
            break;
        }
        default: {
            std::vector<ACCEL> t;
            qsm::wm::ParseAcceleratorTable(text, n, &t, &error);
            break;
        }
    }
    return 0;
}
