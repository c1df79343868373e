#pragma once
// The one boundary between code page 950 core text and the QString of Qt.
#include <QString>

#include <string>
#include <string_view>

namespace velm {

QString qFromCp950(std::string_view cp950);
std::string qToCp950(const QString &text);

} // namespace velm
