// Tests of the Linux display's presenter: the aspect-keeping placement, frames reaching an SDL
// window on a real X server, the gamma ramp set or refused silently and given back at close, and the
// engine presenting through it.
#include "engine/Engine.h"
#include "linux/OwnXServer.h"
#include "platform/linux/SdlPresenter.h"
#include "support/EngineFakes.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <thread>

namespace Halcyra::Platform {
namespace {

TEST(LetterboxRect, KeepsTheAspectAndCentres)
{
    EXPECT_EQ(LetterboxRect(1024, 768, 1024, 768), (TRect{0, 0, 1024, 768}));
    EXPECT_EQ(LetterboxRect(1920, 1080, 1024, 768), (TRect{240, 0, 1680, 1080}));
    EXPECT_EQ(LetterboxRect(1280, 1024, 1024, 768), (TRect{0, 32, 1280, 992}));
    EXPECT_EQ(LetterboxRect(2048, 1536, 1024, 768), (TRect{0, 0, 2048, 1536}));
    EXPECT_EQ(LetterboxRect(0, 768, 1024, 768), TRect{});
}


TEST(SdlPresenter, FramesReachTheWindow)
{
    if (!Testing::UseProcessXServer())
        GTEST_SKIP() << "Xvfb could not be started";
    TSdlPresenter presenter;
    ASSERT_TRUE(presenter.Open(0, 1024, 768));
    EXPECT_TRUE(presenter.OwnsWindow());
    auto frame = Imaging::TBitmap32::Create(1024, 768);
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
            frame->SetPixel(x, y, x < 512 ? 0x00FF0000u : 0x000000FFu);
    presenter.Present(*frame);
    auto shown = presenter.ReadBack();
    ASSERT_TRUE(shown);
    const TRect target = LetterboxRect(shown->Width(), shown->Height(), 1024, 768);
    EXPECT_EQ(shown->GetPixel(target.Left + 10, target.Top + 10), 0x00FF0000u);
    EXPECT_EQ(shown->GetPixel(target.Right - 10, target.Bottom - 10), 0x000000FFu);
    presenter.Close();
    EXPECT_FALSE(presenter.ReadBack());
}

TEST(SdlPresenter, TakesTheApplicationsWindowAndShowsTheTimerThreadsFrames)
{
    if (!Testing::UseProcessXServer())
        GTEST_SKIP() << "Xvfb could not be started";
    ApplySdlHints();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    // The application makes its window, black until drawn.
    SDL_Window *window = CreateCoveringWindow("saver", TRect{0, 0, 1024, 768});
    ASSERT_NE(window, nullptr);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(window, &info));
    for (const TSdlPainting painting : {TSdlPainting::PainterWhereX11, TSdlPainting::WindowSurface}) {
        const bool painted = painting == TSdlPainting::PainterWhereX11;
        SCOPED_TRACE(painted ? "painted on the presenter's own connection" : "through the SDL window's surface");
        TSdlPresenter presenter(std::make_unique<TRandrGamma>(), painting);
        ASSERT_TRUE(presenter.Open(static_cast<TWindowHandle>(info.info.x11.window), 1024, 768));
        EXPECT_FALSE(presenter.OwnsWindow());
        EXPECT_EQ(presenter.Painted(), painted);
        auto frame = Imaging::TBitmap32::Create(1024, 768);
        frame->Fill(painted ? 0x00FF8000u : 0x000080FFu);
        std::thread timer([&] {
            for (int i = 0; i < 5; ++i)
                presenter.Present(*frame);
        });
        timer.join();
        auto waiting = presenter.ReadBack();
        ASSERT_TRUE(waiting);
        // The painter makes no SDL call: the frame shows at once. Through the surface it waits for
        // this thread's event loop.
        EXPECT_EQ(waiting->GetPixel(waiting->Width() / 2, waiting->Height() / 2), painted ? 0x00FF8000u : 0u);
        int announced = 0;
        SDL_Event event;
        while (SDL_PollEvent(&event))
            announced += TSdlPresenter::HandleEvent(event) ? 1 : 0;
        EXPECT_EQ(announced, painted ? 0 : 1) << "frames not yet shown are replaced, not queued";
        auto shown = presenter.ReadBack();
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->GetPixel(shown->Width() / 2, shown->Height() / 2), painted ? 0x00FF8000u : 0x000080FFu);
    }
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// A screen's gamma as the presenter reaches it: the ramp in effect, and whether it takes a new one.
struct TRecordedGamma final : IScreenGamma {
    TRecordedGamma(TGammaRamp &inEffect, bool takesRamps) : InEffect(inEffect), TakesRamps(takesRamps) {}
    bool Capture() override
    {
        Original = InEffect;
        return TakesRamps;
    }
    bool Apply(const TGammaRamp &ramp) override
    {
        if (TakesRamps)
            InEffect = ramp;
        return TakesRamps;
    }
    void Restore() override { InEffect = Original; }
    TGammaRamp &InEffect;
    TGammaRamp Original;
    bool TakesRamps;
};

TEST(SdlPresenter, GammaIsSetOrRefusedSilently)
{
    if (!Testing::UseProcessXServer())
        GTEST_SKIP() << "Xvfb could not be started";
    TGammaRamp original, half;
    for (int i = 0; i < 256; ++i) {
        original.Red[i] = static_cast<std::uint16_t>(i * 257);
        original.Green[i] = static_cast<std::uint16_t>(i * 250);
        original.Blue[i] = static_cast<std::uint16_t>(i * 240);
        half.Red[i] = half.Green[i] = half.Blue[i] = static_cast<std::uint16_t>(i * 128);
    }
    for (bool takesRamps : {true, false}) {
        SCOPED_TRACE(takesRamps ? "a window system that takes ramps" : "one that reads its ramp but refuses new ones");
        TGammaRamp inEffect = original;
        TSdlPresenter presenter(std::make_unique<TRecordedGamma>(inEffect, takesRamps));
        ASSERT_TRUE(presenter.Open(0, 640, 480));
        EXPECT_EQ(presenter.SupportsGamma(), takesRamps);
        EXPECT_EQ(presenter.SetGammaRamp(half), takesRamps);
        EXPECT_EQ(inEffect, takesRamps ? half : original);
        presenter.Close();
        EXPECT_EQ(inEffect, original) << "closing gives the window system its own ramp back";
        EXPECT_FALSE(presenter.SupportsGamma());
        EXPECT_FALSE(presenter.SetGammaRamp(half));
        EXPECT_EQ(inEffect, original);
    }
}

TEST(SdlPresenter, TheEngineDrawsIntoTheWindow)
{
    if (!Testing::UseProcessXServer())
        GTEST_SKIP() << "Xvfb could not be started";
    auto presenter = std::make_shared<TSdlPresenter>();
    TSoftDisplayDriver display(TSoftDisplayConfig{}, presenter, SystemSoftFonts());
    Testing::TTestRegistry registry;
    Testing::TRecordingSound sound;
    Testing::TSteppedClock clock;
    Testing::TFakeOwnerForm form;
    TQss engine(&form, TQssServices{display, registry.Registry(), sound, clock}, std::make_unique<Testing::TManualTimer>());
    engine.SetBrandName(registry.BrandName());
    engine.SetSSName("Halcyra Screensaver");
    registry.ForgetKeyOf("Halcyra Screensaver");
    engine.SetUseIdle(false);
    engine.SetWidthScreen(1024);
    engine.SetHeightScreen(768);
    engine.SetColorDepth(32);
    engine.SetEnabled(true);
    ASSERT_NE(engine.GetFDDBACK(), nullptr) << engine.GetErrorResult();
    engine.OnTimer = [&](TComponent &) {
        engine.GetFDDBACK()->BltColorFill(TRect{100, 100, 300, 200}, 0x0000FF00u, DDFlags::BltColorFill);
    };
    engine.TimerTick();
    auto shown = presenter->ReadBack();
    ASSERT_TRUE(shown);
    const TRect target = LetterboxRect(shown->Width(), shown->Height(), 1024, 768);
    const int x = target.Left + 200 * target.Width() / 1024;
    const int y = target.Top + 150 * target.Height() / 768;
    EXPECT_EQ(shown->GetPixel(x, y), 0x0000FF00u);
    EXPECT_EQ(shown->GetPixel(target.Left + 5, target.Top + 5), 0u);
    engine.SetEnabled(false);
    EXPECT_FALSE(presenter->ReadBack());
}

} // namespace
} // namespace Halcyra::Platform
