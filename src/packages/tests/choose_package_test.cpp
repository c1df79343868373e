#include "packages/choose_package.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <fstream>

using namespace velm;

class ChoosePackageTest : public QObject {
    Q_OBJECT

private:
    // Answers the dialog once it is up: picks the file, or cancels when it is empty. The file's modification
    // time goes to *date as the dialog's list shows it.
    static void answerDialog(const QString &file, QString *title, QStringList *filters, QString *date = nullptr)
    {
        QTimer::singleShot(0, [=] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog) {
                answerDialog(file, title, filters, date);
                return;
            }
            *title = dialog->windowTitle();
            *filters = dialog->nameFilters();
            if (file.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->selectFile(file);
            if (date) {
                auto *list = dialog->findChild<QTreeView *>("treeView");
                const auto row = [&] {
                    const QModelIndexList found = list->model()->match(list->model()->index(0, 0, list->rootIndex()),
                                                                       Qt::DisplayRole, QFileInfo(file).fileName());
                    return found.isEmpty() ? QModelIndex() : found.constFirst();
                };
                if (QTest::qWaitFor([&] { return row().isValid(); }, 30000))
                    *date = row().siblingAtColumn(3).data().toString();
            }
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }

private slots:
    void pickedFileIsGivenBack()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("2004W05.VLP"));
        std::ofstream(file.toStdString()) << "package";
        QString title;
        QStringList filters;

        answerDialog(QString(), &title, &filters);
        QVERIFY(!ChoosePackageFile(nullptr, ChoosePackageTitle()));

        QString date;
        answerDialog(file, &title, &filters, &date);
        const std::optional<std::string> picked = ChoosePackageFile(nullptr, ChoosePackageTitle());
        QVERIFY(picked);
        QCOMPARE(QString::fromStdString(*picked), file);
        QCOMPARE(title, QStringLiteral("匯入補充包.VLP/.MDB資料檔"));
        // In the program's language, whatever the system's.
        QCOMPARE(filters, (QStringList{QStringLiteral("Velm 補充包檔案 (*.VLP *.vlp)"),
                                       QStringLiteral("Access 資料庫檔案 (*.MDB *.mdb)")}));
        QCOMPARE(date, QFileInfo(file).lastModified().toString(QStringLiteral("yyyy/MM/dd HH:mm")));
    }
};

QTEST_MAIN(ChoosePackageTest)
#include "choose_package_test.moc"
