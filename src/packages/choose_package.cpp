#include "packages/choose_package.h"

#include "shell_widgets/file_dialog.h"

namespace velm {

QString ChoosePackageTitle()
{
    return QStringLiteral("匯入補充包.VLP/.MDB資料檔");
}

QStringList PackageFileFilters()
{
    return {QStringLiteral("Velm 補充包檔案 (*.VLP *.vlp)"), QStringLiteral("Access 資料庫檔案 (*.MDB *.mdb)")};
}

std::optional<std::string> ChoosePackageFile(QWidget *parent, const QString &title)
{
    const std::optional<QString> chosen = ChooseExistingFile(parent, title, PackageFileFilters());
    if (!chosen)
        return std::nullopt;
    return chosen->toStdString();
}

} // namespace velm
