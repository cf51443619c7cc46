// The addresses handed to the browser: only absolute http and https addresses with a plain host, and
// in them every byte that RFC 3986 does not allow where it stands percent-encoded.
#include "net/WebAddress.h"

#include <gtest/gtest.h>

namespace Halcyra::Net {
namespace {

TEST(WebPageAddress, OnlyHttpAndHttpsAddressesAreWebPages)
{
    for (const char *refused : {"", "  \n", "http://", "http:///path", "http:example.org", "file:///etc/passwd",
                                "/usr/bin/xterm", "calc.exe", "javascript:alert(1)", "ftp://example.org/", "http//example.org",
                                "http://exa mple.org/", "http://ex\"ample.org/", "http://caf\xE9.example/", "http://example.org:80a/",
                                "http://us er@example.org/", "http://[zz]/", "http://[::1/", "http://[::1]x/", "http://@/"})
        EXPECT_EQ(BrowserAddress(refused), std::nullopt) << refused;
}

TEST(WebPageAddress, EveryByteNotAllowedWhereItStandsIsPercentEncoded)
{
    const struct {
        const char *Given;
        const char *Handed;
    } cases[] = {
        {"http://example.org/news?a=1&b=2", "http://example.org/news?a=1&b=2"},
        {"HTTPS://example.org/", "https://example.org/"},
        {" \thttp://example.org/x\r\n", "http://example.org/x"},
        // The quote that would end the registered browser's "%1".
        {"http://example.org/a b\"c", "http://example.org/a%20b%22c"},
        {"http://example.org/\"%20&calc.exe", "http://example.org/%22%20&calc.exe"},
        {"http://example.org/\nrm -rf /", "http://example.org/%0Arm%20-rf%20/"},
        {"http://example.org/caf\xE9?q=\x01\x7F", "http://example.org/caf%E9?q=%01%7F"},
        {"http://example.org/100%?x=%41&y=%4", "http://example.org/100%25?x=%41&y=%254"},
        {"http://example.org/p#frag#more", "http://example.org/p#frag%23more"},
        {"http://example.org/a\\b{c}|d^e`f<g>[h]", "http://example.org/a%5Cb%7Bc%7D%7Cd%5Ee%60f%3Cg%3E%5Bh%5D"},
        {"http://user:pw@example.org:8080/x", "http://user:pw@example.org:8080/x"},
        {"http://[::1]:80/", "http://[::1]:80/"},
        {"http://example.org", "http://example.org"},
        {"http://example.org?q", "http://example.org?q"},
        {"http://ex-am_ple.org./x;p=1!$'()*+,=:@/?~", "http://ex-am_ple.org./x;p=1!$'()*+,=:@/?~"},
    };
    for (const auto &test : cases)
        EXPECT_EQ(BrowserAddress(test.Given), std::optional<std::string>(test.Handed)) << test.Given;
}

} // namespace
} // namespace Halcyra::Net
