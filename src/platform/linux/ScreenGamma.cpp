// RandR's gamma ramps, and their restore from signal handlers.
#include "platform/linux/ScreenGamma.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/randr.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Halcyra::Platform {

namespace {

// X errors of the gamma calls (a CRTC that went away, a server that refuses) are counted here while
// a call runs instead of ending the process, as the handler in effect may.
std::atomic<int> GGammaErrors = 0;
int CountGammaError(Display *, XErrorEvent *)
{
    ++GGammaErrors;
    return 0;
}

class TErrorTrap {
public:
    explicit TErrorTrap(Display *display) : FDisplay(display), FBefore(GGammaErrors), FPrevious(XSetErrorHandler(CountGammaError)) {}
    ~TErrorTrap() { XSetErrorHandler(FPrevious); }
    // Whether the server refused anything since the trap was set; waits for its answers.
    bool Failed()
    {
        XSync(FDisplay, False);
        return GGammaErrors != FBefore;
    }

private:
    Display *FDisplay;
    int FBefore;
    XErrorHandler FPrevious;
};

// Each channel of the 256-entry ramp at the CRTC's own size.
std::vector<std::uint16_t> Resampled(const std::array<std::uint16_t, 256> &ramp, std::size_t size)
{
    std::vector<std::uint16_t> values(size);
    for (std::size_t i = 0; i < size; ++i)
        values[i] = ramp[size > 1 ? i * 255 / (size - 1) : 0];
    return values;
}

void Append16(std::vector<std::uint8_t> &bytes, std::uint16_t value)
{
    std::uint8_t raw[2];
    std::memcpy(raw, &value, 2);
    bytes.insert(bytes.end(), raw, raw + 2);
}

void Append32(std::vector<std::uint8_t> &bytes, std::uint32_t value)
{
    std::uint8_t raw[4];
    std::memcpy(raw, &value, 4);
    bytes.insert(bytes.end(), raw, raw + 4);
}

std::atomic<int> GEmergencySocket = -1;
std::atomic<const std::uint8_t *> GEmergencyRequests = nullptr;
std::atomic<std::size_t> GEmergencySize = 0;

// The emergency restore gives up after this long: a server that does not take the bytes or does not
// answer must not keep a crashing process alive.
constexpr long long EmergencyBudgetMs = 2000;

long long MonotonicMs() noexcept
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool Busy() noexcept
{
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

// Waits until the socket is ready for the events (or has failed, which the next call reports);
// false once the deadline has passed.
bool WaitForSocket(int socket, short events, long long deadline) noexcept
{
    for (;;) {
        const long long left = deadline - MonotonicMs();
        if (left <= 0)
            return false;
        pollfd wait{socket, events, 0};
        const int ready = poll(&wait, 1, static_cast<int>(left));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

// A thread's own stack for the crash handlers: a stack overflow leaves no room on the stack that
// overflowed. A stack someone else gave the thread (a sanitizer's) is kept.
class TSignalStack {
public:
    TSignalStack()
    {
        stack_t current{};
        if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0)
            return;
        FMemory = std::make_unique<std::uint8_t[]>(Size);
        stack_t stack{};
        stack.ss_sp = FMemory.get();
        stack.ss_size = Size;
        if (sigaltstack(&stack, nullptr) != 0)
            FMemory.reset();
    }
    ~TSignalStack()
    {
        if (!FMemory)
            return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
    }
    TSignalStack(const TSignalStack &) = delete;
    TSignalStack &operator=(const TSignalStack &) = delete;

private:
    static constexpr std::size_t Size = 64 * 1024;
    std::unique_ptr<std::uint8_t[]> FMemory;
};

void RestoreThenDie(int signal)
{
    RestoreGammaInEmergency();
    // The handler was reset to the default one on entry: the signal, raised again, ends the process
    // as it would have, once this handler returns.
    raise(signal);
}

} // namespace

std::vector<std::uint8_t> EncodeGammaRestore(int randrOpcode, const std::vector<unsigned long> &crtcs,
                                             const std::vector<const std::uint16_t *> &red,
                                             const std::vector<const std::uint16_t *> &green,
                                             const std::vector<const std::uint16_t *> &blue,
                                             const std::vector<std::uint16_t> &sizes)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t c = 0; c < crtcs.size(); ++c) {
        const std::size_t size = sizes[c];
        const std::size_t length = (12 + 6 * size + 3) / 4;
        if (length > 0xFFFF)
            continue;
        bytes.push_back(static_cast<std::uint8_t>(randrOpcode));
        bytes.push_back(X_RRSetCrtcGamma);
        Append16(bytes, static_cast<std::uint16_t>(length));
        Append32(bytes, static_cast<std::uint32_t>(crtcs[c]));
        Append16(bytes, static_cast<std::uint16_t>(size));
        Append16(bytes, 0);
        for (const auto *channel : {red[c], green[c], blue[c]})
            for (std::size_t i = 0; i < size; ++i)
                Append16(bytes, channel[i]);
        bytes.resize(bytes.size() + (4 - bytes.size() % 4) % 4, 0);
    }
    // GetInputFocus: no arguments, one answer.
    bytes.push_back(43);
    bytes.push_back(0);
    Append16(bytes, 1);
    return bytes;
}

void ArmGammaEmergency(int socket, const std::uint8_t *requests, std::size_t size) noexcept
{
    GEmergencySize = 0;
    GEmergencyRequests = requests;
    GEmergencySocket = socket;
    GEmergencySize = requests != nullptr ? size : 0;
}

void RestoreGammaInEmergency() noexcept
{
    const std::size_t size = GEmergencySize.exchange(0);
    const std::uint8_t *requests = GEmergencyRequests;
    const int socket = GEmergencySocket;
    if (size == 0 || requests == nullptr || socket < 0)
        return;
    const int savedErrno = errno;
    const long long deadline = MonotonicMs() + EmergencyBudgetMs;
    // A server gone away answers EPIPE instead of SIGPIPE, so a crash still ends by its own signal.
    std::size_t written = 0;
    while (written < size) {
        const ssize_t count = send(socket, requests + written, size - written, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count > 0)
            written += static_cast<std::size_t>(count);
        else if (!(count < 0 && (errno == EINTR || (Busy() && WaitForSocket(socket, POLLOUT, deadline)))))
            break;
    }
    // Every answer, error and event is 32 bytes; the first answer is the focus's, after the ramps.
    std::uint8_t packet[32];
    for (int packets = 0; written == size && packets < 64; ++packets) {
        std::size_t got = 0;
        while (got < sizeof packet) {
            const ssize_t count = recv(socket, packet + got, sizeof packet - got, MSG_DONTWAIT);
            if (count > 0)
                got += static_cast<std::size_t>(count);
            else if (!(count < 0 && (errno == EINTR || (Busy() && WaitForSocket(socket, POLLIN, deadline)))))
                break;
        }
        if (got < sizeof packet || packet[0] == 1)
            break;
    }
    errno = savedErrno;
}

void UseAlternateSignalStack()
{
    thread_local TSignalStack stack;
}

void InstallCrashGammaRestore()
{
    UseAlternateSignalStack();
    static std::atomic<bool> installed = false;
    if (installed.exchange(true))
        return;
    struct sigaction action {};
    action.sa_handler = RestoreThenDie;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_ONSTACK;
    for (int signal : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL})
        sigaction(signal, &action, nullptr);
}

TRandrGamma::~TRandrGamma()
{
    Restore();
    Disconnect();
}

void TRandrGamma::Disconnect()
{
    ArmGammaEmergency(-1, nullptr, 0);
    for (Display **connection : {&FConnection, &FEmergencyConnection}) {
        if (*connection != nullptr)
            XCloseDisplay(*connection);
        *connection = nullptr;
    }
}

bool TRandrGamma::Capture()
{
    Restore();
    Disconnect();
    FOriginal.clear();
    FConnection = XOpenDisplay(nullptr);
    if (FConnection == nullptr)
        return false;
    Display *display = FConnection;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XQueryExtension(display, "RANDR", &FMajorOpcode, &event, &error) || !XRRQueryVersion(display, &major, &minor) ||
        major < 1 || (major == 1 && minor < 2)) {
        Disconnect();
        return false;
    }
    TErrorTrap trap(display);
    XRRScreenResources *resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    for (int i = 0; resources != nullptr && i < resources->ncrtc; ++i) {
        const RRCrtc crtc = resources->crtcs[i];
        const int size = XRRGetCrtcGammaSize(display, crtc);
        XRRCrtcGamma *gamma = size > 1 ? XRRGetCrtcGamma(display, crtc) : nullptr;
        if (gamma == nullptr)
            continue;
        TCrtcRamp ramp;
        ramp.Crtc = crtc;
        ramp.Red.assign(gamma->red, gamma->red + gamma->size);
        ramp.Green.assign(gamma->green, gamma->green + gamma->size);
        ramp.Blue.assign(gamma->blue, gamma->blue + gamma->size);
        // A server may read a ramp and refuse to set one: setting it again tells.
        XRRSetCrtcGamma(display, crtc, gamma);
        XRRFreeGamma(gamma);
        FOriginal.push_back(std::move(ramp));
    }
    if (resources != nullptr)
        XRRFreeScreenResources(resources);
    if (trap.Failed() || FOriginal.empty()) {
        FOriginal.clear();
        Disconnect();
        return false;
    }
    std::vector<unsigned long> crtcs;
    std::vector<const std::uint16_t *> red, green, blue;
    std::vector<std::uint16_t> sizes;
    for (const TCrtcRamp &ramp : FOriginal) {
        crtcs.push_back(ramp.Crtc);
        red.push_back(ramp.Red.data());
        green.push_back(ramp.Green.data());
        blue.push_back(ramp.Blue.data());
        sizes.push_back(static_cast<std::uint16_t>(ramp.Red.size()));
    }
    FEmergencyRequests = EncodeGammaRestore(FMajorOpcode, crtcs, red, green, blue, sizes);
    return true;
}

bool TRandrGamma::Apply(const TGammaRamp &ramp)
{
    if (FConnection == nullptr || FOriginal.empty())
        return false;
    Display *display = FConnection;
    // The restore's bytes go over a connection that carries nothing else, so a crash in the middle
    // of one of Xlib's requests cannot mix the two streams; without one the ramp is left alone.
    if (FEmergencyConnection == nullptr)
        FEmergencyConnection = XOpenDisplay(DisplayString(display));
    if (FEmergencyConnection == nullptr)
        return false;
    // Armed before the change, so that no moment exists in which a changed ramp could be left behind.
    InstallCrashGammaRestore();
    ArmGammaEmergency(ConnectionNumber(FEmergencyConnection), FEmergencyRequests.data(), FEmergencyRequests.size());
    FApplied = true;
    TErrorTrap trap(display);
    for (const TCrtcRamp &original : FOriginal) {
        const std::size_t size = original.Red.size();
        XRRCrtcGamma *gamma = XRRAllocGamma(static_cast<int>(size));
        if (gamma == nullptr)
            continue;
        const auto red = Resampled(ramp.Red, size), green = Resampled(ramp.Green, size), blue = Resampled(ramp.Blue, size);
        std::copy(red.begin(), red.end(), gamma->red);
        std::copy(green.begin(), green.end(), gamma->green);
        std::copy(blue.begin(), blue.end(), gamma->blue);
        XRRSetCrtcGamma(display, original.Crtc, gamma);
        XRRFreeGamma(gamma);
    }
    return !trap.Failed();
}

void TRandrGamma::Restore()
{
    if (FConnection == nullptr || !FApplied)
        return;
    FApplied = false;
    Display *display = FConnection;
    {
        TErrorTrap trap(display);
        for (const TCrtcRamp &original : FOriginal) {
            XRRCrtcGamma *gamma = XRRAllocGamma(static_cast<int>(original.Red.size()));
            if (gamma == nullptr)
                continue;
            std::copy(original.Red.begin(), original.Red.end(), gamma->red);
            std::copy(original.Green.begin(), original.Green.end(), gamma->green);
            std::copy(original.Blue.begin(), original.Blue.end(), gamma->blue);
            XRRSetCrtcGamma(display, original.Crtc, gamma);
            XRRFreeGamma(gamma);
        }
        trap.Failed();
    }
    ArmGammaEmergency(-1, nullptr, 0);
}

} // namespace Halcyra::Platform
