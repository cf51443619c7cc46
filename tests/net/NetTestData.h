// The net tests' feed files in tests/data/net, read as bytes, and the pieces of requests, answers and
// errors the client's tests share.
#pragma once

#include "BuildHosts.h"
#include "net/LoopbackServer.h"
#include "net/SockErrors.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace Halcyra::Testing {

inline std::string ReadNetTestFile(const std::string &name)
{
#ifdef _WIN32
    // Under Wine the source tree is reached through the drive that maps the root folder.
    std::string path = std::string("Z:") + HALCYRA_TEST_DATA_DIR + "/net/" + name;
#else
    std::string path = std::string(HALCYRA_TEST_DATA_DIR) + "/net/" + name;
#endif
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("missing test file " + path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// text with the first occurrence of what replaced by with; the test fails loudly if what is missing.
inline std::string ReplaceOnce(std::string text, const std::string &what, const std::string &with)
{
    std::size_t at = text.find(what);
    if (at == std::string::npos)
        throw std::runtime_error("test text lacks " + what);
    return text.replace(at, what.size(), with);
}

// The lines every request of the client ends with, before the blank line.
inline constexpr const char *AcceptLines = "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
                                           "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
inline constexpr const char *ContentTypeLine = "Content-type: application/x-www-form-urlencoded\r\n";

// The exact bytes of a GET of http://host + path as the client sends it through a proxy.
inline std::string ProxiedGet(const std::string &host, const std::string &path)
{
    return "GET http://" + host + path + " HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\nHost: " + host + "\r\n" +
           AcceptLines + ContentTypeLine + "\r\n";
}

// The exact bytes of a GET of https://authority + path as the client sends it, straight or inside a
// proxy's tunnel (authority without the port when it is 443).
inline std::string SecureGet(const std::string &authority, const std::string &path)
{
    return "GET " + path + " HTTP/1.0\r\nHost: " + authority + "\r\nUser-Agent: Halcyra Screensaver/1.0\r\n" +
           AcceptLines + ContentTypeLine + "\r\n";
}

// The host of the build's forecast service when the build asks it over https on port 443, as the
// programs' end-to-end tests serve it; empty for an address of another form.
inline std::string SecureWeatherServiceHost()
{
    const std::string service = BuildHosts::WeatherService;
    const std::string scheme = "https://";
    if (service.rfind(scheme, 0) != 0 || service.size() == scheme.size() ||
        service.find_first_of(":/", scheme.size()) != std::string::npos)
        return {};
    return service.substr(scheme.size());
}

// The exact bytes the client sends a proxy to open a tunnel to authority ("host:port").
inline std::string TunnelRequest(const std::string &authority)
{
    return "CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n\r\n";
}

// A 200 answer with an XML content type.
inline std::string Ok(const std::string &body)
{
    return TLoopbackServer::Response(200, "OK", "Content-Type: text/xml\r\n", body);
}

// Runs get and returns the text of the ESockError (or its subclass) it raises; fails when none.
template <typename TError = Net::ESockError, typename TGet>
std::string ErrorOf(TGet get)
{
    try {
        get();
    } catch (const TError &error) {
        return error.what();
    }
    ADD_FAILURE() << "no error raised";
    return {};
}

} // namespace Halcyra::Testing
