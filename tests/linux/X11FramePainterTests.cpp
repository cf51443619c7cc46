// The frame painter on X servers of the test's own, with the server scaling and with the painter
// scaling: every pixel of the window for a wider, a taller and a 4K window and a resize while
// running, frames that change in a few places, a window exposed again, a picture too large for one
// image, and servers that offer no shared memory or cannot attach ours. Every frame pixel tells its
// own place, so a pixel of the window shows which one it was taken from.
#include "linux/OwnXServer.h"
#include "platform/linux/X11FramePainter.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Halcyra::Platform {
namespace {

constexpr int FrameWidth = 1024;
constexpr int FrameHeight = 768;

// The frame pixel of (x, y): the column in the upper bits, the row in the lower ten.
std::uint32_t Coded(int x, int y)
{
    return static_cast<std::uint32_t>(x) << 10 | static_cast<std::uint32_t>(y);
}

Imaging::TBitmap32 CodedFrame()
{
    auto frame = Imaging::TBitmap32::Create(FrameWidth, FrameHeight);
    for (int y = 0; y < FrameHeight; ++y)
        for (int x = 0; x < FrameWidth; ++x)
            frame->SetPixel(x, y, Coded(x, y));
    return std::move(*frame);
}

// The frame's column (or row) that pixel i of a place `target` wide shows: sampled at the pixel's
// centre, in steps of source / target in 16.16 fixed point, as the full screen has always scaled.
int Sampled(int i, int source, int target)
{
    const std::uint32_t step = (static_cast<std::uint32_t>(source) << 16) / static_cast<std::uint32_t>(target);
    return static_cast<int>((step / 2 + static_cast<std::uint64_t>(i) * step) >> 16);
}

class X11FramePainterTest : public ::testing::TestWithParam<TX11Scaling> {
protected:
    explicit X11FramePainterTest(const std::vector<std::string> &serverArguments = {"-screen", "0", "3840x2160x24"},
                                 const std::vector<std::string> &launcher = {})
        : FServer(serverArguments, launcher)
    {
    }

    void SetUp() override
    {
        if (FServer.Name.empty())
            GTEST_SKIP() << "Xvfb could not be started";
        setenv("DISPLAY", FServer.Name.c_str(), 1);
        FDisplay = XOpenDisplay(FServer.Name.c_str());
        ASSERT_NE(FDisplay, nullptr);
    }

    void TearDown() override
    {
        if (FDisplay != nullptr)
            XCloseDisplay(FDisplay);
    }

    Window CreateWindow(int x, int y, int width, int height)
    {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = BlackPixel(FDisplay, DefaultScreen(FDisplay));
        const Window window = XCreateWindow(FDisplay, DefaultRootWindow(FDisplay), x, y, static_cast<unsigned>(width),
                                            static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                            CWOverrideRedirect | CWBackPixel, &attributes);
        XMapWindow(FDisplay, window);
        XSync(FDisplay, False);
        return window;
    }

    // Compares the part of the window that lies on the screen with the frame scaled into a
    // width × height window: letterboxed, black around. Reports the first pixels that differ.
    void ExpectShows(Window window, int width, int height, const Imaging::TBitmap32 &frame)
    {
        const int visibleWidth = std::min(width, DisplayWidth(FDisplay, DefaultScreen(FDisplay)));
        const int visibleHeight = std::min(height, DisplayHeight(FDisplay, DefaultScreen(FDisplay)));
        XImage *image = XGetImage(FDisplay, window, 0, 0, static_cast<unsigned>(visibleWidth), static_cast<unsigned>(visibleHeight),
                                  AllPlanes, ZPixmap);
        ASSERT_NE(image, nullptr);
        const TRect target = LetterboxRect(width, height, FrameWidth, FrameHeight);
        int wrong = 0;
        for (int y = 0; y < visibleHeight && wrong < 5; ++y) {
            const bool rowInside = y >= target.Top && y < target.Bottom;
            const int sourceRow = rowInside ? Sampled(y - target.Top, FrameHeight, target.Height()) : 0;
            for (int x = 0; x < visibleWidth && wrong < 5; ++x) {
                const bool inside = rowInside && x >= target.Left && x < target.Right;
                const std::uint32_t expected =
                    inside ? frame.GetPixel(Sampled(x - target.Left, FrameWidth, target.Width()), sourceRow) : 0u;
                const auto shown = static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF);
                if (shown != expected) {
                    ADD_FAILURE() << width << " × " << height << " at (" << x << ", " << y << "): shows 0x" << std::hex << shown
                                  << ", expected 0x" << expected << (inside ? "" : " (a black bar)");
                    ++wrong;
                }
            }
        }
        XDestroyImage(image);
    }

    Testing::TOwnXServer FServer;
    Display *FDisplay = nullptr;
};

TEST_P(X11FramePainterTest, ScalesIntoWiderTallerAnd4KWindowsAndFollowsTheirNewSize)
{
    const Imaging::TBitmap32 frame = CodedFrame();
    // The frame's first and last columns and rows reach the picture's edges.
    EXPECT_EQ(Sampled(0, FrameWidth, 1440), 0);
    EXPECT_EQ(Sampled(1439, FrameWidth, 1440), FrameWidth - 1);
    EXPECT_EQ(Sampled(2159, FrameHeight, 2160), FrameHeight - 1);
    const Window window = CreateWindow(0, 0, 1920, 1080);
    TX11FramePainter painter(GetParam());
    ASSERT_TRUE(painter.Open(window, FrameWidth, FrameHeight));
    EXPECT_EQ(painter.ServerScales(), GetParam() == TX11Scaling::ServerWhereOffered) << "this server offers RENDER";
    painter.Paint(frame);
    {
        SCOPED_TRACE("wider than 4:3");
        ExpectShows(window, 1920, 1080, frame);
    }
    // The window changes its size while frames come.
    for (const auto &[width, height] : {std::pair{1280, 1024}, {3840, 2160}, {1024, 768}, {640, 400}}) {
        SCOPED_TRACE(std::to_string(width) + " × " + std::to_string(height));
        XResizeWindow(FDisplay, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
        XSync(FDisplay, False);
        painter.Paint(frame);
        ExpectShows(window, width, height, frame);
    }
}

TEST_P(X11FramePainterTest, AFrameThatChangesInAFewPlacesShowsWhole)
{
    Imaging::TBitmap32 frame = CodedFrame();
    const Window window = CreateWindow(0, 0, 1920, 1080);
    TX11FramePainter painter(GetParam());
    ASSERT_TRUE(painter.Open(window, FrameWidth, FrameHeight));
    painter.Paint(frame);
    // One pixel, the last column and row, and a block across the corner of four tiles.
    Imaging::TBitmap32 changed = frame;
    changed.SetPixel(500, 400, 0x00FFFFFFu);
    changed.SetPixel(FrameWidth - 1, FrameHeight - 1, 0x00FF0000u);
    for (int y = 10; y < 20; ++y)
        for (int x = 60; x < 70; ++x)
            changed.SetPixel(x, y, 0x0000FF00u);
    painter.Paint(changed);
    ExpectShows(window, 1920, 1080, changed);
    painter.Paint(frame);
    ExpectShows(window, 1920, 1080, frame);
}

TEST_P(X11FramePainterTest, AnExposedWindowIsPaintedWholeAgain)
{
    const Imaging::TBitmap32 frame = CodedFrame();
    const Window window = CreateWindow(0, 0, 1280, 1024);
    TX11FramePainter painter(GetParam());
    ASSERT_TRUE(painter.Open(window, FrameWidth, FrameHeight));
    painter.Paint(frame);
    // A window over it comes and goes: the server clears what it uncovers to black.
    const Window over = CreateWindow(0, 50, 600, 300);
    XDestroyWindow(FDisplay, over);
    XSync(FDisplay, False);
    painter.Paint(frame);
    ExpectShows(window, 1280, 1024, frame);
}

INSTANTIATE_TEST_SUITE_P(BothScalings, X11FramePainterTest,
                         ::testing::Values(TX11Scaling::ServerWhereOffered, TX11Scaling::PainterOnly),
                         [](const auto &info) { return info.param == TX11Scaling::PainterOnly ? "Painter" : "Server"; });

TEST_F(X11FramePainterTest, APictureLargerThanTheImageGoesInBands)
{
    const Imaging::TBitmap32 frame = CodedFrame();
    // 8192 × 6144 pixels of picture would take 192 MiB at once; the screen shows its upper rows.
    const Window window = CreateWindow(0, 0, 8192, 8192);
    TX11FramePainter painter(TX11Scaling::PainterOnly);
    ASSERT_TRUE(painter.Open(window, FrameWidth, FrameHeight));
    painter.Paint(frame);
    EXPECT_LE(painter.ImageBytes(), std::size_t{32} << 20);
    ExpectShows(window, 8192, 8192, frame);
}

// A server that offers no shared memory: the picture goes through the socket.
class X11FramePainterWithoutSharedMemory : public X11FramePainterTest {
protected:
    X11FramePainterWithoutSharedMemory() : X11FramePainterTest({"-extension", "MIT-SHM"}) {}
};

TEST_F(X11FramePainterWithoutSharedMemory, ScalesItselfAndPutsThePicture)
{
    const Imaging::TBitmap32 frame = CodedFrame();
    const Window window = CreateWindow(0, 0, 1024, 700);
    TX11FramePainter painter;
    ASSERT_TRUE(painter.Open(window, FrameWidth, FrameHeight));
    EXPECT_FALSE(painter.ServerScales());
    painter.Paint(frame);
    ExpectShows(window, 1024, 700, frame);
}

// A server of another user, who may not attach the program's memory (it is the program's alone):
// every attachment fails, and the painter goes on through the socket.
class X11FramePainterOnAnotherUsersServer : public X11FramePainterTest {
protected:
    X11FramePainterOnAnotherUsersServer() : X11FramePainterTest({"-ac"}, {"runuser", "-u", "halcyra-saver", "--"}) {}
};

TEST_F(X11FramePainterOnAnotherUsersServer, FallsBackWhenTheServerCannotAttachTheMemory)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run the server as another user";
    const Imaging::TBitmap32 frame = CodedFrame();
    const Window window = CreateWindow(0, 0, 900, 768);
    TX11FramePainter painter;
    ASSERT_TRUE(painter.Open(window, FrameWidth, FrameHeight));
    EXPECT_FALSE(painter.ServerScales());
    painter.Paint(frame);
    ExpectShows(window, 900, 768, frame);
}

TEST(X11ErrorTrap, CountsOnlyTheErrorsOfItsOwnConnection)
{
    Testing::TOwnXServer server;
    if (server.Name.empty())
        GTEST_SKIP() << "Xvfb could not be started";
    Display *own = XOpenDisplay(server.Name.c_str());
    Display *other = XOpenDisplay(server.Name.c_str());
    ASSERT_NE(own, nullptr);
    ASSERT_NE(other, nullptr);
    {
        TX11ErrorTrap trap(own);
        XDestroyWindow(other, 0x7FFFFF);
        XSync(other, False);
        EXPECT_FALSE(trap.Failed()) << "another connection's error counted";
        XDestroyWindow(own, 0x7FFFFF);
        EXPECT_TRUE(trap.Failed());
    }
    TX11ErrorTrap later(own);
    EXPECT_FALSE(later.Failed()) << "an error before the trap counted";
    XCloseDisplay(other);
    XCloseDisplay(own);
}

} // namespace
} // namespace Halcyra::Platform
