// The shown topic kept outside the reader: saved as one UTF-8 page, printed, or written as a PDF file.
#include "shell/main_window.h"

#include "base/cp950.h"
#include "base/error.h"
#include "shell_widgets/messages.h"

#include <QDir>
#include <QFileDialog>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace velm {
namespace {

// A file name from a subject: what no file name may hold, or a shell would trip on, becomes "_".
QString fileNameOf(const QString &subject, std::int64_t topicId)
{
    QString name;
    for (const QChar c : subject.trimmed())
        name += c.isPrint() && !QStringLiteral("/\\:*?\"<>|").contains(c) ? c : QChar('_');
    name = name.left(80).trimmed();
    while (name.startsWith('.'))
        name.remove(0, 1);
    return name.isEmpty() ? QStringLiteral("topic-") + QString::number(topicId) : name;
}

} // namespace

std::optional<std::string> TfmMain::askSaveFile(const QString &title, const QString &name, const QString &filter)
{
    QFileDialog dialog(this, title, QDir(m_saveFolder.isEmpty() ? QDir::homePath() : m_saveFolder).filePath(name),
                       filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QFileInfo(name).suffix());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().constFirst();
    m_saveFolder = QFileInfo(chosen).absolutePath();
    return chosen.toStdString();
}

void TfmMain::saveArticle()
{
    const std::int64_t id = shownTopicId();
    QByteArray html;
    if (id <= 0 || !buildArticle(*m_history.current(), html)) {
        setStatusText(toCp950("沒有顯示中的主題"));
        return;
    }
    const QString subject = QString::fromStdString(topicSubject(id));
    const std::optional<std::string> path =
        askSaveFile(QStringLiteral("另存新檔"), fileNameOf(subject, id) + QStringLiteral(".html"),
                    QStringLiteral("網頁 (*.html *.htm)"));
    if (!path)
        return;
    // The page the view shows, as written: one file, pictures left at their addresses.
    QSaveFile file(QString::fromStdString(*path));
    if (!file.open(QIODevice::WriteOnly) || file.write(html) != html.size() || !file.commit())
        raiseUtf8("無法儲存 " + *path + ": " + file.errorString().toStdString());
    setStatusText(toCp950("已儲存 " + *path));
}

void TfmMain::printArticle()
{
    const std::int64_t id = shownTopicId();
    if (id <= 0) {
        setStatusText(toCp950("沒有顯示中的主題"));
        return;
    }
    if (m_printer) {
        setStatusText(toCp950("上一份列印還沒有完成"));
        return;
    }
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    // Without a printer the dialog prints to a file: one named after the topic, in the folder saved to last.
    if (printer->outputFormat() == QPrinter::PdfFormat) {
        const QString subject = QString::fromStdString(topicSubject(id));
        printer->setOutputFileName(QDir(m_saveFolder.isEmpty() ? QDir::homePath() : m_saveFolder)
                                       .filePath(fileNameOf(subject, id) + QStringLiteral(".pdf")));
    }
    QPrintDialog dialog(printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("列印"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_printer = printer;
    setStatusText(toCp950("列印中..."));
    m_webBrowser1->print(m_printer.get());
}

void TfmMain::saveArticlePdf()
{
    const std::int64_t id = shownTopicId();
    if (id <= 0) {
        setStatusText(toCp950("沒有顯示中的主題"));
        return;
    }
    const QString subject = QString::fromStdString(topicSubject(id));
    const std::optional<std::string> path = askSaveFile(
        QStringLiteral("另存為 PDF"), fileNameOf(subject, id) + QStringLiteral(".pdf"), QStringLiteral("PDF (*.pdf)"));
    if (!path)
        return;
    m_webBrowser1->page()->printToPdf(QString::fromStdString(*path),
                                      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                                  QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
    setStatusText(toCp950("正在寫入 " + *path));
}

} // namespace velm
