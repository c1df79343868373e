#include "base/qtext.h"

namespace velm {

QString qFromCp950(const Big5Text &text)
{
    const std::string utf8 = text.toUtf8();
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Big5Text qToCp950(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return Big5Text::fromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

} // namespace velm
