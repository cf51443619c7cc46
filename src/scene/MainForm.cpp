// The main form: the scene's assembly in its fixed order, the frame tick, input and the exit.
#include "scene/MainForm.h"

#include "config/LocationTable.h"
#include "imaging/Picture.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace Halcyra {

using namespace Platform;

namespace {

// The picture a component carries in the module's resources, under the component's name; an empty
// picture when the module lacks it or it does not decode, so that the component draws nothing.
Imaging::TPicture ResourcePicture(const IModuleResources &resources, std::string_view name)
{
    const auto stored = resources.Find(ResourceTypeData, name);
    if (!stored)
        return {};
    Imaging::TPictureLoad load = Imaging::TPicture::FromStored(*stored);
    return load.Picture ? *load.Picture : Imaging::TPicture{};
}

// Seconds of a local time counted from 1970, the generator's seed.
std::uint32_t SecondsOf(const TLocalTime &time)
{
    using namespace std::chrono;
    const year_month_day date{year{time.Year}, month{static_cast<unsigned>(time.Month)}, day{static_cast<unsigned>(time.Day)}};
    const auto days = date.ok() ? sys_days{date}.time_since_epoch().count() : 0;
    return static_cast<std::uint32_t>(days * 86400LL + time.Hour * 3600LL + time.Minute * 60LL + time.Second);
}

// The mouse may wander this many pixels between two events without ending the run.
constexpr int MouseTolerance = 5;
constexpr int FlierSteps = 50;

} // namespace

TForm1::TForm1(const TSceneServices &services, std::unique_ptr<IPeriodicTimer> timer)
    : FServices(services), FWindow(services.Application),
      Qss1(&FWindow, TQssServices{services.Display, services.Registry, services.Sound, services.Clock}, std::move(timer)),
      QIM1(&Qss1), QMV1(&Qss1), QMV3SGsmall(&Qss1), QIM2GadgetPanel(&Qss1), QMV3Weather(&Qss1),
      HttpClient1(services.Sockets, services.Application), QGC1(&Qss1), QGW1(&Qss1, FFeedValues), QGR1(&Qss1, FFeedValues),
      QMV2(&Qss1), QMV3(&Qss1), QMV4(&Qss1), QMV5f(&Qss1), QMV6f(&Qss1), QMV7f(&Qss1)
{
    const auto load = [&](auto &component, std::string_view name) { component.SetPicture(ResourcePicture(FServices.Resources, name)); };
    load(QIM1, "QIM1");
    load(QMV1, "QMV1");
    load(QMV3SGsmall, "QMV3SGsmall");
    load(QIM2GadgetPanel, "QIM2GadgetPanel");
    load(QMV3Weather, "QMV3Weather");
    load(QGC1, "QGC1");
    load(QGW1, "QGW1");
    load(QGR1, "QGR1");
    load(QMV2, "QMV2");
    load(QMV3, "QMV3");
    load(QMV4, "QMV4");
    load(QMV5f, "QMV5f");
    load(QMV6f, "QMV6f");
    load(QMV7f, "QMV7f");
    QGW1.SetWeatherPicVCL(&QMV3Weather);
    Qss1.OnTimer = [this](TComponent &) { Qss1Timer(); };
}

TForm1::~TForm1()
{
    // No tick may reach the components while they go, and the feed thread must have let go of the
    // client and the values before they do.
    Qss1.SetTimerEnabled(false);
    FFeedThread.reset();
    Qss1.SetEnabled(false);
    if (FSoundStarted)
        StopSound();
    if (FCursorHidden)
        FServices.Application.ShowCursor(true);
}

// ---------------------------------------------------------------------------------------------
// Assembly

void TForm1::SetupImage(TQIM &sprite, bool stretching, int x, int y, int width, int height, bool transparency)
{
    sprite.SetStretching(stretching);
    sprite.SetShowX(x);
    sprite.SetShowY(y);
    sprite.SetOriginalWidth(width);
    sprite.SetOriginalHeight(height);
    sprite.CreateDXImage();
    sprite.SetTransparency(transparency);
}

void TForm1::SetupMovie(TQMV &sprite, bool stretching, int x, int y, int frameHeight, bool explicitSize, int width, int height,
                        bool transparency)
{
    sprite.SetStretching(stretching);
    sprite.SetShowX(x);
    sprite.SetShowY(y);
    sprite.SetYOffsetFrame(frameHeight);
    // After the frame height, which sets the size from the design space.
    if (explicitSize) {
        sprite.SetStretchWidth(width);
        sprite.SetStretchHeight(height);
    }
    // A JPEG strip is cut from its decoded copy.
    if (sprite.Picture().Kind() == Imaging::TGraphicKind::Jpeg && !sprite.Picture().Empty())
        sprite.SetFDibBitmap(sprite.Picture().Bitmap());
    sprite.CreateDXMovie();
    sprite.SetTransparency(transparency);
}

void TForm1::CloneMovie(TQMV &sprite, const TQMV &source)
{
    sprite.SetParent(&Qss1);
    sprite.SetPicture(source.Picture());
}

Net::TFeedSettings TForm1::FeedSettings() const
{
    Net::TFeedSettings settings;
    settings.ShowWeather = Qss1.GetShowWeather() != 0;
    settings.ShowNews = Qss1.GetShowNews() != 0;
    settings.UseProxy = Qss1.GetUseProxy() != 0;
    settings.Proxy = Qss1.GetProxy();
    settings.Port = Qss1.GetPort();
    settings.TDegree = Qss1.GetTDegree();
    settings.WeatherCode = Qss1.GetWeatherCode();
    settings.RSS_Url = Qss1.GetRSS_Url();
    settings.WeatherHost = FServices.WeatherHost;
    settings.WeatherSource = FServices.WeatherSource;
    settings.WeatherPlace = EmbeddedLocationCoordinates(FServices.Resources).Find(settings.WeatherCode);
    settings.Encodings = &FServices.TextEncodings;
    return settings;
}

void TForm1::FormCreate()
{
    TWindowEvents events;
    events.OnKeyDown = [this](TKey key) { FormKeyDown(key); };
    events.OnMouseMove = [this](int x, int y) { FormMouseMove(x, y); };
    events.OnActivate = [this] {
        if (FPrepared)
            Qss1.ApplicationActivate();
        FActiveWhilePreparing = true;
    };
    events.OnDeactivate = [this] {
        if (FPrepared)
            Qss1.ApplicationDeactivate();
        FActiveWhilePreparing = false;
    };
    events.OnIdle = [this](bool &done) { Qss1.ApplicationIdle(done); };
    // Closed by the desktop (or the session's end), the run still gives back the display, the
    // cursor and the sound.
    events.OnCloseRequest = [this] { EndSaver(); };
    if (!FWindow.Create(TMainWindowKind::FullScreen, events))
        throw std::runtime_error("The screensaver window could not be created");

    Qss1.SetBrandName(FServices.BrandName);
    Qss1.SetSSName(SSName);
    FRandom.Seed(SecondsOf(FServices.Clock.Now()));
    Qss1.SetRegistry();
    FLastMouseX = 0;
    FLastMouseY = 0;

    Qss1.SetUseIdle(false);
    Qss1.SetWidthScreen(1024);
    Qss1.SetHeightScreen(768);
    Qss1.SetColorDepth(32);
    Qss1.SetInterval(40);
    Qss1.SetEnabled(true);

    SetupImage(QIM1, true, 0, 0, 1024, 768, false);
    // Every tick draws the background first and opaquely over the whole screen but its last column
    // and row: the clear before it needs to reach only those.
    Qss1.SetBackdrop(&QIM1);
    SetupMovie(QMV1, true, 0, 543, 120, false, 0, 0, false);
    SetupMovie(QMV2, true, 0, 664, 104, false, 0, 0, false);
    SetupMovie(QMV3, true, 128, 175, 179, false, 0, 0, false);
    SetupMovie(QMV4, true, 905, 404, 140, false, 0, 0, false);
    SetupMovie(QMV5f, true, 0, 189, 225, false, 0, 0, false);
    SetupMovie(QMV6f, true, 296, 137, 311, false, 0, 0, false);
    SetupMovie(QMV7f, true, 498, 360, 142, false, 0, 0, false);
    FBursts.Start(FRandom);

    const int showTime = Qss1.GetShowTime();
    const int showWeather = Qss1.GetShowWeather();
    SetupImage(QIM2GadgetPanel, true, 0, 698, 1024, 70, Qss1.GetShowBlack() == 0);
    if (showTime != 0)
        SetupImage(QGC1, true, 907, 698, 117, 69, true);
    if (showWeather != 0) {
        SetupMovie(QMV3Weather, true, 0, 0, 52, false, 0, 0, false);
        SetupImage(QGW1, true, 688 - 117 * showTime, 698, 336, 69, true);
    }
    FFeedThread = std::make_unique<Net::WeatherHTTP>(
        FServices.Application, HttpClient1, FFeedValues, FeedSettings(), [&clock = FServices.Clock] { return clock.Now().Minute; },
        Net::TThreadStart::Running);
    if (Qss1.GetShowNews() != 0)
        SetupImage(QGR1, true, 453 - 117 * showTime - 336 * showWeather, 698, 572, 69, true);

    FlierSmall = std::make_unique<TQMV>();
    CloneMovie(*FlierSmall, QMV3SGsmall);
    SetupMovie(*FlierSmall, true, 300, 300, 24, true, 14, 9, true);
    FlightB1 = std::make_unique<TFlightPath>();
    FlightB2 = std::make_unique<TFlightPath>();
    InitFlight(*FlightB1, FlightLoopB, 0, FlierSteps);
    InitFlight(*FlightB2, FlightLoopB, 9, FlierSteps);

    FCycle = 0;
    FPrepared = true;
    Qss1.SetTimerEnabled(true);
    // Deactivated while it was being prepared, the scene waits for the window's next activation.
    if (!FActiveWhilePreparing)
        Qss1.ApplicationDeactivate();
    StartSound();
    FServices.Application.ShowCursor(false);
    FCursorHidden = true;
}

// ---------------------------------------------------------------------------------------------
// The frame

void TForm1::StepFlight(TQMV &sprite, TFlightPath &path)
{
    AdvanceFlight(path);
    sprite.SetNumberFrame(path.Frame);
    sprite.SetShowX(static_cast<int>(std::trunc(path.PosX)));
    sprite.SetShowY(static_cast<int>(std::trunc(path.PosY)));
    sprite.DrawMovie();
}

void TForm1::Qss1Timer()
{
    if (++FCycle > 31)
        FCycle = 0;
    QIM1.DrawImage();
    for (TQMV *strip : {&QMV1, &QMV2, &QMV3, &QMV4}) {
        strip->SetNumberFrame(FCycle);
        strip->DrawMovie();
    }
    if (const auto burst = FBursts.Tick(FRandom)) {
        TQMV &strip = *FBurstStrips[static_cast<std::size_t>(burst->Strip)];
        strip.SetNumberFrame(burst->Frame);
        strip.DrawMovie();
    }
    if (FlierSmall && FlightB1 && FlightB2) {
        StepFlight(*FlierSmall, *FlightB1);
        StepFlight(*FlierSmall, *FlightB2);
    }
    const int showTime = Qss1.GetShowTime();
    const int showWeather = Qss1.GetShowWeather();
    const int showNews = Qss1.GetShowNews();
    if (showWeather + showNews + showTime > 0)
        QIM2GadgetPanel.DrawImage();
    if (showTime != 0) {
        QGC1.DrawImage();
        QGC1.DrawGadgetClock();
    }
    if (showWeather != 0) {
        QGW1.DrawImage();
        QGW1.DrawGadgetWeather();
    }
    if (showNews != 0) {
        QGR1.DrawImage();
        QGR1.DrawRssNews();
    }
}

// ---------------------------------------------------------------------------------------------
// Input and exit

std::string TForm1::ForecastAddress() const
{
    const bool celsius = Qss1.GetTDegree() == "c";
    if (FServices.WeatherSource == Net::TWeatherSource::RssFeed)
        return "http://" + FServices.ForecastHost + "/forecast/" + Qss1.GetWeatherCode() + (celsius ? "_c.html" : ".html");
    const auto place = EmbeddedLocationCoordinates(FServices.Resources).Find(Qss1.GetWeatherCode());
    std::string address = FServices.ForecastPages + "/";
    if (place)
        address += DegreesText(place->Latitude) + "," + DegreesText(place->Longitude);
    return address + (celsius ? "?m" : "?u");
}

void TForm1::FormKeyDown(TKey key)
{
    switch (key) {
    case TKey::Escape: EndSaver(); break;
    case TKey::F2:
        // Whatever the browser does, the run ends.
        FServices.Browser.OpenPage(FFeedValues.GetNewsLink());
        EndSaver();
        break;
    case TKey::F3:
        FServices.Browser.OpenPage(ForecastAddress());
        EndSaver();
        break;
    case TKey::Other: break;
    }
}

void TForm1::FormMouseMove(int x, int y)
{
    // A stored coordinate of 0 (the first event of the run) only records where the mouse is.
    if (std::abs(x - FLastMouseX) > MouseTolerance && FLastMouseX != 0)
        EndSaver();
    else if (std::abs(y - FLastMouseY) > MouseTolerance && FLastMouseY != 0)
        EndSaver();
    FLastMouseX = x;
    FLastMouseY = y;
}

void TForm1::StartSound()
{
    FSoundStarted = true;
    FServices.Sound.PlayLooped(SoundName);
}

void TForm1::StopSound()
{
    FServices.Sound.StopAll();
    FSoundStarted = false;
}

void TForm1::EndSaver()
{
    if (FEnded)
        return;
    FEnded = true;
    // Only asked: the thread may be waiting for this very thread to finish a download step. It is
    // destroyed with the form, after the message loop.
    if (FFeedThread)
        FFeedThread->Terminate();
    Qss1.SetTimerEnabled(false);
    Qss1.SetEnabled(false);
    StopSound();
    if (FCursorHidden) {
        FServices.Application.ShowCursor(true);
        FCursorHidden = false;
    }
    Qss1.FullExit();
}

} // namespace Halcyra
