// Libraries loaded at run time and the symbols they export.
#pragma once

#include <memory>
#include <string>

namespace Halcyra::Platform {

class IDynamicLibrary {
public:
    // Unloads the library.
    virtual ~IDynamicLibrary() = default;

    // The address of an exported symbol; null when the library exports none of that name.
    virtual void *Symbol(const std::string &name) = 0;
};

class ILibraryLoader {
public:
    virtual ~ILibraryLoader() = default;

    // Loads a library by file name through the system's search; null when it cannot be loaded.
    virtual std::unique_ptr<IDynamicLibrary> Load(const std::string &fileName) = 0;
};

// The system's loader.
ILibraryLoader &SystemLibraries();

} // namespace Halcyra::Platform
