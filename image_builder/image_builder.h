// The program-image builder: serializes the in-memory image structures into
// exactly the bytes the runtime's reader takes. The build uses it to produce
// the assistant's embedded image; tests use it to make good and broken images.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/image.h"

namespace kesu::tools {

// Writes the whole image. The header's build mode, second mode word, build
// number and code base are taken from image.header; every offset and count is
// computed from the content. Event bindings are written as their offsets.
std::vector<uint8_t> BuildProgramImage(const ProgramImage& image);

// The window template block alone (index, then each window's template).
std::vector<uint8_t> BuildWindowTemplates(const std::vector<WindowTemplate>& windows);

// One unit record's bytes (without its length word).
std::vector<uint8_t> BuildUnitRecord(const UnitRecord& record);

// The byte offset of a field inside the image built by BuildProgramImage, for
// tests that corrupt a chosen place. Offsets are those of the last build.
struct ImageLayout {
    uint32_t libraryList = 0;
    std::vector<uint32_t> libraries;
    uint32_t constStart = 0;
    uint32_t templateStart = 0;
    uint32_t templateLength = 0;
};
std::vector<uint8_t> BuildProgramImage(const ProgramImage& image, ImageLayout& layout);

}  // namespace kesu::tools
