// The set-up the sprite tests share: an engine opened on the fake display at a chosen mode, and
// helpers to read what reached the back buffer.
#pragma once

#include "engine/Engine.h"
#include "imaging/Picture.h"
#include "support/EngineFakes.h"
#include "support/FakeDisplay.h"
#include "support/TestPictures.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <memory>

namespace Halcyra::Testing {

class SpriteFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Engine = std::make_unique<TQss>(&Form, TQssServices{Display, Registry.Registry(), Sound, Clock},
                                        std::make_unique<TManualTimer>());
        Engine->SetBrandName(Registry.BrandName());
        Engine->SetSSName("Halcyra Screensaver");
        Registry.ForgetKeyOf("Halcyra Screensaver");
        Engine->SetUseIdle(false);
        Engine->SetColorDepth(32);
        Engine->SetInterval(40);
        SetMode(1024, 768);
    }

    void TearDown() override { Engine->SetEnabled(false); }

    void SetMode(int width, int height)
    {
        Engine->SetWidthScreen(width);
        Engine->SetHeightScreen(height);
    }

    void Open()
    {
        Engine->SetEnabled(true);
        ASSERT_NE(Engine->GetFDDBACK(), nullptr) << Engine->GetErrorResult();
    }

    // A frame: clear the back buffer, run the drawing, flip; returns the presented screen.
    template <typename TDraw>
    Imaging::TBitmap32 Frame(TDraw draw)
    {
        Engine->OnTimer = [&](TComponent &) { draw(); };
        Engine->TimerTick();
        Engine->OnTimer = nullptr;
        auto screen = Display.PresentedFrame();
        EXPECT_TRUE(screen.has_value());
        return screen ? std::move(*screen) : *Imaging::TBitmap32::Create(1, 1);
    }

    static Imaging::TPicture BitmapPicture(const Imaging::TBitmap32 &bitmap) { return Imaging::TPicture::FromBitmap(bitmap); }

    TTestRegistry Registry;
    TFakeDisplay Display;
    TRecordingSound Sound;
    TSteppedClock Clock;
    TFakeOwnerForm Form;
    std::unique_ptr<TQss> Engine;
};

} // namespace Halcyra::Testing
