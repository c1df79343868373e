#pragma once
// Services that only the window layer can give, reached by core code through replaceable hooks.
#include <functional>
#include <string>

namespace velm::hooks {

// Puts code page 950 text on the clipboard; without a window nothing happens.
void setClipboard(std::function<void(const std::string &cp950)> hook);
void copyToClipboard(const std::string &cp950);

// Shows (true) or restores (false) the SQL-wait mouse pointer.
void setBusyCursor(std::function<void(bool busy)> hook);
void busyCursor(bool busy);

// Restores the pointer when a scope ends, also when it ends by an error.
class BusyCursor {
public:
    BusyCursor() { busyCursor(true); }
    ~BusyCursor() { busyCursor(false); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace velm::hooks
