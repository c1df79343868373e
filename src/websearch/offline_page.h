#pragma once
// The short local page a web view shows, in place of the engine's own English one, when a server of the
// network could not be reached.
#include <QString>

#include <optional>

class QUrl;
class QWebEngineLoadingInfo;

namespace velm {

// A server as the user would name it: its host, with the port when the address gives one.
QString ServerName(const QUrl &url);

// The page for a load that failed to reach its server; nothing for any other outcome (a load that went
// through, a server's error answer, a load given up for another, an address not of the network).
std::optional<QString> OfflinePageHtml(const QWebEngineLoadingInfo &loading);

} // namespace velm
