// The display programs' presenter: the frame scaled into an image of the window's size and put into
// the window.
#include "platform/linux/X11WindowPresenter.h"
#include "platform/linux/SdlPresenter.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace Halcyra::Platform {

namespace {

std::atomic<TWindowHandle> GHostedWindow = 0;
std::atomic<unsigned long> GX11Errors = 0;

int CountError(Display *, XErrorEvent *)
{
    GX11Errors.fetch_add(1);
    return 0;
}

// Whether pixels of the image are 0x00RRGGBB words, as the frame's are.
bool SameLayoutAsFrames(const XImage &image)
{
    return image.bits_per_pixel == 32 && image.red_mask == 0xFF0000 && image.green_mask == 0xFF00 &&
           image.blue_mask == 0xFF && image.byte_order == (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
}

// A channel of 8 bits placed under a mask of any width.
unsigned long Place(unsigned value, unsigned long mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0)
        ++shift;
    int bits = 0;
    while (((mask >> (shift + bits)) & 1) != 0)
        ++bits;
    const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8) : value >> (8 - bits);
    return (scaled << shift) & mask;
}

} // namespace

void SetHostedWindow(TWindowHandle window) { GHostedWindow = window; }
TWindowHandle HostedWindow() { return GHostedWindow; }

void CountX11Errors() { XSetErrorHandler(CountError); }
unsigned long X11ErrorCount() { return GX11Errors; }

TX11WindowPresenter::~TX11WindowPresenter()
{
    Close();
}

bool TX11WindowPresenter::Open(TWindowHandle window, int width, int height)
{
    std::lock_guard lock(FMutex);
    Release();
    FConnection = XOpenDisplay(nullptr);
    if (FConnection == nullptr)
        return false;
    Display *display = FConnection;
    FWindow = static_cast<Window>(window);
    XWindowAttributes attributes;
    const unsigned long errors = X11ErrorCount();
    if (XGetWindowAttributes(display, FWindow, &attributes) == 0 || X11ErrorCount() != errors) {
        Release();
        return false;
    }
    // The window's new size comes as an event; nothing else of it is asked for.
    XSelectInput(display, FWindow, StructureNotifyMask);
    FGc = XCreateGC(display, FWindow, 0, nullptr);
    FFrameWidth = width;
    FFrameHeight = height;
    for (int i = 0; i < 256; ++i)
        FLevels[0][i] = FLevels[1][i] = FLevels[2][i] = static_cast<std::uint8_t>(i);
    FLevelsIdentity = true;
    if (!CreateImage(attributes.width, attributes.height)) {
        Release();
        return false;
    }
    return true;
}

bool TX11WindowPresenter::CreateImage(int width, int height)
{
    DestroyImage();
    FWindowWidth = width;
    FWindowHeight = height;
    if (width <= 0 || height <= 0)
        return true;
    Display *display = FConnection;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, FWindow, &attributes) == 0)
        return false;
    // Shared memory spares the copy through the socket; a server elsewhere refuses it.
    if (XShmQueryExtension(display)) {
        auto *info = new XShmSegmentInfo{};
        XImage *image = XShmCreateImage(display, attributes.visual, static_cast<unsigned>(attributes.depth), ZPixmap, nullptr,
                                        info, static_cast<unsigned>(width), static_cast<unsigned>(height));
        if (image != nullptr) {
            info->shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
            if (info->shmid >= 0) {
                info->shmaddr = image->data = static_cast<char *>(shmat(info->shmid, nullptr, 0));
                info->readOnly = False;
                const unsigned long errors = X11ErrorCount();
                const bool attached = info->shmaddr != reinterpret_cast<char *>(-1) && XShmAttach(display, info) &&
                                      XSync(display, False) && X11ErrorCount() == errors;
                // Marked for removal at once: it goes when the last of the server and us lets go.
                shmctl(info->shmid, IPC_RMID, nullptr);
                if (attached) {
                    FImage = image;
                    FShared = true;
                    FSharedInfo = info;
                } else {
                    if (info->shmaddr != reinterpret_cast<char *>(-1))
                        shmdt(info->shmaddr);
                    image->data = nullptr;
                }
            }
            if (FImage == nullptr)
                XDestroyImage(image);
        }
        if (FImage == nullptr)
            delete info;
    }
    if (FImage == nullptr) {
        XImage *image = XCreateImage(display, attributes.visual, static_cast<unsigned>(attributes.depth), ZPixmap, 0, nullptr,
                                     static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
        if (image == nullptr)
            return false;
        // XDestroyImage frees the pixels with free().
        image->data = static_cast<char *>(std::calloc(static_cast<std::size_t>(image->bytes_per_line), height));
        if (image->data == nullptr) {
            XDestroyImage(image);
            return false;
        }
        FImage = image;
    }
    std::memset(FImage->data, 0, static_cast<std::size_t>(FImage->bytes_per_line) * height);
    FTarget = LetterboxRect(width, height, FFrameWidth, FFrameHeight);
    FSourceColumns.resize(static_cast<std::size_t>(FTarget.Width()));
    for (int x = 0; x < FTarget.Width(); ++x)
        FSourceColumns[x] = static_cast<int>(static_cast<long long>(x) * FFrameWidth / FTarget.Width());
    return true;
}

void TX11WindowPresenter::DestroyImage()
{
    if (FImage == nullptr)
        return;
    if (FShared) {
        auto *info = static_cast<XShmSegmentInfo *>(FSharedInfo);
        XShmDetach(FConnection, info);
        XSync(FConnection, False);
        shmdt(info->shmaddr);
        FImage->data = nullptr;
        delete info;
        FSharedInfo = nullptr;
        FShared = false;
    }
    XDestroyImage(FImage);
    FImage = nullptr;
}

void TX11WindowPresenter::FollowWindowSize()
{
    Display *display = FConnection;
    int width = FWindowWidth;
    int height = FWindowHeight;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ConfigureNotify && event.xconfigure.window == FWindow) {
            width = event.xconfigure.width;
            height = event.xconfigure.height;
        }
    }
    if (width != FWindowWidth || height != FWindowHeight)
        CreateImage(width, height);
}

void TX11WindowPresenter::Compose(const Imaging::TBitmap32 &frame)
{
    const bool direct = SameLayoutAsFrames(*FImage);
    const auto &levels = FLevels;
    for (int y = 0; y < FTarget.Height(); ++y) {
        const std::uint32_t *source = frame.Row(static_cast<int>(static_cast<long long>(y) * FFrameHeight / FTarget.Height()));
        const int row = FTarget.Top + y;
        auto *target = reinterpret_cast<std::uint32_t *>(FImage->data + static_cast<std::ptrdiff_t>(row) * FImage->bytes_per_line) +
                       FTarget.Left;
        for (int x = 0; x < FTarget.Width(); ++x) {
            std::uint32_t pixel = source[FSourceColumns[x]];
            if (!FLevelsIdentity)
                pixel = static_cast<std::uint32_t>(levels[0][(pixel >> 16) & 0xFF]) << 16 |
                        static_cast<std::uint32_t>(levels[1][(pixel >> 8) & 0xFF]) << 8 | levels[2][pixel & 0xFF];
            if (direct)
                target[x] = pixel & 0xFFFFFFu;
            else
                XPutPixel(FImage, FTarget.Left + x, row,
                          Place((pixel >> 16) & 0xFF, FImage->red_mask) | Place((pixel >> 8) & 0xFF, FImage->green_mask) |
                              Place(pixel & 0xFF, FImage->blue_mask));
        }
    }
}

void TX11WindowPresenter::Present(const Imaging::TBitmap32 &frame)
{
    std::lock_guard lock(FMutex);
    if (FConnection == nullptr || frame.Width() != FFrameWidth || frame.Height() != FFrameHeight)
        return;
    FollowWindowSize();
    if (FImage == nullptr)
        return;
    Compose(frame);
    Display *display = FConnection;
    const auto width = static_cast<unsigned>(FWindowWidth);
    const auto height = static_cast<unsigned>(FWindowHeight);
    if (FShared)
        XShmPutImage(display, FWindow, FGc, FImage, 0, 0, 0, 0, width, height, False);
    else
        XPutImage(display, FWindow, FGc, FImage, 0, 0, 0, 0, width, height);
    // The shared image is written again only after the server has read it.
    XSync(display, False);
}

bool TX11WindowPresenter::SupportsGamma()
{
    std::lock_guard lock(FMutex);
    return FConnection != nullptr;
}

bool TX11WindowPresenter::SetGammaRamp(const TGammaRamp &ramp)
{
    std::lock_guard lock(FMutex);
    if (FConnection == nullptr)
        return false;
    bool identity = true;
    for (int i = 0; i < 256; ++i) {
        FLevels[0][i] = static_cast<std::uint8_t>(ramp.Red[i] >> 8);
        FLevels[1][i] = static_cast<std::uint8_t>(ramp.Green[i] >> 8);
        FLevels[2][i] = static_cast<std::uint8_t>(ramp.Blue[i] >> 8);
        identity = identity && FLevels[0][i] == i && FLevels[1][i] == i && FLevels[2][i] == i;
    }
    FLevelsIdentity = identity;
    return true;
}

void TX11WindowPresenter::Close()
{
    std::lock_guard lock(FMutex);
    Release();
}

void TX11WindowPresenter::Release()
{
    if (FConnection == nullptr)
        return;
    DestroyImage();
    if (FGc != nullptr)
        XFreeGC(FConnection, FGc);
    FGc = nullptr;
    XCloseDisplay(FConnection);
    FConnection = nullptr;
    FWindow = 0;
    FWindowWidth = FWindowHeight = 0;
}

} // namespace Halcyra::Platform
