#pragma once
// UWebSearch's outside sites: captions, search templates, home pages and the dialog's groups.
#include <span>
#include <string>

namespace velm {

struct WebSite {
    int number;          // the digits of the site box's name, and the order of the result tabs
    const char *caption; // UTF-8
    const char *host;    // nullptr: the forum's own web server
    const char *path;    // path and query of the search template, from its leading "/"
    const char *home;    // the home page shown as the box's hint; nullptr: the forum's own server
};

struct SiteGroup {
    const char *caption; // UTF-8
    std::span<const int> numbers;
};

std::span<const WebSite> WebSiteTable();
std::span<const SiteGroup> WebSiteGroups();
const WebSite *findWebSite(int number);

// The address the dialog's mail link writes to.
const char *WebSearchContactAddress();

// Code page 950 caption; the template is an ASCII address (the forum's own in its ASCII form). The home
// page address is UTF-8, as every address; forumBaseUrl is too.
std::string SiteCaption(const WebSite &site);
std::string SiteTemplate(const WebSite &site, const std::string &forumBaseUrl);
std::string SiteHome(const WebSite &site, const std::string &forumBaseUrl);

} // namespace velm
