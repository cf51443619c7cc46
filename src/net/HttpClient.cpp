// GET over HTTP/1.0: the URL is taken apart, the request lines are built in a fixed order, and the
// response is read to the server's close or to the length it gave. An https address gets TLS over the
// connection (inside a proxy's tunnel when there is a proxy). Redirects and repeats run again, a
// bounded number of times, and only to http or https, never from https down to http.
#include "net/HttpClient.h"

#include "BuildVersion.h"
#include "net/SockErrors.h"
#include "net/TextRoutines.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>
#include <utility>
#include <vector>

namespace Halcyra::Net {
namespace {

constexpr std::string_view AcceptLine1 = "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff";
constexpr std::string_view AcceptLine2 = "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript";
constexpr std::string_view ContentTypeLine = "Content-type: application/x-www-form-urlencoded";
// Followed by the version of the build.
constexpr std::string_view UserAgentLine = "User-Agent: Halcyra Screensaver/";
constexpr int HttpPort = 80;
constexpr int HttpsPort = 443;

std::string UpperCase(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

// Position of the n-th (1-based) "/" in text, or npos.
std::size_t NthSlash(std::string_view text, int n)
{
    std::size_t at = std::string_view::npos;
    for (int i = 0; i < n; ++i) {
        at = text.find('/', at == std::string_view::npos ? 0 : at + 1);
        if (at == std::string_view::npos)
            break;
    }
    return at;
}

// The path a URL names, uncut: from its third "/" when it holds "//", else from its first "/"; empty
// when there is none.
std::string_view PathOf(std::string_view url)
{
    std::size_t from = NthSlash(url, url.find("//") != std::string_view::npos ? 3 : 1);
    return from == std::string_view::npos ? std::string_view() : url.substr(from);
}

// A reference that begins with a scheme (letters, digits, "+", "-", "." after a first letter, then
// ":") is a whole address.
bool HasScheme(std::string_view reference)
{
    if (reference.empty() || !std::isalpha(static_cast<unsigned char>(reference.front())))
        return false;
    for (char c : reference.substr(1)) {
        if (c == ':')
            return true;
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return false;
}

// The text before the first mark, and the rest from the mark on (empty without a mark).
std::pair<std::string_view, std::string_view> SplitAt(std::string_view text, char mark)
{
    std::size_t at = text.find(mark);
    if (at == std::string_view::npos)
        return {text, {}};
    return {text.substr(0, at), text.substr(at)};
}

// A path (starting with "/", without query) with its "." and ".." segments taken out; ".." never
// climbs above the root.
std::string RemoveDotSegments(std::string_view path)
{
    std::vector<std::string_view> kept;
    bool endsInFolder = false;
    path.remove_prefix(1);
    for (;;) {
        std::size_t slash = path.find('/');
        std::string_view segment = path.substr(0, slash);
        bool last = slash == std::string_view::npos;
        if (segment == "." || segment == "..") {
            if (segment == ".." && !kept.empty())
                kept.pop_back();
            endsInFolder = last;
        } else {
            kept.push_back(segment);
        }
        if (last)
            break;
        path.remove_prefix(slash + 1);
    }
    std::string result;
    for (std::string_view segment : kept) {
        result.push_back('/');
        result.append(segment);
    }
    if (endsInFolder || result.empty())
        result.push_back('/');
    return result;
}

std::string_view WithoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

// The status code from the status line's second word; 0 when that is not a number.
int StatusOf(std::string_view line)
{
    line = WithoutLineEnd(line);
    std::size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return 0;
    std::size_t gap = line.find(' ', first);
    if (gap == std::string_view::npos)
        return 0;
    std::size_t second = line.find_first_not_of(' ', gap);
    if (second == std::string_view::npos)
        return 0;
    std::string_view word = line.substr(second, line.find(' ', second) - second);
    int status = 0;
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), status, 10);
    if (error != std::errc() || end != word.data() + word.size())
        return 0;
    return status;
}

// A header value from the given (0-based) offset of its line: no line end, no stray CR, 256 bytes at
// most.
std::string HeaderValue(std::string_view line, std::size_t offset, std::size_t limit)
{
    line = WithoutLineEnd(line);
    if (offset >= line.size())
        return {};
    std::string value(line.substr(offset, limit));
    value.erase(std::remove(value.begin(), value.end(), '\r'), value.end());
    return value;
}

// The value of a Content-Length line: a decimal number between blanks, or nothing.
std::optional<std::uint64_t> ContentLengthOf(std::string_view line)
{
    constexpr std::size_t NameLength = std::string_view("Content-Length:").size();
    std::string_view value = WithoutLineEnd(line).substr(NameLength);
    std::size_t first = value.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    value = value.substr(first, value.find_last_not_of(" \t") + 1 - first);
    std::uint64_t length = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length, 10);
    if (error != std::errc() || end != value.data() + value.size())
        return std::nullopt;
    return length;
}

// host, with ":" + port unless it is the scheme's own.
std::string Authority(const std::string &host, int port, int schemePort)
{
    return port == schemePort ? host : host + ":" + std::to_string(port);
}

// "http://" or "https://" + the authority.
std::string ServerURL(bool secure, const std::string &host, int port)
{
    return (secure ? "https://" : "http://") + Authority(host, port, secure ? HttpsPort : HttpPort);
}

// A byte that would end the request line or begin a line of its own: a blank, a control, DEL.
bool IsInvalidURLByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
}

bool SameHost(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

THttpClient::THttpClient(Platform::ISocketLayer &sockets, Platform::IApplication &application)
    : TSockCore(sockets, application)
{
}

void THttpClient::Get(const std::string &url, std::stop_token stop)
{
    // A handler that runs while a request waits must not start another one on the same client.
    if (FBusy)
        throw ESockError(std::string(SockText::AlreadyConnected));
    FBusy = true;
    struct TRequestGuard {
        THttpClient &Client;
        ~TRequestGuard()
        {
            Client.EndRequest();
            Client.FBusy = false;
        }
    } guard{*this};

    BeginRequest(std::move(stop));
    // A cookie from a redirect of an earlier Get stays with that Get.
    if (!FCookieHost.empty()) {
        FHeaderInfo.Cookie.clear();
        FCookieHost.clear();
    }
    FCommand = TCmdType::Get;
    FURL = url;
    HTTPConnect();
}

void THttpClient::ParseURL()
{
    if (FURL.empty())
        throw EURLError(std::string(SockText::EmptyURL));
    // Such a byte in the path or the host would write a line of its own into the request (through a
    // proxy the whole URL is sent), so no part of the URL may hold one.
    if (std::any_of(FURL.begin(), FURL.end(), IsInvalidURLByte))
        throw EURLError(std::string(SockText::InvalidURLCharacter));
    if (FPort == 0)
        FPort = HttpPort;

    bool hasDoubleSlash = FURL.find("//") != std::string::npos;
    std::size_t first = NthSlash(FURL, 1);
    std::size_t second = NthSlash(FURL, 2);
    std::size_t third = NthSlash(FURL, 3);

    FPath = PathOf(FURL);
    if (FPath.size() > MaxPathLength)
        FPath.resize(MaxPathLength);

    // A URL that starts with "/" names a path on the host, port and scheme of the previous request;
    // any other URL sets all three, a URL without a scheme being a plain one on port 80.
    const bool pathOnly = !hasDoubleSlash && FURL.front() == '/';
    if (!pathOnly) {
        FSecure = false;
        FPort = HttpPort;
        std::size_t colon = FURL.find(':');
        std::string scheme = colon == std::string::npos ? std::string() : UpperCase(std::string_view(FURL).substr(0, colon));
        if (scheme == "GOPHER") {
            FPort = 70;
        } else if (scheme == "FTP") {
            FPort = 21;
        } else if (scheme == "HTTPS") {
            FPort = HttpsPort;
            FSecure = true;
        }
    }

    if (hasDoubleSlash) {
        std::size_t from = second + 1;
        std::size_t to = third == std::string::npos ? FURL.size() : third;
        std::string host = FURL.substr(from, to - from);
        FHost = std::move(host);
    } else if (!pathOnly) {
        FHost = FURL.substr(0, first);
    }
    if (!pathOnly) {
        std::size_t portColon = FHost.find(':');
        if (portColon != std::string::npos) {
            FPort = StrToInt(std::string_view(FHost).substr(portColon + 1));
            FHost.resize(portColon);
        }
    }

    if (FPath.empty()) {
        FPath.assign(1, '/');
        FURL.push_back('/');
    }
}

void THttpClient::AssembleHTTPHeader()
{
    FRequest.Clear();
    if (FSecure) {
        // Inside TLS, direct or through a tunnel, the request names its path; the server learns the
        // host and port from the Host line.
        FRequest.Add("GET " + FPath + " HTTP/1.0");
        FRequest.Add("Host: " + Authority(FHost, FPort, HttpsPort));
        FRequest.Add(std::string(UserAgentLine) + BuildVersion::Version);
    } else if (FProxy.empty()) {
        FRequest.Add("GET " + FPath + " HTTP/1.0");
    } else {
        FRequest.Add("GET " + FURL + " HTTP/1.0");
        FRequest.Add("Proxy-Connection: Keep-Alive");
        FRequest.Add("Host: " + FHost);
    }
    // Plain requests: finds the proxy's Host line, or adds the line for a direct request.
    if (!FSecure)
        FRequest.SetValue("Host", FHost);
    FRequest.Add(std::string(AcceptLine1));
    FRequest.Add(std::string(AcceptLine2));
    if (!FHeaderInfo.Cookie.empty() && (FCookieHost.empty() || SameHost(FCookieHost, FHost)))
        FRequest.SetValue("Cookie", FHeaderInfo.Cookie);
    FRequest.Add(std::string(ContentTypeLine));
}

void THttpClient::OpenTunnel()
{
    const std::string authority = FHost + ":" + std::to_string(FPort);
    SendText("CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n\r\n");
    RemoveHeader();
    if (FStatus < 200 || FStatus > 299) {
        std::string statusLine = HeaderValue(std::string_view(FHeader).substr(0, FHeader.find('\n')), 0, MaxHeaderValueLength);
        throw ESockError(std::string(SockText::ProxyRefusedTunnel) + statusLine);
    }
}

void THttpClient::SendHTTP()
{
    std::string text;
    for (const std::string &line : FRequest.GetLines()) {
        text += line;
        text += "\r\n";
    }
    text += "\r\n";
    SendText(text);
}

void THttpClient::RemoveHeader()
{
    FHeader.clear();
    FLocation.clear();
    FSetCookie.clear();
    FContentLength.reset();
    // Lengths that disagree, or one that is no number, leave the body to end with the connection.
    bool lengthSeen = false;
    bool lengthUnusable = false;

    std::string line;
    bool more = ReadLine(line);
    FStatus = StatusOf(line);
    FHeader += line;
    while (more) {
        more = ReadLine(line);
        if (FHeader.size() + line.size() > MaxHeaderSize)
            throw EAbortError(std::string(SockText::ReadlnAborted));
        FHeader += line;
        if (line == "\n" || line == "\r\n")
            break;
        std::string_view name(line);
        name = name.substr(0, name.find(' '));
        std::string upperName = UpperCase(name);
        if (upperName == "SET-COOKIE:")
            FSetCookie = HeaderValue(line, 12, MaxHeaderValueLength);
        else if (upperName == "LOCATION:")
            FLocation = HeaderValue(line, 10, MaxHeaderValueLength);
        else if (upperName == "CONTENT-LENGTH:") {
            std::optional<std::uint64_t> length = ContentLengthOf(line);
            if (!length || (lengthSeen && length != FContentLength))
                lengthUnusable = true;
            FContentLength = length;
            lengthSeen = true;
        }
    }
    if (lengthUnusable)
        FContentLength.reset();
}

void THttpClient::Fire(const THttpNotify &handler)
{
    if (handler)
        handler(*this, FCommand);
}

void THttpClient::HTTPConnect()
{
    for (int request = 1;; ++request) {
        ParseURL();
        AssembleHTTPHeader();
        try {
            if (FProxy.empty())
                Connect(FHost, FPort);
            else
                Connect(FProxy, FProxyPort);
            if (FSecure) {
                if (!FProxy.empty())
                    OpenTunnel();
                StartSecure(FHost);
            }
            SendHTTP();
            FStatus = 0;
            RemoveHeader();
            CaptureString(FBody, MaxBodySize, FContentLength);
            if (FStatus <= 298)
                Fire(FOnSuccess);
            else if (FStatus >= 400)
                Fire(FOnFailure);
        } catch (...) {
            Disconnect();
            throw;
        }
        Disconnect();

        if (FStatus >= 300 && FStatus <= 398 && !FSetCookie.empty()) {
            FHeaderInfo.Cookie = FSetCookie;
            FCookieHost = FHost;
        }
        // A server that keeps redirecting or asking for a repeat gets a bounded number of requests;
        // then the last body stands.
        const bool again = FStatus >= 299 && FStatus <= 399 && request < MaxRequestsPerGet;
        if (FStatus >= 300 && FStatus <= 302) {
            // The location is taken against the address just requested and written out in full, so
            // that a proxy can forward it too.
            std::string target = ResolveLocation(ServerURL(FSecure, FHost, FPort) + std::string(PathOf(FURL)), FLocation);
            if (again)
                CheckRedirect(target);
            FURL = std::move(target);
        }
        if (!again)
            break;
    }
}

void THttpClient::CheckRedirect(const std::string &target) const
{
    const std::string scheme = UpperCase(std::string_view(target).substr(0, target.find(':')));
    // Another scheme would send the request, as HTTP, to whatever port that scheme names.
    if (scheme != "HTTP" && scheme != "HTTPS")
        throw ESockError(std::string(SockText::UnsupportedRedirect));
    if (FSecure && scheme == "HTTP")
        throw ESockError(std::string(SockText::InsecureRedirect));
}

std::string ResolveLocation(std::string_view base, std::string_view location)
{
    std::size_t first = location.find_first_not_of(" \t");
    location = first == std::string_view::npos
                   ? std::string_view()
                   : location.substr(first, location.find_last_not_of(" \t") + 1 - first);
    if (HasScheme(location))
        return std::string(location);
    if (location.starts_with("//"))
        return std::string(base.substr(0, base.find(':') + 1)) + std::string(location);

    std::size_t pathStart = NthSlash(base, 3);
    std::string result(base.substr(0, pathStart));
    std::string_view basePath = pathStart == std::string_view::npos ? "/" : base.substr(pathStart);
    if (location.empty())
        return result + "/";

    // A fragment names a place inside a page and is never requested.
    auto [refPath, refQuery] = SplitAt(SplitAt(location, '#').first, '?');
    auto [basePathOnly, baseQuery] = SplitAt(basePath, '?');
    basePath = basePathOnly;

    if (refPath.empty()) {
        result.append(basePath);
        result.append(refQuery.empty() ? baseQuery : refQuery);
        return result;
    }
    if (refPath.front() == '/') {
        result.append(RemoveDotSegments(refPath));
    } else {
        std::string merged(basePath.substr(0, basePath.rfind('/') + 1));
        merged.append(refPath);
        result.append(RemoveDotSegments(merged));
    }
    result.append(refQuery);
    return result;
}

} // namespace Halcyra::Net
