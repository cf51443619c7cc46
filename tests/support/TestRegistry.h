// The real settings hive of the platform, set up for one test: on Windows the current user's
// registry, under a maker name of the test's own that is deleted afterwards; on Linux key files in a
// fresh folder.
#pragma once

#include "platform/Registry.h"

#include <memory>
#include <string>
#include <vector>

namespace Halcyra::Testing {

class TTestRegistry {
public:
    TTestRegistry();
    ~TTestRegistry();

    Platform::IRegistry &Registry();
    // A maker name no other test uses.
    const std::string &BrandName() const { return FBrandName; }
    // Deletes the test's keys of these product names when the test ends.
    void ForgetKeyOf(const std::string &ssName) { FProducts.push_back(ssName); }

private:
    std::string FBrandName;
    std::vector<std::string> FProducts;
    struct TState;
    std::unique_ptr<TState> FState;
};

} // namespace Halcyra::Testing
