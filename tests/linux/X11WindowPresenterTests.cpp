// The display programs' presenter on an X server of the test's own: the frame scaled into the window
// with its aspect kept and black bars, the new size followed, and the brightness applied to the
// picture rather than to the screen.
#include "linux/OwnXServer.h"
#include "linux/ProgramRuns.h"
#include "platform/linux/X11WindowPresenter.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>

namespace Halcyra::Platform {
namespace {

using Testing::WindowPixel;

TEST(X11WindowPresenter, ScalesIntoTheWindowFollowsItsSizeAndBrightensThePicture)
{
    Testing::TOwnXServer server;
    if (server.Name.empty())
        GTEST_SKIP() << "Xvfb could not be started";
    setenv("DISPLAY", server.Name.c_str(), 1);
    Display *display = XOpenDisplay(server.Name.c_str());
    ASSERT_NE(display, nullptr);
    CountX11Errors();
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    const Window window = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 400, 200, 0, CopyFromParent, InputOutput,
                                        CopyFromParent, CWOverrideRedirect, &attributes);
    XMapWindow(display, window);
    XSync(display, False);

    auto frame = Imaging::TBitmap32::Create(8, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            frame->SetPixel(x, y, 0x404040);
    TX11WindowPresenter presenter;
    ASSERT_TRUE(presenter.Open(window, 8, 6));
    EXPECT_TRUE(presenter.SupportsGamma());
    TGammaRamp brighter;
    for (int i = 0; i < 256; ++i)
        brighter.Red[i] = brighter.Green[i] = brighter.Blue[i] = static_cast<std::uint16_t>(std::min(i * 400, 65535));
    ASSERT_TRUE(presenter.SetGammaRamp(brighter));
    presenter.Present(*frame);

    // 400 × 200 is wider than 4:3: 266 pixels wide from x 67.
    EXPECT_EQ(WindowPixel(display, window, 200, 100), 0x646464u) << "0x40 × 400 / 256";
    EXPECT_EQ(WindowPixel(display, window, 66, 100), 0u);
    EXPECT_EQ(WindowPixel(display, window, 67, 100), 0x646464u);
    EXPECT_EQ(WindowPixel(display, window, 333, 100), 0u);

    // 300 × 300 is taller: 225 pixels high from y 37.
    XResizeWindow(display, window, 300, 300);
    XSync(display, False);
    presenter.Present(*frame);
    EXPECT_EQ(WindowPixel(display, window, 150, 36), 0u);
    EXPECT_EQ(WindowPixel(display, window, 150, 37), 0x646464u);
    EXPECT_EQ(WindowPixel(display, window, 299, 261), 0x646464u);
    EXPECT_EQ(WindowPixel(display, window, 150, 262), 0u);

    presenter.Close();
    EXPECT_FALSE(presenter.SupportsGamma());
    XCloseDisplay(display);
}

} // namespace
} // namespace Halcyra::Platform
