#pragma once
// The one boundary between code page 950 core text and the QString of Qt.
#include "base/cp950.h"

#include <QString>

namespace velm {

QString qFromCp950(const Big5Text &text);
// Characters without a Big5 form become '?'.
Big5Text qToCp950(const QString &text);

} // namespace velm
