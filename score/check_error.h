// The exception that a broken precondition of the model raises: the class library's check failure, carrying
// the message and the module that detected it.
#pragma once

#include <stdexcept>
#include <string>

namespace qsm {

class TXCheck : public std::logic_error {
public:
    TXCheck(const std::string& message, const std::string& module)
        : std::logic_error(message), Module(module) {}

    const std::string& GetModule() const { return Module; }

private:
    std::string Module;
};

// Raises TXCheck when the condition does not hold.
inline void CheckPrecondition(bool condition, const char* message, const char* module) {
    if (!condition) throw TXCheck(message, module);
}

}  // namespace qsm
