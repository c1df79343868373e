#include "base/web_address.h"

#include <gtest/gtest.h>

using namespace velm;

TEST(WebAddress, AsciiAddressesGoOutAsTheyAre)
{
    for (const char *address :
         {"http://www.velm.org.tw/velmpack/update.htm", "http://127.0.0.1:8080/a%20b?x=%E4&y=1#top", "http://[::1]:80/",
          "velmpack/update.htm", ""})
        EXPECT_EQ(wireAddress(address), address);
}

TEST(WebAddress, AnInternationalHostAndPathBecomeAscii)
{
    // 論壇 is xn--ypsv87i; 中文 is E4 B8 AD E6 96 87 in UTF-8.
    EXPECT_EQ(wireAddress("http://論壇.example:8080/中文/velmpack/update.htm"),
              "http://xn--ypsv87i.example:8080/%E4%B8%AD%E6%96%87/velmpack/update.htm");
    EXPECT_EQ(wireAddress("http://user:pw@bücher.example/"), "http://user:pw@xn--bcher-kva.example/");
    EXPECT_EQ(wireAddress("http://127.0.0.1/中 文?q=中"), "http://127.0.0.1/%E4%B8%AD%20%E6%96%87?q=%E4%B8%AD");
    // A bracketed host keeps its colons; only a port after it is split off.
    EXPECT_EQ(wireAddress("http://[::1]:81/中"), "http://[::1]:81/%E4%B8%AD");
    // Bytes that are no UTF-8 are still carried byte for byte.
    EXPECT_EQ(wireAddress("http://h/\xA4\xA4"), "http://h/%A4%A4");
}

TEST(WebAddress, SpacesAndControlsOfAnAsciiAddressAreEncoded)
{
    EXPECT_EQ(wireAddress("http://h/a b.htm?q=x y"), "http://h/a%20b.htm?q=x%20y");
    EXPECT_EQ(wireAddress("http://h/a\tb\x7F"), "http://h/a%09b%7F");
}

TEST(WebAddress, AuthorityIsFoundOnlyAfterTheScheme)
{
    const std::string_view address = "http://論壇.example:81/a?b#c";
    const AuthoritySpan span = authorityOf(address);
    EXPECT_EQ(address.substr(span.begin, span.end - span.begin), "論壇.example:81");
    EXPECT_EQ(authorityOf("no/scheme").end, 0u);
    EXPECT_EQ(asciiAuthority("論壇.example:81"), "xn--ypsv87i.example:81");
    EXPECT_EQ(asciiAuthority("plain.example"), "plain.example");
}
