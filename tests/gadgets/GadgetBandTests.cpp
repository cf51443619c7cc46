// The three gadgets drawn together frame after frame: their fonts do not outlive a frame, and the
// feed step may write their values on another thread while frames draw them.
#include "gadgets/ClockGadget.h"
#include "gadgets/NewsTicker.h"
#include "gadgets/WeatherGadget.h"
#include "GadgetFixture.h"

#include <atomic>
#include <memory>
#include <thread>

namespace Halcyra {
namespace {

using Testing::MakeBitmap;

class GadgetBand : public Testing::GadgetFixture {
protected:
    void SetUp() override
    {
        GadgetFixture::SetUp();
        Strip = std::make_unique<TQMV>(Engine.get());
        Strip->SetPicture(Imaging::TPicture::FromBitmap(MakeBitmap(52, 49 * 52, [](int, int y) { return 0x00010101u * (y / 52 + 1); })));
        Strip->SetYOffsetFrame(52);
        Strip->CreateDXMovie();
        Clock = std::make_unique<TQGC>(Engine.get());
        Weather = std::make_unique<TQGW>(Engine.get(), Values);
        Weather->SetWeatherPicVCL(Strip.get());
        Weather->SetShowX(571);
        Weather->SetShowY(698);
        News = std::make_unique<TQGR>(Engine.get(), Values);
        News->SetShowY(698);
    }

    Imaging::TBitmap32 DrawBand()
    {
        return Frame([&] {
            Clock->DrawGadgetClock();
            Weather->DrawGadgetWeather();
            News->DrawRssNews();
        });
    }

    std::unique_ptr<TQMV> Strip;
    std::unique_ptr<TQGC> Clock;
    std::unique_ptr<TQGW> Weather;
    std::unique_ptr<TQGR> News;
};

TEST_F(GadgetBand, NoFontOutlivesItsFrame)
{
    Values.SetNameNews("World");
    const int before = Display.Soft().LiveFontCount();
    for (int frame = 0; frame < 200; ++frame)
        DrawBand();
    EXPECT_EQ(Display.Soft().LiveFontCount(), before);
}

// Named for the thread tests, which also run under ThreadSanitizer.
using GadgetFeedThreads = GadgetBand;

TEST_F(GadgetFeedThreads, FramesDrawWhileTheFeedWritesTheValues)
{
    const std::string shortLine = "  ***  calm  ***  ";
    const std::string longLine(6000, 'x');
    std::atomic<bool> done = false;
    std::thread feed([&] {
        for (int i = 0; i < 400; ++i) {
            Values.SetRssLine(i % 2 == 0 ? longLine : shortLine);
            Values.SetNameNews(i % 2 == 0 ? "Evening edition of the world's news" : "Morning");
            Values.SetTodayCode(i % 3 == 0 ? 3200 : i % 48);
            Values.SetTodayNow(std::to_string(i));
            Values.SetTomorrowHi(std::to_string(i + 10));
        }
        Values.SetTodayCode(3200);
        Values.SetRssLine(shortLine);
        done = true;
    });
    int frames = 0;
    while (!done || frames < 20) {
        DrawBand();
        ++frames;
    }
    feed.join();
    DrawBand();
    EXPECT_EQ(Weather->GetTodayCode(), 48) << "the frame's own write of 48 lands after the feed's last code";
    EXPECT_EQ(News->GetRssLine(), shortLine);
}

} // namespace
} // namespace Halcyra
