#include "websearch/web_search_dialog.h"

#include "base/cp950.h"
#include "settings/settings.h"
#include "websearch/site_table.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace velm;

class MailCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class WebSearchDialogTest : public QObject {
    Q_OBJECT

private:
    struct Opened {
        int calls = 0;
        SearchLists lists;
    };

    static void tick(TFormWebSearch &dialog, std::initializer_list<int> numbers)
    {
        for (int n : numbers)
            dialog.findChild<QCheckBox *>(QStringLiteral("CheckBox%1").arg(n))->setChecked(true);
    }

    static std::shared_ptr<Opened> catchResults(TFormWebSearch &dialog)
    {
        auto opened = std::make_shared<Opened>();
        dialog.setResultOpener([opened](const SearchLists &lists) {
            ++opened->calls;
            opened->lists = lists;
        });
        return opened;
    }

private slots:
    void controlsAndDefaults()
    {
        TFormWebSearch dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("程式設計技術文章網際大搜尋"));
        QCOMPARE(dialog.size(), QSize(446, 470));
        QVERIFY(dialog.Edit1()->text().isEmpty());
        QVERIFY(dialog.CheckBoxGB()->isChecked());
        QVERIFY(!dialog.CheckBoxBig()->isChecked());
        QCOMPARE(dialog.CheckBoxGB()->text(), QStringLiteral("簡體網站自動轉簡體"));
        QCOMPARE(dialog.CheckBoxBig()->text(), QStringLiteral("繁體網站自動轉繁體"));
        QVERIFY(dialog.StaticText1()->text().endsWith(QString::fromLatin1(WebSearchContactAddress())));
        const std::vector<QCheckBox *> boxes = dialog.siteBoxes();
        QCOMPARE(boxes.size(), size_t(20));
        for (size_t i = 0; i < boxes.size(); ++i) {
            const WebSite &site = *findWebSite(static_cast<int>(i) + 1);
            QCOMPARE(boxes[i]->objectName(), QStringLiteral("CheckBox%1").arg(i + 1));
            QCOMPARE(boxes[i]->text(), QString::fromUtf8(site.caption));
            QCOMPARE(boxes[i]->toolTip(), QString::fromStdString(SiteHome(site, ForumBaseURL())));
            QVERIFY(!boxes[i]->isChecked());
        }
        QCOMPARE(dialog.findChild<QCheckBox *>("CheckBox1")->property(kTemplateProperty).toByteArray(),
                 QByteArray::fromStdString(ForumBaseURL() + "search.asp?MethodStr=DOIT&SearchStr="));
    }

    // A stored forum address beyond ASCII: the tooltip shows it as written, the forum's own search goes to it in
    // its ASCII form, as with the command line's web search.
    void theForumsOwnSearchTakesAStoredAddressBeyondAscii()
    {
        QTemporaryDir config;
        const QByteArray before = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        QSettings(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat)
            .setValue("ForumBaseURL", QStringLiteral("http://論壇.example/中文"));
        TFormWebSearch dialog;
        qputenv("XDG_CONFIG_HOME", before);
        QCheckBox *forum = dialog.findChild<QCheckBox *>("CheckBox1");
        QVERIFY(forum);
        QCOMPARE(forum->toolTip(), QStringLiteral("http://論壇.example/中文/"));
        // 論壇 is xn--ypsv87i; 中文 is E4 B8 AD E6 96 87 in UTF-8.
        QCOMPARE(forum->property(kTemplateProperty).toByteArray(),
                 QByteArray("http://xn--ypsv87i.example/%E4%B8%AD%E6%96%87/search.asp?MethodStr=DOIT&SearchStr="));
    }

    void selectAllAndNoneLeaveTheConversionBoxesAlone()
    {
        TFormWebSearch dialog;
        dialog.CheckBoxGB()->setChecked(false);
        dialog.CheckBoxBig()->setChecked(true);
        QTest::mouseClick(dialog.SpeedButton1(), Qt::LeftButton);
        for (QCheckBox *box : dialog.siteBoxes())
            QVERIFY(box->isChecked());
        QVERIFY(!dialog.CheckBoxGB()->isChecked());
        QVERIFY(dialog.CheckBoxBig()->isChecked());
        QTest::mouseClick(dialog.SpeedButton2(), Qt::LeftButton);
        for (QCheckBox *box : dialog.siteBoxes())
            QVERIFY(!box->isChecked());
        QVERIFY(!dialog.CheckBoxGB()->isChecked());
        QVERIFY(dialog.CheckBoxBig()->isChecked());
    }

    void okBuildsTheListsInNumberOrderAndCloses()
    {
        TFormWebSearch dialog;
        auto opened = catchResults(dialog);
        tick(dialog, {20, 1, 14});
        dialog.Edit1()->setText(QStringLiteral(" 中文 "));
        QTest::mouseClick(dialog.BitBtn1(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(opened->calls, 1);
        const SearchLists &lists = opened->lists;
        QCOMPARE(lists.captions.size(), size_t(3));
        QCOMPARE(fromCp950(lists.captions[0]), std::string(findWebSite(1)->caption));
        QCOMPARE(fromCp950(lists.captions[1]), std::string(findWebSite(14)->caption));
        QCOMPARE(fromCp950(lists.captions[2]), std::string(findWebSite(20)->caption));
        QCOMPARE(lists.urlTexts[0], ForumBaseURL() + "search.asp?MethodStr=DOIT&SearchStr=" + toCp950(" 中文 "));
        QVERIFY(lists.urlTexts[1].ends_with("#KEY,2,," + toCp950(" 中文 ")));

        TFormWebSearch none;
        auto nothing = catchResults(none);
        none.BitBtn1Click();
        QCOMPARE(nothing->calls, 0);
        QCOMPARE(none.result(), int(QDialog::Accepted));
    }

    void siteBoxesAreFoundByNameWithoutRegardToCase()
    {
        TFormWebSearch dialog;
        auto opened = catchResults(dialog);
        auto *extra = new QCheckBox("extra", &dialog);
        extra->setObjectName("cHeCkBoX0");
        extra->setProperty(kTemplateProperty, QByteArray("http://extra.test/?q="));
        extra->setChecked(true);
        auto *beyond = new QCheckBox("beyond", &dialog);
        beyond->setObjectName("CheckBox101");
        beyond->setChecked(true);
        tick(dialog, {3});
        QCOMPARE(dialog.siteBoxes().size(), size_t(21));
        dialog.Edit1()->setText("x");
        dialog.BitBtn1Click();
        QCOMPARE(opened->lists.captions, (std::vector<std::string>{"extra", toCp950(findWebSite(3)->caption)}));
        QCOMPARE(opened->lists.urlTexts[0], std::string("http://extra.test/?q=x"));
        QTest::mouseClick(dialog.SpeedButton2(), Qt::LeftButton);
        QVERIFY(!extra->isChecked());
        QVERIFY(beyond->isChecked());
    }

    void mailLinkGoesToTheDesktop()
    {
        MailCatcher catcher;
        QDesktopServices::setUrlHandler("mailto", &catcher, "open");
        TFormWebSearch dialog;
        dialog.show();
        QTest::mouseClick(dialog.StaticText1(), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler("mailto");
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls[0].scheme(), QStringLiteral("mailto"));
        QCOMPARE(catcher.urls[0].path(), QString::fromLatin1(WebSearchContactAddress()));
        QCOMPARE(catcher.urls[0].query(QUrl::FullyDecoded), QStringLiteral("subject=[搜網建議]"));
        QCOMPARE(dialog.StaticText1()->cursor().shape(), Qt::PointingHandCursor);
    }
};

int runWebSearchDialogTests(int argc, char **argv)
{
    WebSearchDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "web_search_dialog_test.moc"
