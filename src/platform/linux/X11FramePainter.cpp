// The frame painter: what changed in a frame is found tile by tile, the X server scales it into the
// window from a shared-memory pixmap of the frame (RENDER's transform, nearest filter), or the
// painter scales it into an image of the picture's size and puts that. Both take the same source
// pixel for every window pixel. The letterbox bars are painted when the window appears, is exposed
// or changes its size; the frames paint only the picture.
#include "platform/linux/X11FramePainter.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrender.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace Halcyra::Platform {

namespace {

// The tiles a frame is compared in: a row of a tile is a few cache lines.
constexpr int TileWidth = 64;
constexpr int TileHeight = 16;
// The largest image the painter scales into: a larger picture goes to the window in bands of rows
// through it (a window of 32767 × 32767 would otherwise ask for 4 GiB).
constexpr std::size_t MaxImageBytes = std::size_t{32} << 20;

std::mutex GTrapsLock;
std::vector<TX11ErrorTrap *> GTraps;

int CountError(Display *display, XErrorEvent *)
{
    TX11ErrorTrap::CountErrorOf(display);
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

// The 8 bits of a channel under a mask of any width.
std::uint32_t Take(unsigned long pixel, unsigned long mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const unsigned long value = (pixel & mask) >> shift;
    return static_cast<std::uint32_t>(bits >= 8 ? value >> (bits - 8) : value << (8 - bits));
}

// Whether the server keeps pixmaps of depth 24 in 32-bit words, as the frames are.
bool Depth24PixmapsAre32Bits(Display *display)
{
    int count = 0;
    XPixmapFormatValues *formats = XListPixmapFormats(display, &count);
    bool found = false;
    for (int i = 0; i < count; ++i)
        found = found || (formats[i].depth == 24 && formats[i].bits_per_pixel == 32 && formats[i].scanline_pad == 32);
    if (formats != nullptr)
        XFree(formats);
    return found;
}

void ForwardAndBack(std::vector<int> &forward, std::vector<int> &back, int target, int source, std::uint32_t step)
{
    forward.resize(static_cast<std::size_t>(target));
    for (int i = 0; i < target; ++i)
        forward[static_cast<std::size_t>(i)] = static_cast<int>((step / 2 + static_cast<std::uint64_t>(i) * step) >> 16);
    back.resize(static_cast<std::size_t>(source) + 1);
    int i = 0;
    for (int s = 0; s <= source; ++s) {
        while (i < target && forward[static_cast<std::size_t>(i)] < s)
            ++i;
        back[static_cast<std::size_t>(s)] = i;
    }
}

// A segment of shared memory attached by the X server too; the server is told to let go of it, and
// has let go, before the memory goes.
class TSharedSegment {
public:
    TSharedSegment() = default;
    ~TSharedSegment() { Release(); }
    TSharedSegment(const TSharedSegment &) = delete;
    TSharedSegment &operator=(const TSharedSegment &) = delete;

    bool Attach(Display *display, std::size_t bytes)
    {
        Release();
        FInfo = XShmSegmentInfo{};
        FInfo.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (FInfo.shmid < 0)
            return false;
        void *memory = shmat(FInfo.shmid, nullptr, 0);
        // Marked for removal at once: it goes when the last of the server and us lets go.
        shmctl(FInfo.shmid, IPC_RMID, nullptr);
        if (memory == reinterpret_cast<void *>(-1))
            return false;
        FInfo.shmaddr = static_cast<char *>(memory);
        FInfo.readOnly = False;
        TX11ErrorTrap trap(display);
        const bool attached = XShmAttach(display, &FInfo) != 0 && !trap.Failed();
        FDisplay = display;
        if (!attached) {
            // The server may hold the segment although the attachment failed: it lets go too.
            XShmDetach(display, &FInfo);
            XSync(display, False);
            shmdt(FInfo.shmaddr);
            FInfo = XShmSegmentInfo{};
            FDisplay = nullptr;
            return false;
        }
        return true;
    }

    void Release()
    {
        if (FDisplay == nullptr)
            return;
        XShmDetach(FDisplay, &FInfo);
        XSync(FDisplay, False);
        shmdt(FInfo.shmaddr);
        FInfo = XShmSegmentInfo{};
        FDisplay = nullptr;
    }

    XShmSegmentInfo &Info() { return FInfo; }
    char *Memory() const { return FInfo.shmaddr; }

private:
    Display *FDisplay = nullptr;
    XShmSegmentInfo FInfo{};
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Errors

void CountX11Errors()
{
    XSetErrorHandler(CountError);
}

TX11ErrorTrap::TX11ErrorTrap(_XDisplay *connection) : FConnection(connection)
{
    CountX11Errors();
    // Errors of requests made before the trap are not its own.
    XSync(connection, False);
    std::lock_guard lock(GTrapsLock);
    GTraps.push_back(this);
}

TX11ErrorTrap::~TX11ErrorTrap()
{
    std::lock_guard lock(GTrapsLock);
    std::erase(GTraps, this);
}

bool TX11ErrorTrap::Failed()
{
    XSync(FConnection, False);
    std::lock_guard lock(GTrapsLock);
    return FErrors != 0;
}

void TX11ErrorTrap::CountErrorOf(_XDisplay *connection)
{
    std::lock_guard lock(GTrapsLock);
    for (TX11ErrorTrap *trap : GTraps)
        if (trap->FConnection == connection)
            ++trap->FErrors;
}

// ---------------------------------------------------------------------------------------------
// The scale

TRect LetterboxRect(int windowWidth, int windowHeight, int width, int height)
{
    if (windowWidth <= 0 || windowHeight <= 0 || width <= 0 || height <= 0)
        return TRect{};
    // Compare windowWidth / windowHeight with width / height without rounding.
    const auto wide = static_cast<long long>(windowWidth) * height;
    const auto tall = static_cast<long long>(windowHeight) * width;
    int targetWidth = windowWidth;
    int targetHeight = windowHeight;
    if (wide > tall)
        targetWidth = static_cast<int>(tall / height);
    else if (wide < tall)
        targetHeight = static_cast<int>(wide / width);
    const int left = (windowWidth - targetWidth) / 2;
    const int top = (windowHeight - targetHeight) / 2;
    return TRect{left, top, left + targetWidth, top + targetHeight};
}

TLetterboxScale::TLetterboxScale(int windowWidth, int windowHeight, int frameWidth, int frameHeight)
    : FTarget(LetterboxRect(windowWidth, windowHeight, frameWidth, frameHeight))
{
    if (FTarget.Width() <= 0 || FTarget.Height() <= 0) {
        FTarget = TRect{};
        return;
    }
    FStepX = (static_cast<std::uint32_t>(frameWidth) << 16) / static_cast<std::uint32_t>(FTarget.Width());
    FStepY = (static_cast<std::uint32_t>(frameHeight) << 16) / static_cast<std::uint32_t>(FTarget.Height());
    ForwardAndBack(FColumns, FFirstColumns, FTarget.Width(), frameWidth, FStepX);
    ForwardAndBack(FRows, FFirstRows, FTarget.Height(), frameHeight, FStepY);
}

// ---------------------------------------------------------------------------------------------
// The painter's resources

void TX11FramePainter::TCloseConnection::operator()(_XDisplay *connection) const
{
    XCloseDisplay(connection);
}

// The server's side of its scaling: the frame in a shared-memory pixmap, and the pictures that
// RENDER composites from and into.
struct TX11FramePainter::TServerScaling {
    Display *Connection = nullptr;
    TSharedSegment Shown;
    Pixmap Source = 0;
    Picture SourcePicture = 0;
    Picture WindowPicture = 0;

    ~TServerScaling()
    {
        if (WindowPicture != 0)
            XRenderFreePicture(Connection, WindowPicture);
        if (SourcePicture != 0)
            XRenderFreePicture(Connection, SourcePicture);
        if (Source != 0)
            XFreePixmap(Connection, Source);
        // The segment goes after the pixmap that lives in it.
    }
};

// The image the painter scales into: the picture's width and at most MaxImageBytes of rows, in
// shared memory where the server offers it.
struct TX11FramePainter::TPainterImage {
    TSharedSegment Shared;
    XImage *Image = nullptr;
    bool InShared = false;
    int Rows = 0;

    ~TPainterImage()
    {
        if (Image == nullptr)
            return;
        // The shared memory is not XDestroyImage's to free; memory of our own it frees with free().
        if (InShared)
            Image->data = nullptr;
        XDestroyImage(Image);
    }
};

// ---------------------------------------------------------------------------------------------
// Opening and closing

TX11FramePainter::TX11FramePainter(TX11Scaling scaling) : FScaling(scaling)
{
}

TX11FramePainter::~TX11FramePainter()
{
    Close();
}

bool TX11FramePainter::Open(unsigned long window, int frameWidth, int frameHeight)
{
    Close();
    if (frameWidth <= 0 || frameHeight <= 0)
        return false;
    FConnection.reset(XOpenDisplay(nullptr));
    if (FConnection == nullptr)
        return false;
    Display *display = FConnection.get();
    XWindowAttributes attributes;
    {
        TX11ErrorTrap trap(display);
        if (XGetWindowAttributes(display, window, &attributes) == 0 || trap.Failed()) {
            FConnection.reset();
            return false;
        }
    }
    FWindow = window;
    FVisual = attributes.visual;
    FDepth = attributes.depth;
    FFrameWidth = frameWidth;
    FFrameHeight = frameHeight;
    // A new size and the parts to paint again come as events; nothing else of the window is asked for.
    XSelectInput(display, window, StructureNotifyMask | ExposureMask);
    FGc = XCreateGC(display, window, 0, nullptr);
    const std::size_t tiles = static_cast<std::size_t>((frameWidth + TileWidth - 1) / TileWidth) *
                              static_cast<std::size_t>((frameHeight + TileHeight - 1) / TileHeight);
    FChanged.reserve(tiles);
    FOpenChanges.reserve(tiles);
    FNextOpenChanges.reserve(tiles);
    if (!StartServerScaling()) {
        FShownHere.assign(static_cast<std::size_t>(frameWidth) * static_cast<std::size_t>(frameHeight), 0);
        FShown = FShownHere.data();
    }
    Resize(attributes.width, attributes.height);
    return true;
}

bool TX11FramePainter::StartServerScaling()
{
    if (FScaling != TX11Scaling::ServerWhereOffered)
        return false;
    Display *display = FConnection.get();
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRenderQueryExtension(display, &eventBase, &errorBase) || !XRenderQueryVersion(display, &major, &minor) ||
        (major == 0 && minor < 6))
        return false;
    Bool sharedPixmaps = False;
    if (!XShmQueryExtension(display) || !XShmQueryVersion(display, &major, &minor, &sharedPixmaps) || !sharedPixmaps ||
        XShmPixmapFormat(display) != ZPixmap || !Depth24PixmapsAre32Bits(display))
        return false;
    XRenderPictFormat *windowFormat = XRenderFindVisualFormat(display, static_cast<Visual *>(FVisual));
    XRenderPictFormat *frameFormat = XRenderFindStandardFormat(display, PictStandardRGB24);
    if (windowFormat == nullptr || frameFormat == nullptr)
        return false;
    auto scaling = std::make_unique<TServerScaling>();
    scaling->Connection = display;
    const std::size_t bytes = static_cast<std::size_t>(FFrameWidth) * static_cast<std::size_t>(FFrameHeight) * 4;
    if (!scaling->Shown.Attach(display, bytes))
        return false;
    TX11ErrorTrap trap(display);
    scaling->Source = XShmCreatePixmap(display, FWindow, scaling->Shown.Memory(), &scaling->Shown.Info(),
                                       static_cast<unsigned>(FFrameWidth), static_cast<unsigned>(FFrameHeight), 24);
    scaling->SourcePicture = XRenderCreatePicture(display, scaling->Source, frameFormat, 0, nullptr);
    XRenderSetPictureFilter(display, scaling->SourcePicture, FilterNearest, nullptr, 0);
    scaling->WindowPicture = XRenderCreatePicture(display, FWindow, windowFormat, 0, nullptr);
    if (trap.Failed())
        return false;
    FShown = reinterpret_cast<std::uint32_t *>(scaling->Shown.Memory());
    std::memset(FShown, 0, bytes);
    FServerScaling = std::move(scaling);
    return true;
}

void TX11FramePainter::Close()
{
    if (FConnection == nullptr)
        return;
    FImage.reset();
    FServerScaling.reset();
    if (FGc != nullptr)
        XFreeGC(FConnection.get(), static_cast<GC>(FGc));
    FGc = nullptr;
    FConnection.reset();
    FShown = nullptr;
    FShownHere.clear();
    FShownHere.shrink_to_fit();
    FWindow = 0;
    FWindowWidth = FWindowHeight = 0;
    FScale = TLetterboxScale{};
    FRepaintAll = true;
    FServerReading = false;
}

// ---------------------------------------------------------------------------------------------
// The window

void TX11FramePainter::FollowWindow()
{
    Display *display = FConnection.get();
    int width = FWindowWidth;
    int height = FWindowHeight;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ConfigureNotify && event.xconfigure.window == FWindow) {
            width = event.xconfigure.width;
            height = event.xconfigure.height;
        } else if (event.type == Expose && event.xexpose.window == FWindow) {
            FRepaintAll = true;
        }
    }
    if (width != FWindowWidth || height != FWindowHeight)
        Resize(width, height);
}

void TX11FramePainter::Resize(int width, int height)
{
    FWindowWidth = width;
    FWindowHeight = height;
    FScale = TLetterboxScale(width, height, FFrameWidth, FFrameHeight);
    FRepaintAll = true;
    FImage.reset();
    const TRect &target = FScale.Target();
    if (target.Width() <= 0)
        return;
    Display *display = FConnection.get();
    if (FServerScaling) {
        const auto x = static_cast<XFixed>(FScale.StepX());
        const auto y = static_cast<XFixed>(FScale.StepY());
        // RENDER samples at the centre of each window pixel and rounds a half down; the translation of
        // one 1/65536 (none for an odd step) makes that the painter's column and row for every pixel.
        XTransform transform{{{x, 0, 1 - (x & 1)}, {0, y, 1 - (y & 1)}, {0, 0, 1 << 16}}};
        XRenderSetPictureTransform(display, FServerScaling->SourcePicture, &transform);
        return;
    }
    auto image = std::make_unique<TPainterImage>();
    const auto rowBytes = static_cast<std::size_t>(target.Width()) * 4;
    image->Rows = static_cast<int>(std::clamp<std::size_t>(MaxImageBytes / rowBytes, 1, static_cast<std::size_t>(target.Height())));
    auto *visual = static_cast<Visual *>(FVisual);
    const auto imageWidth = static_cast<unsigned>(target.Width());
    const auto imageRows = static_cast<unsigned>(image->Rows);
    // Shared memory spares the copy through the socket; a server elsewhere refuses it.
    if (XShmQueryExtension(display)) {
        image->Image = XShmCreateImage(display, visual, static_cast<unsigned>(FDepth), ZPixmap, nullptr, &image->Shared.Info(),
                                       imageWidth, imageRows);
        if (image->Image != nullptr &&
            image->Shared.Attach(display, static_cast<std::size_t>(image->Image->bytes_per_line) * imageRows)) {
            image->Image->data = image->Shared.Memory();
            image->InShared = true;
        } else if (image->Image != nullptr) {
            image->Image->data = nullptr;
            XDestroyImage(image->Image);
            image->Image = nullptr;
        }
    }
    if (image->Image == nullptr) {
        image->Image = XCreateImage(display, visual, static_cast<unsigned>(FDepth), ZPixmap, 0, nullptr, imageWidth, imageRows, 32, 0);
        if (image->Image == nullptr)
            return;
        // XDestroyImage frees the pixels with free().
        image->Image->data = static_cast<char *>(std::calloc(static_cast<std::size_t>(image->Image->bytes_per_line), imageRows));
        if (image->Image->data == nullptr) {
            XDestroyImage(image->Image);
            image->Image = nullptr;
            return;
        }
    }
    FImage = std::move(image);
}

void TX11FramePainter::PaintBars()
{
    const TRect &target = FScale.Target();
    XRectangle bars[4];
    int count = 0;
    const auto add = [&](int left, int top, int right, int bottom) {
        if (right > left && bottom > top)
            bars[count++] = XRectangle{static_cast<short>(left), static_cast<short>(top), static_cast<unsigned short>(right - left),
                                       static_cast<unsigned short>(bottom - top)};
    };
    if (target.Width() <= 0) {
        add(0, 0, FWindowWidth, FWindowHeight);
    } else {
        add(0, 0, FWindowWidth, target.Top);
        add(0, target.Bottom, FWindowWidth, FWindowHeight);
        add(0, target.Top, target.Left, target.Bottom);
        add(target.Right, target.Top, FWindowWidth, target.Bottom);
    }
    // The graphics context's foreground is pixel 0: black in the true-colour visuals of today.
    if (count > 0)
        XFillRectangles(FConnection.get(), FWindow, static_cast<GC>(FGc), bars, count);
}

void TX11FramePainter::WaitForServer()
{
    if (FServerReading)
        XSync(FConnection.get(), False);
    FServerReading = false;
}

// ---------------------------------------------------------------------------------------------
// Frames

void TX11FramePainter::Paint(const Imaging::TBitmap32 &frame, const TChannelLevels *levels)
{
    if (FConnection == nullptr || frame.Width() != FFrameWidth || frame.Height() != FFrameHeight)
        return;
    FollowWindow();
    if (FRepaintAll)
        PaintBars();
    if (FScale.Target().Width() > 0 && (FServerScaling || FImage != nullptr)) {
        TakeChanges(frame, levels);
        for (const TRect &change : FChanged) {
            if (FServerScaling)
                ScaleOnServer(change);
            else
                ScaleHere(change);
        }
        FRepaintAll = false;
    }
    // The frame is on the screen when Paint returns, and the shared memory is free to change.
    XSync(FConnection.get(), False);
    FServerReading = false;
}

void TX11FramePainter::TakeChanges(const Imaging::TBitmap32 &frame, const TChannelLevels *levels)
{
    FChanged.clear();
    FOpenChanges.clear();
    // A table changes every pixel, and a frame after an exposure is shown whole.
    const bool all = FRepaintAll || levels != nullptr;
    const auto pitch = static_cast<std::size_t>(FFrameWidth);
    for (int top = 0; top < FFrameHeight; top += TileHeight) {
        const int bottom = std::min(top + TileHeight, FFrameHeight);
        FNextOpenChanges.clear();
        int runLeft = -1;
        for (int left = 0;; left += TileWidth) {
            const int right = std::min(left + TileWidth, FFrameWidth);
            bool changed = false;
            if (left < FFrameWidth) {
                const auto bytes = static_cast<std::size_t>(right - left) * 4;
                for (int y = top; y < bottom && !changed; ++y)
                    changed = all || std::memcmp(frame.Row(y) + left, FShown + static_cast<std::size_t>(y) * pitch + left, bytes) != 0;
                for (int y = top; changed && y < bottom; ++y) {
                    const std::uint32_t *from = frame.Row(y) + left;
                    std::uint32_t *to = FShown + static_cast<std::size_t>(y) * pitch + left;
                    if (levels == nullptr) {
                        std::memcpy(to, from, bytes);
                        continue;
                    }
                    for (int x = 0; x < right - left; ++x) {
                        const std::uint32_t pixel = from[x];
                        to[x] = static_cast<std::uint32_t>((*levels)[0][(pixel >> 16) & 0xFF]) << 16 |
                                static_cast<std::uint32_t>((*levels)[1][(pixel >> 8) & 0xFF]) << 8 | (*levels)[2][pixel & 0xFF];
                    }
                }
            }
            if (changed && runLeft < 0)
                runLeft = left;
            if (!changed && runLeft >= 0) {
                AddChange(TRect{runLeft, top, std::min(left, FFrameWidth), bottom});
                runLeft = -1;
            }
            if (left >= FFrameWidth)
                break;
        }
        std::swap(FOpenChanges, FNextOpenChanges);
    }
}

void TX11FramePainter::AddChange(const TRect &run)
{
    // A run under one of the same columns that ended where this band starts makes it taller.
    for (const std::size_t index : FOpenChanges) {
        TRect &above = FChanged[index];
        if (above.Left == run.Left && above.Right == run.Right && above.Bottom == run.Top) {
            above.Bottom = run.Bottom;
            FNextOpenChanges.push_back(index);
            return;
        }
    }
    FNextOpenChanges.push_back(FChanged.size());
    FChanged.push_back(run);
}

void TX11FramePainter::ScaleOnServer(const TRect &change)
{
    const TRect &target = FScale.Target();
    const auto [left, top, right, bottom] = FScale.PlaceOf(change);
    if (right <= left || bottom <= top)
        return;
    // The source's place is the window pixel's place in the picture, which the transform maps.
    XRenderComposite(FConnection.get(), PictOpSrc, FServerScaling->SourcePicture, None, FServerScaling->WindowPicture, left, top, 0, 0,
                     target.Left + left, target.Top + top, static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top));
}

void TX11FramePainter::ScaleHere(const TRect &change)
{
    const TRect &target = FScale.Target();
    const auto [left, top, right, bottom] = FScale.PlaceOf(change);
    if (right <= left || bottom <= top)
        return;
    XImage &image = *FImage->Image;
    const bool direct = SameLayoutAsFrames(image);
    const bool banded = FImage->Rows < target.Height();
    const auto pitch = static_cast<std::size_t>(FFrameWidth);
    const auto bytes = static_cast<std::size_t>(right - left) * 4;
    Display *display = FConnection.get();
    for (int bandTop = top; bandTop < bottom; bandTop += FImage->Rows) {
        const int bandBottom = std::min(bandTop + FImage->Rows, bottom);
        // Rows of a banded image are those of whichever band goes next: the server must have read
        // the last one.
        if (banded)
            WaitForServer();
        const int imageTop = banded ? 0 : bandTop;
        int previousSource = -1;
        for (int y = bandTop; y < bandBottom; ++y) {
            const int imageRow = imageTop + y - bandTop;
            char *row = image.data + static_cast<std::ptrdiff_t>(imageRow) * image.bytes_per_line;
            const int sourceRow = FScale.SourceRow(y);
            const std::uint32_t *source = FShown + static_cast<std::size_t>(sourceRow) * pitch;
            if (!direct) {
                for (int x = left; x < right; ++x) {
                    const std::uint32_t pixel = source[FScale.SourceColumn(x)];
                    XPutPixel(&image, x, imageRow,
                              Place((pixel >> 16) & 0xFF, image.red_mask) | Place((pixel >> 8) & 0xFF, image.green_mask) |
                                  Place(pixel & 0xFF, image.blue_mask));
                }
                continue;
            }
            auto *out = reinterpret_cast<std::uint32_t *>(row);
            // A row that shows the same frame row as the one above is a copy of it.
            if (sourceRow == previousSource) {
                std::memcpy(out + left, reinterpret_cast<const std::uint32_t *>(row - image.bytes_per_line) + left, bytes);
                continue;
            }
            previousSource = sourceRow;
            for (int x = left; x < right; ++x)
                out[x] = source[FScale.SourceColumn(x)];
        }
        const auto width = static_cast<unsigned>(right - left);
        const auto height = static_cast<unsigned>(bandBottom - bandTop);
        if (FImage->InShared) {
            XShmPutImage(display, FWindow, static_cast<GC>(FGc), &image, left, imageTop, target.Left + left, target.Top + bandTop, width,
                         height, False);
            FServerReading = true;
        } else {
            XPutImage(display, FWindow, static_cast<GC>(FGc), &image, left, imageTop, target.Left + left, target.Top + bandTop, width,
                      height);
        }
    }
}

std::size_t TX11FramePainter::ImageBytes() const
{
    return FImage != nullptr ? static_cast<std::size_t>(FImage->Image->bytes_per_line) * static_cast<std::size_t>(FImage->Rows) : 0;
}

std::optional<Imaging::TBitmap32> TX11FramePainter::ReadBack()
{
    if (FConnection == nullptr)
        return std::nullopt;
    Display *display = FConnection.get();
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, FWindow, &attributes) == 0 || attributes.width <= 0 || attributes.height <= 0)
        return std::nullopt;
    TX11ErrorTrap trap(display);
    XImage *image = XGetImage(display, FWindow, 0, 0, static_cast<unsigned>(attributes.width), static_cast<unsigned>(attributes.height),
                              AllPlanes, ZPixmap);
    if (image == nullptr || trap.Failed()) {
        if (image != nullptr)
            XDestroyImage(image);
        return std::nullopt;
    }
    auto bitmap = Imaging::TBitmap32::Create(attributes.width, attributes.height);
    for (int y = 0; bitmap && y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            bitmap->Row(y)[x] = Take(pixel, image->red_mask) << 16 | Take(pixel, image->green_mask) << 8 | Take(pixel, image->blue_mask);
        }
    XDestroyImage(image);
    return bitmap;
}

} // namespace Halcyra::Platform
