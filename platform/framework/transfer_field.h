// Reading and writing one field of a dialog's transfer buffer, which need not be aligned for its type.
#pragma once

#include <cstring>

namespace qsm::framework {

template <class T>
T ReadField(const void* buffer) {
    T v;
    std::memcpy(&v, buffer, sizeof v);
    return v;
}

template <class T>
void WriteField(void* buffer, T v) {
    std::memcpy(buffer, &v, sizeof v);
}

}  // namespace qsm::framework
