// Frames of the soft display painted into an X window: scaled to the window with their aspect kept,
// centred, black around, and only the parts that changed since the frame before. The X server
// scales the picture where it offers RENDER and shared-memory pixmaps; elsewhere it is scaled here
// into an image of the picture's size, in shared memory where the server offers it. The painter has
// an X connection of its own, so it may paint from any one thread at a time.
#pragma once

#include "imaging/Bitmap32.h"
#include "platform/Display.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct _XDisplay;

namespace Halcyra::Platform {

// X errors are reported to one handler for the whole process, and a window of another program may
// go away at any moment: from now on errors are counted, not fatal (Xlib's own handler ends the
// process).
void CountX11Errors();

// Counts the errors of one connection while it lives, whatever other connections get meanwhile.
class TX11ErrorTrap {
public:
    explicit TX11ErrorTrap(_XDisplay *connection);
    ~TX11ErrorTrap();
    TX11ErrorTrap(const TX11ErrorTrap &) = delete;
    TX11ErrorTrap &operator=(const TX11ErrorTrap &) = delete;

    // Waits until the server has answered every request made so far; true when any of them failed.
    bool Failed();
    // Adds an error to every trap of the connection; called by the process's error handler.
    static void CountErrorOf(_XDisplay *connection);

private:
    _XDisplay *FConnection;
    unsigned long FErrors = 0;
};

// Where a picture of width × height goes in a window, scaled to fit with its aspect kept and
// centred.
TRect LetterboxRect(int windowWidth, int windowHeight, int width, int height);

// The nearest-neighbour scale of a frame into its letterboxed place in a window. Column x of the
// place shows the frame's column (Step / 2 + x × Step) >> 16, with Step the frame's width over the
// place's in 16.16 fixed point; rows likewise. Both ways are tabled.
class TLetterboxScale {
public:
    TLetterboxScale() = default;
    TLetterboxScale(int windowWidth, int windowHeight, int frameWidth, int frameHeight);

    // The picture's place in the window; empty when the window has no area.
    const TRect &Target() const { return FTarget; }
    // The frame's column shown in column x of the place (0 ≤ x < its width); rows likewise.
    int SourceColumn(int x) const { return FColumns[static_cast<std::size_t>(x)]; }
    int SourceRow(int y) const { return FRows[static_cast<std::size_t>(y)]; }
    // The first column of the place that shows frame column c or one right of it (0 ≤ c ≤ the
    // frame's width): columns [FirstColumnOf(a), FirstColumnOf(b)) show the frame's [a, b).
    int FirstColumnOf(int column) const { return FFirstColumns[static_cast<std::size_t>(column)]; }
    int FirstRowOf(int row) const { return FFirstRows[static_cast<std::size_t>(row)]; }
    // The columns and rows of the place, from its left top, that show a part of the frame.
    TRect PlaceOf(const TRect &part) const
    {
        return TRect{FirstColumnOf(part.Left), FirstRowOf(part.Top), FirstColumnOf(part.Right), FirstRowOf(part.Bottom)};
    }
    std::uint32_t StepX() const { return FStepX; }
    std::uint32_t StepY() const { return FStepY; }

private:
    TRect FTarget{};
    std::uint32_t FStepX = 0;
    std::uint32_t FStepY = 0;
    std::vector<int> FColumns;
    std::vector<int> FRows;
    std::vector<int> FFirstColumns;
    std::vector<int> FFirstRows;
};

// Who scales the frames: the X server where it can, or always the painter (the path of servers
// without RENDER, which the tests and the benchmarks choose to reach it on any server).
enum class TX11Scaling { ServerWhereOffered, PainterOnly };

// A byte table per channel (red, green, blue) that each pixel of a frame goes through.
using TChannelLevels = std::array<std::array<std::uint8_t, 256>, 3>;

class TX11FramePainter {
public:
    explicit TX11FramePainter(TX11Scaling scaling = TX11Scaling::ServerWhereOffered);
    ~TX11FramePainter();
    TX11FramePainter(const TX11FramePainter &) = delete;
    TX11FramePainter &operator=(const TX11FramePainter &) = delete;

    // Opens a connection of its own to the window, for frames of the given size; false when there
    // is no X display or no such window.
    bool Open(unsigned long window, int frameWidth, int frameHeight);
    // Shows a frame of the size given at open, each channel through its table when levels are given.
    // Frames of another size are ignored.
    void Paint(const Imaging::TBitmap32 &frame, const TChannelLevels *levels = nullptr);
    void Close();
    bool IsOpen() const { return FConnection != nullptr; }
    // Whether the X server scales the frames.
    bool ServerScales() const { return FServerScaling != nullptr; }
    // What the window shows now, read back from the server; for the tests.
    std::optional<Imaging::TBitmap32> ReadBack();
    // The bytes of the image the painter scales into (0 while the server scales); for the tests.
    std::size_t ImageBytes() const;

private:
    struct TServerScaling;
    struct TPainterImage;
    struct TCloseConnection {
        void operator()(_XDisplay *connection) const;
    };

    bool StartServerScaling();
    // Takes the events of the window: a new size, a part to paint again.
    void FollowWindow();
    void Resize(int width, int height);
    // Copies the frame's tiles that differ from what the window shows into the shown frame and
    // gathers the changed parts of the frame, merged into rectangles, in FChanged.
    void TakeChanges(const Imaging::TBitmap32 &frame, const TChannelLevels *levels);
    void AddChange(const TRect &run);
    void PaintBars();
    void ScaleOnServer(const TRect &change);
    void ScaleHere(const TRect &change);
    // Waits until the server has read the rows of the image it was last given, before they change.
    void WaitForServer();

    TX11Scaling FScaling;
    std::unique_ptr<_XDisplay, TCloseConnection> FConnection;
    unsigned long FWindow = 0;
    void *FVisual = nullptr;
    int FDepth = 0;
    void *FGc = nullptr;
    int FFrameWidth = 0;
    int FFrameHeight = 0;
    int FWindowWidth = 0;
    int FWindowHeight = 0;
    TLetterboxScale FScale;
    // The frame as the window shows it (levels applied): the server's source when it scales.
    std::uint32_t *FShown = nullptr;
    std::vector<std::uint32_t> FShownHere;
    std::unique_ptr<TServerScaling> FServerScaling;
    std::unique_ptr<TPainterImage> FImage;
    // The changed parts of the frame, and those of them that end where the next band of tiles
    // starts (candidates to grow downwards).
    std::vector<TRect> FChanged;
    std::vector<std::size_t> FOpenChanges;
    std::vector<std::size_t> FNextOpenChanges;
    bool FRepaintAll = true;
    // Whether a put of the image may still be read by the server.
    bool FServerReading = false;
};

} // namespace Halcyra::Platform
