#include "shell_widgets/file_dialog.h"

#include <QFileDialog>
#include <QFileIconProvider>
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

} // namespace

std::optional<QString> ChooseExistingFile(QWidget *parent, const QString &title, const QStringList &filters)
{
    NameOnlyIconProvider icons; // outlives the dialog, which uses it to its end
    QFileDialog dialog(parent, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&icons);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace velm
