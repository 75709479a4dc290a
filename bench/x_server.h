// An X server of a benchmark's own: Xvfb on a free display, with openbox managing it where openbox is
// installed, and key presses sent to it through XTest. The X headers stay in x_server.cc: their macros
// (Status, None, Bool) clash with the program's own names.
#pragma once

#include <memory>
#include <string>

namespace qsm::bench {

class XServer {
public:
    XServer(int width, int height);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // True once the server takes clients (and the desktop manages the screen, where there is one).
    bool Ok() const;
    // The display's name (":N").
    const std::string& Name() const;
    // True when openbox manages the screen.
    bool Desktop() const;
    // Presses or releases the key of the keysym name ("Right").
    void Key(const char* keysym, bool down);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qsm::bench
