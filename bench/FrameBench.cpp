// Benchmarks of the presentation engine on soft surfaces at 1024 by 768 by 32: one frame of the
// scene's 14 blits (clear, background, strips, burst, fliers, gadget band and panels, weather
// icons), the same frame with its flip, the three gadgets' drawing of one frame, the whole scene's
// tick with the module's own pictures measured against two copies of a frame (the least a frame
// costs; both in the processor time of the thread), and the preparation of a 720 by 3840 JPEG strip (decoding and cutting it into 32 frame
// surfaces).
#include "engine/Engine.h"
#include "gadgets/ClockGadget.h"
#include "gadgets/NewsTicker.h"
#include "gadgets/WeatherGadget.h"
#include "platform/Resources.h"
#include "platform/Socket.h"
#include "platform/WebBrowser.h"
#include "scene/MainForm.h"
#include "support/EngineFakes.h"
#include "support/FakeApplication.h"
#include "imaging/JpegDecoder.h"
#include "imaging/Picture.h"
#include "platform/linux/FileRegistry.h"
#include "platform/soft/SoftDisplay.h"
#include "sprites/FrameStripSprite.h"
#include "sprites/ImageSprite.h"
#include "support/TestPictures.h"

#include <benchmark/benchmark.h>
#include <cstdio>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

// Every allocation of the program is counted, so that the frame benchmarks can report how many a
// frame makes: the frame must make none.
namespace {
std::atomic<long long> GAllocations = 0;
}

void *operator new(std::size_t size)
{
    ++GAllocations;
    if (void *memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

// GCC cannot see that the replaced operator new above hands out malloc's memory.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void operator delete(void *memory) noexcept
{
    std::free(memory);
}

void operator delete(void *memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace Halcyra {
namespace {

// Reports the allocations made per iteration between construction and the end of the loop.
class TAllocationCounter {
public:
    explicit TAllocationCounter(benchmark::State &state) : FState(state), FStart(GAllocations.load()) {}
    ~TAllocationCounter()
    {
        const double made = static_cast<double>(GAllocations.load() - FStart);
        FState.counters["allocations/frame"] = FState.iterations() > 0 ? made / static_cast<double>(FState.iterations()) : 0.0;
    }

private:
    benchmark::State &FState;
    long long FStart;
};

using namespace Platform;

class TNoSound final : public ISound {
public:
    bool PlayLooped(const std::string &) override { return true; }
    void StopAll() override {}
    bool SetMasterVolume(unsigned) override { return true; }
};

class TFixedClock final : public IClock {
public:
    TLocalTime Now() override { return {}; }
    // The 12-hour form, the clock's longest path.
    TTimeText LocaleTimeText(const TLocalTime &) override { return TTimeText::From("9:35 PM"); }
    unsigned Milliseconds() override { return 0; }
};

// Presents nothing: the frame benchmark measures drawing, not a screen.
class TNoPresenter final : public ISoftPresenter {
public:
    bool Open(TWindowHandle, int, int) override { return true; }
    void Present(const Imaging::TBitmap32 &) override {}
    bool SupportsGamma() override { return false; }
    bool SetGammaRamp(const TGammaRamp &) override { return false; }
    void Close() override {}
};

class TNoOwner final : public IOwnerForm {
public:
    TWindowHandle Handle() const override { return 1; }
    void SetBorderStyle(TBorderStyle) override {}
    void SetColor(std::uint32_t) override {}
    void SetVisible(bool) override {}
    void SetSize(int, int) override {}
    void Close() override {}
};

Imaging::TBitmap32 Pattern(int width, int height, std::uint32_t seed)
{
    auto bitmap = Imaging::TBitmap32::Create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap->SetPixel(x, y, (seed * 2654435761u) ^ static_cast<std::uint32_t>((x / 8) * 0x010305 + (y / 8) * 0x070301));
    return std::move(*bitmap);
}

// The engine open at 1024 by 768 by 32 on soft surfaces, with the settings in a folder of its own.
class TBenchEngine {
public:
    TBenchEngine()
        : FRoot(std::filesystem::temp_directory_path() / "halcyra-bench-settings"), FRegistry(FRoot),
          FDisplay(TSoftDisplayConfig{}, std::make_shared<TNoPresenter>(), SystemSoftFonts()),
          Engine(&FOwner, TQssServices{FDisplay, FRegistry, FSound, FClock}, CreatePeriodicTimer())
    {
        Engine.SetBrandName("Halcyra Bench");
        Engine.SetSSName("Frame");
        Engine.SetUseIdle(false);
        Engine.SetWidthScreen(1024);
        Engine.SetHeightScreen(768);
        Engine.SetColorDepth(32);
        Engine.SetEnabled(true);
    }
    ~TBenchEngine()
    {
        Engine.SetEnabled(false);
        std::error_code error;
        std::filesystem::remove_all(FRoot, error);
    }

private:
    std::filesystem::path FRoot;
    TFileRegistry FRegistry;
    TSoftDisplayDriver FDisplay;
    TNoSound FSound;
    TFixedClock FClock;
    TNoOwner FOwner;

public:
    TQss Engine;
};

struct TScene {
    explicit TScene(TQss &engine)
    {
        auto image = [&](int width, int height, int x, int y, bool keyed, std::uint32_t seed) {
            auto sprite = std::make_unique<TQIM>(&engine);
            sprite->SetPicture(Imaging::TPicture::FromBitmap(Pattern(width, height, seed)));
            sprite->SetStretching(true);
            sprite->SetShowX(x);
            sprite->SetShowY(y);
            sprite->SetOriginalWidth(width);
            sprite->SetOriginalHeight(height);
            sprite->CreateDXImage();
            sprite->SetTransparency(keyed);
            Images.push_back(std::move(sprite));
        };
        auto strip = [&](int width, int frameHeight, int frames, int x, int y, bool keyed, std::uint32_t seed) {
            auto sprite = std::make_unique<TQMV>(&engine);
            sprite->SetPicture(Imaging::TPicture::FromBitmap(Pattern(width, frameHeight * frames, seed)));
            sprite->SetStretching(true);
            sprite->SetShowX(x);
            sprite->SetShowY(y);
            sprite->SetYOffsetFrame(frameHeight);
            sprite->CreateDXMovie();
            sprite->SetTransparency(keyed);
            Strips.push_back(std::move(sprite));
        };
        image(1024, 768, 0, 0, false, 1);
        // The background covers the frame, as the scene's does.
        engine.SetBackdrop(Images[0].get());
        strip(720, 120, 4, 0, 543, false, 2);
        strip(556, 104, 4, 0, 664, false, 3);
        strip(105, 179, 4, 128, 175, false, 4);
        strip(93, 140, 4, 905, 404, false, 5);
        strip(202, 311, 2, 296, 137, false, 6);
        strip(38, 24, 4, 300, 300, true, 7);
        image(1024, 70, 0, 698, true, 8);
        image(117, 69, 907, 698, true, 9);
        image(336, 69, 571, 698, true, 10);
        image(572, 69, 0, 698, true, 11);
        strip(52, 52, 3, 600, 705, false, 12);
    }

    // The scene's 14 blits: background, four strips, a burst, two fliers, band, three panels, two icons.
    void Draw()
    {
        Images[0]->DrawImage();
        for (int i = 0; i < 5; ++i) {
            Strips[static_cast<std::size_t>(i)]->SetNumberFrame(1);
            Strips[static_cast<std::size_t>(i)]->DrawMovie();
        }
        TQMV &flier = *Strips[5];
        flier.SetNumberFrame(0);
        flier.SetShowX(300);
        flier.DrawMovie();
        flier.SetNumberFrame(2);
        flier.SetShowX(700);
        flier.DrawMovie();
        for (std::size_t i = 1; i < Images.size(); ++i)
            Images[i]->DrawImage();
        TQMV &icons = *Strips[6];
        icons.SetNumberFrame(0);
        icons.SetShowX(600);
        icons.DrawMovie();
        icons.SetNumberFrame(1);
        icons.SetShowX(700);
        icons.DrawMovie();
    }

    std::vector<std::unique_ptr<TQIM>> Images;
    std::vector<std::unique_ptr<TQMV>> Strips;
};

void FrameOf14Blits(benchmark::State &state)
{
    TBenchEngine bench;
    TScene scene(bench.Engine);
    {
        TAllocationCounter allocations(state);
        for (auto _ : state) {
            bench.Engine.ClearBackSurface();
            scene.Draw();
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * 14);
}
BENCHMARK(FrameOf14Blits)->Unit(benchmark::kMillisecond);

void FrameWithRestoreCheckAndFlip(benchmark::State &state)
{
    TBenchEngine bench;
    TScene scene(bench.Engine);
    bench.Engine.OnTimer = [&](TComponent &) { scene.Draw(); };
    TAllocationCounter allocations(state);
    for (auto _ : state)
        bench.Engine.TimerTick();
}
BENCHMARK(FrameWithRestoreCheckAndFlip)->Unit(benchmark::kMillisecond);

// The clock, the weather gadget (two icons, two texts) and the news ticker (title and a line of a
// dozen headlines, about 1.4 kB) drawn over one frame, without their panels.
void ThreeGadgetsOnOneFrame(benchmark::State &state)
{
    TBenchEngine bench;
    Net::TFeedValues values;
    values.SetTodayCode(32);
    values.SetTodayNow("71");
    values.SetTomorrowCode(30);
    values.SetTomorrowLow("58");
    values.SetTomorrowHi("78");
    values.SetNameNews("World News - Evening Edition");
    std::string line = "  ***  ";
    for (int headline = 0; headline < 12; ++headline)
        line += "Harbour authority opens the new sea wall after two years of work  ***  ";
    values.SetRssLine(line);
    TQMV icons(&bench.Engine);
    icons.SetPicture(Imaging::TPicture::FromBitmap(Pattern(52, 49 * 52, 14)));
    icons.SetStretching(true);
    icons.SetYOffsetFrame(52);
    icons.CreateDXMovie();
    icons.SetTransparency(false);
    TQGC clock(&bench.Engine);
    TQGW weather(&bench.Engine, values);
    weather.SetStretching(true);
    weather.SetShowX(571);
    weather.SetShowY(698);
    weather.SetWeatherPicVCL(&icons);
    TQGR news(&bench.Engine, values);
    news.SetStretching(true);
    news.SetShowY(698);
    const auto draw = [&] {
        clock.DrawGadgetClock();
        weather.DrawGadgetWeather();
        news.DrawRssNews();
    };
    // The first frame fills the glyph caches.
    draw();
    {
        TAllocationCounter allocations(state);
        for (auto _ : state) {
            draw();
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * 3);
}
BENCHMARK(ThreeGadgetsOnOneFrame)->Unit(benchmark::kMicrosecond);

class TNoBrowser final : public IWebBrowser {
public:
    bool OpenPage(const std::string &) override { return false; }
};

// The processor time this thread has used, in seconds: on a machine shared with other work it
// counts what a piece of code costs, where the wall clock counts the waits for the processor too.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Two copies of a 1024 by 768 by 32 frame, the least a frame needs: once to draw and once to show.
class TTwoFrameCopies {
public:
    TTwoFrameCopies() : FFrom(1024 * 768, 0x00102030u), FTo(1024 * 768) {}
    void Run()
    {
        for (int copy = 0; copy < 2; ++copy) {
            ++FFrom[static_cast<std::size_t>(copy)];
            std::memcpy(FTo.data(), FFrom.data(), FFrom.size() * sizeof(std::uint32_t));
            benchmark::DoNotOptimize(FTo.data());
            benchmark::ClobberMemory();
        }
    }

private:
    std::vector<std::uint32_t> FFrom;
    std::vector<std::uint32_t> FTo;
};

// The scene's whole tick as the timer runs it (restore check, clear, the scene back to front with a
// burst, both fliers and the three gadgets, flip), with the module's pictures. Reported beside two
// frame copies as "vs two copies": each iteration times one tick and the two copies after it, so
// that both meet the same load of the machine.
void WholeSceneTick(benchmark::State &state)
{
    const auto root = std::filesystem::temp_directory_path() / "halcyra-bench-scene";
    {
        TFileRegistry registry(root);
        TSettingsStore settings(registry);
        settings.SetBrandName("Halcyra Bench");
        settings.SetSSName(TForm1::SSName);
        settings.SetRegistry();
        for (const char *gadget : {"ShowTime", "ShowWeather", "ShowNews"})
            settings.WriteRKey(gadget, 1);
    }
    TFileRegistry registry(root);
    Testing::TFakeApplication application;
    // The feed thread finds no loop to run its steps and ends: nothing is fetched.
    application.LoopEnded = true;
    TSoftDisplayDriver display(TSoftDisplayConfig{}, std::make_shared<TNoPresenter>(), SystemSoftFonts());
    TNoSound sound;
    TFixedClock clock;
    TNoBrowser browser;
    TSceneServices services{application, display, registry, sound, clock, ModuleResources(), browser, Sockets()};
    services.BrandName = "Halcyra Bench";
    auto timer = std::make_unique<Testing::TManualTimer>();
    Testing::TManualTimer &ticks = *timer;
    {
        TForm1 form(services, std::move(timer));
        form.FormCreate();
        form.FeedValues().SetRssLine("  ***  Harbour authority opens the new sea wall after two years of work  ***  ");
        const auto burst = [&] {
            form.Bursts().FBurstOn = true;
            form.Bursts().FBurstFrame = 0;
        };
        burst();
        ticks.Fire();
        TTwoFrameCopies copies;
        double tickSeconds = 0;
        double copySeconds = 0;
        {
            TAllocationCounter allocations(state);
            for (auto _ : state) {
                const double start = ThreadSeconds();
                burst();
                ticks.Fire();
                const double ticked = ThreadSeconds();
                copies.Run();
                tickSeconds += ticked - start;
                copySeconds += ThreadSeconds() - ticked;
            }
        }
        state.counters["vs two copies"] = copySeconds > 0 ? tickSeconds / copySeconds : 0.0;
    }
    std::error_code error;
    std::filesystem::remove_all(root, error);
}

void DecodeAndCut720By3840JpegStrip(benchmark::State &state)
{
    TBenchEngine bench;
    const auto file = Testing::MakeJpeg(Pattern(720, 3840, 13), 85);
    const auto picture = Imaging::TPicture::FromFile(Imaging::TGraphicKind::Jpeg, file);
    if (!picture.Picture) {
        state.SkipWithError(picture.Error.c_str());
        return;
    }
    for (auto _ : state) {
        // What the scene does per strip: decode into DibBitmap, then cut into frame surfaces.
        auto decoded = Imaging::DecodeJpeg(file);
        TQMV strip(&bench.Engine);
        strip.SetPicture(*picture.Picture);
        strip.SetStretching(true);
        strip.SetYOffsetFrame(120);
        strip.SetFDibBitmap(&*decoded.Bitmap);
        strip.CreateDXMovie();
        if (strip.FrameCount() != 32)
            state.SkipWithError("the strip did not give 32 frames");
    }
}
BENCHMARK(WholeSceneTick)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeAndCut720By3840JpegStrip)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace Halcyra

BENCHMARK_MAIN();
