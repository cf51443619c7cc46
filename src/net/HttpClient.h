// The HTTP/1.0 client: GET requests for http and https addresses, direct or through a proxy (a tunnel
// for https), that block their caller until the whole response is in memory while the application's
// messages keep being handled.
#pragma once

#include "net/ExStringList.h"
#include "net/SockCore.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace Halcyra::Net {

// The request kinds; the program makes only GET requests.
enum class TCmdType { Get };

// Request header values the client adds to its requests; only the cookie is ever filled, by a
// redirect that sets one.
struct THeaderInfo {
    std::string Cookie;
};

class THttpClient;
using THttpNotify = std::function<void(THttpClient &sender, TCmdType command)>;

class THttpClient : public TSockCore {
public:
    // The most requests one Get makes while the server answers with redirects or repeats.
    static constexpr int MaxRequestsPerGet = 10;
    // The largest body kept; a longer one ends the request with "Socket capture aborted".
    static constexpr std::size_t MaxBodySize = 8u * 1024 * 1024;
    // The largest status line and header lines taken together; more ends with "Socket readln aborted".
    static constexpr std::size_t MaxHeaderSize = 64u * 1024;
    // The longest path sent, and the longest Location and Set-Cookie values kept.
    static constexpr std::size_t MaxPathLength = 256;
    static constexpr std::size_t MaxHeaderValueLength = 256;

    THttpClient(Platform::ISocketLayer &sockets, Platform::IApplication &application);

    // Requests url and returns when the response has been read; Body then holds its body whatever the
    // status. Raises EURLError "Empty URL" or "Invalid character in URL" (a blank or a control character
    // anywhere in it), EConvertError for a port that is not a number, ESockError for network, handshake
    // and certificate failures, a refused tunnel and a redirect it will not follow (to http from https,
    // or to another scheme than these two), and EAbortError for waits that were aborted or ran out of
    // time; the socket is closed whenever it raises. A stop requested on stop, from any thread and even
    // before the request began, ends it at its next look at the socket. A cookie a redirect set goes
    // only to the host that set it, and only until the Get returns.
    void Get(const std::string &url, std::stop_token stop = {});

    // Server port; 0 is taken as 80, and the URL's scheme and port set it again (a URL that is only a
    // path keeps the previous request's host, port and scheme).
    int GetPort() const { return FPort; }
    void SetPort(int port) { FPort = port; }
    // When not empty, requests go to this host and carry the whole URL.
    const std::string &GetProxy() const { return FProxy; }
    void SetProxy(const std::string &proxy) { FProxy = proxy; }
    int GetProxyPort() const { return FProxyPort; }
    void SetProxyPort(int port) { FProxyPort = port; }

    // The last response's body, and its status line and header lines as received (with their line
    // ends, up to and including the empty line).
    const std::string &GetBody() const { return FBody; }
    const std::string &GetHeader() const { return FHeader; }
    // The last response's status code; 0 when its status line held none.
    int GetStatus() const { return FStatus; }
    const THeaderInfo &GetHeaderInfo() const { return FHeaderInfo; }
    void SetHeaderInfo(const THeaderInfo &info) { FHeaderInfo = info; }

    // Fired after the body has been read: OnSuccess for statuses up to 298, OnFailure from 400 on.
    void SetOnSuccess(THttpNotify handler) { FOnSuccess = std::move(handler); }
    void SetOnFailure(THttpNotify handler) { FOnFailure = std::move(handler); }

    // The URL as the next request will use it, and the parts ParseURL took from it.
    const std::string &GetURL() const { return FURL; }
    void SetURL(const std::string &url) { FURL = url; }
    const std::string &GetPath() const { return FPath; }
    const std::string &GetHost() const { return FHost; }
    // True when the URL's scheme is https.
    bool GetSecure() const { return FSecure; }

    // Takes path, host and port out of the URL (see Get for its errors).
    void ParseURL();
    // Builds the request's header lines from the parsed URL, the proxy and the cookie.
    void AssembleHTTPHeader();
    const TExStringList &GetRequestLines() const { return FRequest; }

private:
    void HTTPConnect();
    // Asks the proxy for a tunnel to the URL's host and port; raises unless it answers 2xx.
    void OpenTunnel();
    // Raises when the redirect to target is not to be followed: to a scheme other than http and https,
    // or from https to http.
    void CheckRedirect(const std::string &target) const;
    void SendHTTP();
    void RemoveHeader();
    void Fire(const THttpNotify &handler);

    int FPort = 0;
    std::string FProxy;
    int FProxyPort = 0;
    std::string FBody;
    std::string FHeader;
    THeaderInfo FHeaderInfo;
    // The host whose redirect set the cookie; empty when it was set from outside.
    std::string FCookieHost;
    THttpNotify FOnSuccess;
    THttpNotify FOnFailure;

    TCmdType FCommand = TCmdType::Get;
    std::string FURL;
    std::string FPath;
    std::string FHost;
    bool FSecure = false;
    int FStatus = 0;
    std::string FLocation;
    std::string FSetCookie;
    // The body's length when the answer gave one that can be used.
    std::optional<std::uint64_t> FContentLength;
    TExStringList FRequest;
    bool FBusy = false;
};

// The address a redirect's Location names, taken against base, the whole address just requested
// ("http://host[:port]/path?query"). A Location with a scheme stands as written; "//host/path" gains
// base's scheme; "/path" keeps base's server; a relative one ("dir/page.xml", "../x", "?q") is taken from
// base's folder. "." and ".." segments are taken out and a fragment is dropped. An empty Location names
// the server's root.
std::string ResolveLocation(std::string_view base, std::string_view location);

} // namespace Halcyra::Net
