// TForm1, the screensaver's main form: it takes the screen through the engine Qss1, lays the scene
// out in the 1024 by 768 design space (background, looping strips, bursts, two fliers on a spline
// loop, the gadget band), starts the feed thread, the frame timer and the looped sound, draws every
// frame back to front on the timer thread, and ends the run on Esc, F2, F3, a mouse movement of more
// than 5 pixels or the desktop's close request.
#pragma once

#include "BuildHosts.h"
#include "engine/Engine.h"
#include "gadgets/ClockGadget.h"
#include "gadgets/NewsTicker.h"
#include "gadgets/WeatherGadget.h"
#include "net/FeedTargets.h"
#include "net/FeedThread.h"
#include "net/HttpClient.h"
#include "platform/Application.h"
#include "platform/Resources.h"
#include "platform/Socket.h"
#include "platform/TextEncodings.h"
#include "platform/WebBrowser.h"
#include "scene/BurstScheduler.h"
#include "scene/FlightPath.h"
#include "scene/MainWindowForm.h"
#include "scene/RuntimeRandom.h"
#include "sprites/FrameStripSprite.h"
#include "sprites/ImageSprite.h"

#include <array>
#include <memory>
#include <string>

namespace Halcyra {

// What the scene works with: the system's services in the program, stand-ins in the tests.
struct TSceneServices {
    Platform::IApplication &Application;
    Platform::IDisplayDriver &Display;
    Platform::IRegistry &Registry;
    Platform::ISound &Sound;
    Platform::IClock &Clock;
    const Platform::IModuleResources &Resources;
    Platform::IWebBrowser &Browser;
    Platform::ISocketLayer &Sockets;
    // The maker's name that keys the settings; the tests use names of their own.
    std::string BrandName = "Tessaly Software";
    // Where the feeds come from and the forecast pages are; the build's hosts.
    std::string WeatherHost = BuildHosts::WeatherHost;
    std::string ForecastHost = BuildHosts::ForecastHost;
    // The build's weather source; with the forecast service, the address of the forecast pages for
    // coordinates.
    Net::TWeatherSource WeatherSource = Net::BuildWeatherSource;
    std::string ForecastPages = BuildHosts::ForecastPages;
    // The code page of the gadgets' texts.
    const Platform::ITextEncodings &TextEncodings = Platform::SystemTextEncodings();
};

class TForm1 {
public:
    static constexpr const char *SSName = "Halcyra Screensaver";
    static constexpr const char *SoundName = "SoundName";

    // The form with its components and their pictures from the module's resources; nothing runs yet.
    TForm1(const TSceneServices &services, std::unique_ptr<Platform::IPeriodicTimer> timer);
    // Ends what is still running (feed thread, timer, display, sound, hidden cursor) and frees the
    // components. Never called from inside a handler: after the message loop has returned.
    ~TForm1();
    TForm1(const TForm1 &) = delete;
    TForm1 &operator=(const TForm1 &) = delete;

    // Creates the main window and builds the running scene. Raises the settings store's errors, and
    // "The screensaver window could not be created" when there is no window.
    void FormCreate();
    // One frame, back to front; on the engine's timer thread.
    void Qss1Timer();
    // Esc ends the run; F2 and F3 end it after opening the news feed's page or the forecast page.
    void FormKeyDown(Platform::TKey key);
    // A step of more than 5 pixels on either axis between two mouse events ends the run.
    void FormMouseMove(int x, int y);
    // The exit: asks the feed thread to end, stops the timer, closes the display, stops the sound,
    // shows the cursor and closes the window. Runs once; later calls do nothing.
    void EndSaver();

    void SetupImage(TQIM &sprite, bool stretching, int x, int y, int width, int height, bool transparency);
    void SetupMovie(TQMV &sprite, bool stretching, int x, int y, int frameHeight, bool explicitSize, int width, int height,
                    bool transparency);
    // Puts a new strip sprite on the engine with the pixels of another (shared, not copied).
    void CloneMovie(TQMV &sprite, const TQMV &source);
    // Moves a path one tick on and draws the sprite there, in the frame of its heading.
    void StepFlight(TQMV &sprite, TFlightPath &path);
    void StartSound();
    void StopSound();

    // The page F3 opens: the forecast of the configured place in the configured units. With the
    // forecast service, the pages site's forecast for the place's coordinates ("?m" metric, "?u"
    // Fahrenheit); its front page in those units for a code the location table does not know.
    std::string ForecastAddress() const;

    // The frame of the looping strips, 0 to 31.
    int GetCycle() const { return FCycle; }
    TBurstScheduler &Bursts() { return FBursts; }
    TRuntimeRandom &Random() { return FRandom; }
    TFlightPath *GetFlightB1() const { return FlightB1.get(); }
    TFlightPath *GetFlightB2() const { return FlightB2.get(); }
    TQMV *GetFlierSmall() const { return FlierSmall.get(); }
    // The values the feed step writes and the gadgets and F2 read.
    Net::TFeedValues &FeedValues() { return FFeedValues; }
    Net::WeatherHTTP *FeedThread() const { return FFeedThread.get(); }
    bool Ended() const { return FEnded; }

private:
    Net::TFeedSettings FeedSettings() const;

    TSceneServices FServices;
    TMainWindowForm FWindow;

public:
    // The form's components, each on Qss1.
    TQss Qss1;

private:
    // Declared before the gadgets that show them and the feed thread that writes them.
    Net::TFeedValues FFeedValues;

public:
    TQIM QIM1;
    TQMV QMV1;
    TQMV QMV3SGsmall;
    TQIM QIM2GadgetPanel;
    TQMV QMV3Weather;
    Net::THttpClient HttpClient1;
    TQGC QGC1;
    TQGW QGW1;
    TQGR QGR1;
    TQMV QMV2;
    TQMV QMV3;
    TQMV QMV4;
    TQMV QMV5f;
    TQMV QMV6f;
    TQMV QMV7f;

private:
    std::unique_ptr<TQMV> FlierSmall;
    std::unique_ptr<TFlightPath> FlightB1;
    std::unique_ptr<TFlightPath> FlightB2;
    // Destroyed first of all the form holds: it may still be running a feed step.
    std::unique_ptr<Net::WeatherHTTP> FFeedThread;

    TRuntimeRandom FRandom;
    TBurstScheduler FBursts;
    std::array<TQMV *, TBurstScheduler::StripCount> FBurstStrips{&QMV5f, &QMV6f, &QMV7f};
    std::int32_t FCycle = 0;
    std::int32_t FLastMouseX = 0;
    std::int32_t FLastMouseY = 0;
    bool FSoundStarted = false;
    bool FCursorHidden = false;
    bool FEnded = false;
    // Until the scene is prepared, activation only notes whether the window is active: the engine's
    // activation starts the frame timer, and DirectDraw may activate the window during the mode
    // change, before a single sprite has its surfaces.
    bool FPrepared = false;
    bool FActiveWhilePreparing = true;
};

} // namespace Halcyra
