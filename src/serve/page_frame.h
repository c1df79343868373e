#pragma once
// What every page of the server shares: the response, escaping, the frame around a page and the error pages.
#include <string>
#include <string_view>

namespace velm::serve {

// Pages made only of this server's own markup: its forms go to itself, pictures come from nowhere else.
inline constexpr const char *kPagePolicy = "default-src 'none'; style-src 'unsafe-inline'; img-src 'self'; "
                                           "form-action 'self'; base-uri 'none'; frame-ancestors 'none'";
// Pages that hold posts: no script, frame, plug-in, form or base address; pictures from anywhere.
inline constexpr const char *kPostPolicy =
    "default-src 'none'; script-src 'none'; object-src 'none'; frame-src 'none'; child-src 'none'; "
    "style-src 'unsafe-inline'; img-src * data:; form-action 'none'; base-uri 'none'; frame-ancestors 'none'; "
    "sandbox allow-popups allow-popups-to-escape-sandbox";

struct Response {
    int status = 200;
    std::string body; // UTF-8 HTML
    const char *policy = kPagePolicy;
};

// Text (UTF-8) as it stands in HTML text or a double-quoted attribute.
std::string htmlEscaped(std::string_view utf8);

// A whole page (UTF-8) around its body: the title, the style, and a header leading back to the tree with
// the quick search box (left out where posts are shown, whose pages allow no form).
std::string framedPage(std::string_view titleUtf8, std::string_view bodyUtf8, bool searchBox = true);

// The page of an error status, in Chinese (400, 404, 405, 413, 414, 431, 500, 503), with the failure's
// message (UTF-8) where there is one.
Response errorPage(int status, std::string_view detailUtf8 = {});

} // namespace velm::serve
