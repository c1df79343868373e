#include "packages/choose_package.h"

#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>

using namespace velm;

class ChoosePackageTest : public QObject {
    Q_OBJECT

private:
    // Answers the dialog once it is up: picks the file, or cancels when it is empty.
    static void answerDialog(const QString &file, QString *title, QStringList *filters)
    {
        QTimer::singleShot(0, [=] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog) {
                answerDialog(file, title, filters);
                return;
            }
            *title = dialog->windowTitle();
            *filters = dialog->nameFilters();
            if (file.isEmpty()) {
                dialog->reject();
            } else {
                dialog->selectFile(file);
                QMetaObject::invokeMethod(dialog, "accept");
            }
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

        answerDialog(file, &title, &filters);
        const std::optional<std::string> picked = ChoosePackageFile(nullptr, ChoosePackageTitle());
        QVERIFY(picked);
        QCOMPARE(QString::fromStdString(*picked), file);
        QCOMPARE(title, QStringLiteral("匯入補充包.VLP/.MDB資料檔"));
        QCOMPARE(filters, (QStringList{QStringLiteral("Velm Package File(*.VLP *.vlp)"),
                                       QStringLiteral("Access File(*.MDB *.mdb)")}));
    }
};

QTEST_MAIN(ChoosePackageTest)
#include "choose_package_test.moc"
