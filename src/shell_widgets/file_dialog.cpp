#include "shell_widgets/file_dialog.h"

#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMimeDatabase>

namespace velm {
namespace {

// Icons and type names from the file name's extension; folders and drives as Qt draws them.
class NameOnlyIconProvider final : public QFileIconProvider {
public:
    using QFileIconProvider::icon;

    QIcon icon(const QFileInfo &info) const override
    {
        if (!info.isFile())
            return icon(info.isRoot() ? Drive : info.isDir() ? Folder : File);
        const QMimeType mime = typeOf(info);
        const QIcon themed = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
        return themed.isNull() ? icon(File) : themed;
    }

    QString type(const QFileInfo &info) const override
    {
        if (!info.isFile())
            return QFileIconProvider::type(info); // names folders and drives without reading anything
        const QMimeType mime = typeOf(info);
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }

private:
    QMimeType typeOf(const QFileInfo &info) const
    {
        return m_types.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    }

    QMimeDatabase m_types;
};

// The details columns in the program's language: the model's own follow the system's locale, often English.
class ChineseDetails final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || (index.column() != kSize && index.column() != kDate))
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (index.column() == kDate)
            return files->lastModified(source).toString(QStringLiteral("yyyy/MM/dd HH:mm"));
        if (files->isDir(source))
            return QIdentityProxyModel::data(index, role); // a folder's size column says nothing
        return m_chinese.formattedDataSize(files->size(source));
    }

private:
    static constexpr int kSize = 1;
    static constexpr int kDate = 3;
    QLocale m_chinese{QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan};
};

} // namespace

std::optional<QString> ChooseExistingFile(QWidget *parent, const QString &title, const QStringList &filters)
{
    NameOnlyIconProvider icons; // outlives the dialog, which uses it to its end
    QFileDialog dialog(parent, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&icons);
    dialog.setProxyModel(new ChineseDetails(&dialog));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace velm
