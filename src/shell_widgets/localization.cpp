#include "shell_widgets/localization.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace velm {

bool installQtTranslations(QCoreApplication &app, QString *why)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_zh_TW"), folder)) {
        if (why)
            *why = QStringLiteral("qtbase_zh_TW.qm not found in %1").arg(folder);
        return false;
    }
    if (!QCoreApplication::installTranslator(translator.get())) {
        if (why)
            *why = QStringLiteral("the translation qtbase_zh_TW is empty");
        return false;
    }
    translator.release()->setParent(&app); // the application owns it from here on
    return true;
}

void substituteMingFace()
{
    QFont::insertSubstitutions(QStringLiteral("細明體"),
                               {QStringLiteral("AR PL UMing TW"), QStringLiteral("AR PL UMing TW MBE"),
                                QStringLiteral("Noto Serif CJK TC"), QStringLiteral("WenQuanYi Zen Hei")});
}

QStringList pageFaces()
{
    return {QStringLiteral("Verdana"), QStringLiteral("Arial"), QStringLiteral("Helvetica")};
}

QStringList sansStandIns()
{
    return {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
}

void substitutePageFaces()
{
    for (const QString &face : pageFaces())
        if (!QFontDatabase::hasFamily(face))
            QFont::insertSubstitutions(face, sansStandIns());
}

QString installedSansFamily()
{
    for (const QString &family : sansStandIns())
        if (QFontDatabase::hasFamily(family))
            return family;
    return {};
}

} // namespace velm
