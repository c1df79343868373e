#include "packages/choose_package.h"

#include <QFileDialog>

namespace velm {

QString ChoosePackageTitle()
{
    return QStringLiteral("匯入補充包.VLP/.MDB資料檔");
}

QStringList PackageFileFilters()
{
    return {QStringLiteral("Velm Package File(*.VLP *.vlp)"), QStringLiteral("Access File(*.MDB *.mdb)")};
}

std::optional<std::string> ChoosePackageFile(QWidget *parent, const QString &title)
{
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(PackageFileFilters());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

} // namespace velm
