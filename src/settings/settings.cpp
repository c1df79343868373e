#include "settings/settings.h"

#include "base/error.h"
#include "base/qtext.h"

#include <QSettings>
#include <QStandardPaths>

namespace velm {
namespace {

constexpr const char *kForumBaseUrl = "http://www.velm.org.tw/";
constexpr const char *kSecondaryMirror = "http://dl.velm.org.tw/velm_download/velm_reader/";
constexpr const char *kPrimaryMirror = "http://www.velm.org.tw/download/velm_reader/";

QString key(const std::string &name)
{
    return QString::fromStdString(name);
}

// A stored value as the store holds it: text, or nothing for anything else. Only text is ever written here.
// Anything else in the file (a "@Rect(...)" or "@ByteArray(...)" form, a comma list, which the store reads
// as a list of texts) was not written by this program and counts as absent, like a value that is not there.
QString storedText(const std::string &appKey, const std::string &name)
{
    QSettings store(QString::fromStdString(settingsFilePath(appKey)), QSettings::IniFormat);
    if (store.status() != QSettings::NoError)
        return {}; // an unreadable store reads as if every value were absent
    const QVariant value = store.value(key(name));
    if (value.typeId() != QMetaType::QString)
        return {};
    QString text = value.toString();
    if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0)
        text.truncate(nul);
    return text;
}

// An override of a built-in address (UTF-8, as every address), made to end in "/" like every folder
// address here.
std::string overridden(const char *name, const char *builtIn)
{
    std::string value = storedText(kAppKey, name).toStdString();
    if (value.empty())
        return builtIn;
    if (value.back() != '/')
        value += '/';
    return value;
}

} // namespace

std::string settingsFilePath(const std::string &appKey)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return (folder + '/' + QString::fromStdString(appKey) + ".ini").toStdString();
}

Big5Text ReadSetting(const std::string &appKey, const std::string &name)
{
    return qToCp950(storedText(appKey, name));
}

void WriteSetting(const std::string &appKey, const std::string &name, const Big5Text &value)
{
    QSettings store(QString::fromStdString(settingsFilePath(appKey)), QSettings::IniFormat);
    store.setValue(key(name), qFromCp950(value));
    store.sync();
    if (store.status() != QSettings::NoError)
        raiseUtf8("無法儲存設定值 " + name);
}

std::string ForumBaseURL()
{
    return overridden("ForumBaseURL", kForumBaseUrl);
}

std::vector<std::string> DownloadMirrorList()
{
    return {overridden("DownloadMirror1", kSecondaryMirror), overridden("DownloadMirror2", kPrimaryMirror)};
}

bool ShowPictures()
{
    return ReadSetting(kAppKey, "ShowPictures") != Big5Text("N");
}

} // namespace velm
