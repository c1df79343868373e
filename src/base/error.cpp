#include "base/error.h"

#include "base/cp950.h"

namespace velm {

std::string Error::utf8() const
{
    return fromCp950(what());
}

void raiseUtf8(const std::string &utf8Message)
{
    throw Error(toCp950(utf8Message));
}

} // namespace velm
