#include "update/version_check.h"

#include "base/cp950.h"

#include <gtest/gtest.h>

using namespace velm;

TEST(VersionCheck, MarkerIsReadAsWritten)
{
    struct Case {
        std::string markup;
        std::string version;
    };
    const Case cases[] = {
        {"<body><a NewVer=1.7>new</a></body>", "1.7"},
        {"<body><a href=x NewVer=\"1.7\">new</a>", "\"1.7\""}, // quotes are part of the text
        {"<body><p NewVer= \t1.6.quorin\r\n></body>", "1.6.quorin"},
        {"<body>NewVer=2.0>first NewVer=3.0></body>", "2.0"},
        {"<body><a newver=1.7>lower case is no marker</a>", ""},
        {"<body>NewVer=1.7 without an end", ""},
        {"<body>NewVer=></body>", ""},
        {"<html><head><meta content=NewVer=9.9></head><BODY bgcolor=white><i NewVer=1.7></i>", "1.7"},
        {"<p NewVer=1.8>no body tag at all", "1.8"},
        {"<html><bodyguard NewVer=5.0><body>no marker in the body", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.markup);
        EXPECT_EQ(VersionMarker(DemoPageBody(c.markup)), c.version);
    }
    const std::string big5 = toCp950("<body><a NewVer=2.0版>");
    EXPECT_EQ(VersionMarker(big5), toCp950("2.0版"));
}

TEST(VersionCheck, NewerMeansGreaterByteByByte)
{
    struct Case {
        std::string version;
        bool newer;
    };
    const Case cases[] = {
        {"1.7", true},         {"2.0", true},         {"1.6.r", true},       {"10.0", true},
        {"1.6.quorin2", true}, {"1.6", false},        {"1.6.quorin", false}, {"1.10", false},
        {"0.9", false},        {"1.6.quorim", false}, {"\xA4\xA4", true}, // bytes above 0x7f count as large, not
                                                                          // negative
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsNewerVersion(c.version), c.newer) << c.version;
    EXPECT_FALSE(IsNewerVersion("", ""));
}

TEST(VersionCheck, InstallerNameFromTheFirstAndThirdCharacters)
{
    struct Case {
        std::string version;
        std::string name;
    };
    const Case cases[] = {
        {"1.7", "VELM_V1_7.EXE"},        {"10.0", "VELM_V1_..EXE"},   {"2", "VELM_V2_.EXE"},
        {"\"1.7\"", "VELM_V__..EXE"},    {"./../x", "VELM_V._..EXE"}, {"1\\/", "VELM_V1__.EXE"},
        {"\xA4\xA4.1", "VELM_V__..EXE"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(InstallerFileName(c.version), c.name) << c.version;
}

TEST(VersionCheck, AddressesOfThePane)
{
    struct Case {
        const char *url;
        bool demo;
        bool stays;
        bool desktop;
    };
    const Case cases[] = {
        {"http://www.velm.org.tw/velmpack/demo.html", true, true, true},
        {"http://www.velm.org.tw/velmpack/demo.html#top", true, true, true},
        {"http://www.velm.org.tw/velmpack/demo2.html", false, true, true},
        {"http://www.velm.org.tw/velmpack/DEMO.HTML", false, false, true},
        {"https://example.com/?from=demo.html", true, true, true},
        {"https://example.com/other.html", false, false, true},
        {"mailto:someone@example.com", false, false, true},
        {"MailTo:someone@example.com", false, false, true},
        {"file:///etc/passwd", false, false, false},
        {"javascript:alert(1)", false, false, false},
        {"ftp://example.com/x", false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(IsDemoPage(c.url), c.demo);
        EXPECT_EQ(StaysInDemoPane(c.url), c.stays);
        EXPECT_EQ(MayOpenOnDesktop(c.url), c.desktop);
    }
}
