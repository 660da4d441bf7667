// The saver's resources compiled into the executable: icon 101, bitmaps 400-407,
// waves 200-205 and dialog 151, each the complete file exactly as committed under
// resources/ (a BITMAP keeps its 14-byte file header; skip it to get the DIB; a
// DIALOG is a plain DLGTEMPLATE with UTF-16 texts).
// Depends on nothing; usable on every platform. Must not allocate or fail.
#pragma once

#include <cstdint>
#include <span>

namespace nb {

struct EmbeddedResource {
    const char* type;  // "BITMAP", "WAV", "ICON" or "DIALOG"
    int id;
    const unsigned char* data;
    uint32_t size;
};

// The resource of that type (compared without regard to case) and id, or null
// when there is none or type is null.
const EmbeddedResource* FindEmbeddedResource(const char* type, int id);

// Every embedded resource, icons first, then bitmaps and waves by id, then dialogs.
std::span<const EmbeddedResource> EmbeddedResources();

}  // namespace nb
