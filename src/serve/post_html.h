#pragma once
// Posts are untrusted HTML: what the page's Content-Security-Policy cannot stop is taken out of them here,
// and their links to the forum's topic pages are made links to this server's topic pages.
#include <string>
#include <string_view>

namespace velm::serve {

// Every tag that could run script, load a frame or a plug-in, submit a form, move the page (meta refresh),
// change its base address or fetch beyond the page (link) has its "<" written as "&lt;", so it shows as
// text and does nothing. Tag names are matched as a browser reads them, so no spelling slips through.
std::string NeutralizeUnsafeTags(std::string_view html);

// href attributes that name the forum's topic page ("TOPIC.ASP?TOPIC_ID=" in any case, on any host) become
// "/topic/ID"; one without a usable id becomes "#", as the reader stays on the page for it.
std::string RewriteTopicLinks(std::string_view html);

} // namespace velm::serve
