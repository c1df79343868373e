#include "qtext.h"

#include "cp950.h"

namespace velm {

QString qFromCp950(std::string_view cp950)
{
    const std::string utf8 = fromCp950(cp950);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string qToCp950(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return toCp950(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

} // namespace velm
