#include "packages/choose_package.h"

#include "archive/database.h"

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

bool ChoosePackageFile(QWidget *parent, const QString &title, Connection &connection)
{
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(PackageFileFilters());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    connection.close();
    connection.setConnectionText(dialog.selectedFiles().constFirst().toStdString());
    return true;
}

} // namespace velm
