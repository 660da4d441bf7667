// The texture manager: a named list of textures, each keeping its source bitmap for the
// life of the process and, while a display exists, a driver-managed texture surface made
// from it for the current device.
// Depends on the graphics, GDI and system ports. Bitmaps are loaded through the System
// port and copied through the Gdi port set by TextureUsePlatform (SceneInit does that).
// Must not keep any interface of the device itself: only the entries' own surfaces.
#pragma once

#include <cstdint>

#include "platform/gdi.h"
#include "platform/graphics.h"
#include "platform/handles.h"
#include "platform/ref.h"
#include "platform/system.h"

namespace nb {

inline constexpr uint32_t textureNameCapacity = 80;  // 79 characters and the terminator

struct TextureEntry {
    Bitmap bitmap{};             // NoBitmap when the resource could not be loaded
    Ref<DrawSurface> surface;    // the texture surface for the current device, or none
    Ref<Texture3D> texture;      // the same surface's texture interface, or none
    uint32_t stage = 0;          // texture stage written into the surface description
    char name[textureNameCapacity] = {};
    TextureEntry* prev = nullptr;
    TextureEntry* next = nullptr;
};

// The process-wide list, newest entry first, with the ports it loads and copies through.
struct TextureList {
    TextureEntry* head = nullptr;
    System* system = nullptr;
    Gdi* gdi = nullptr;
};

extern TextureList textureList;

// Sets the ports through which bitmaps are loaded, described, copied and deleted. Either
// may be null: without a System no bitmap loads; without a Gdi no surface can be built.
void TextureUsePlatform(System* system, Gdi* gdi);

// Adds an entry named by id in decimal with the bitmap resource id, loaded as a
// device-independent bitmap; no surface yet. An existing name is left as it is. 0, or
// E_OUTOFMEMORY (nothing linked). A bitmap that cannot be loaded still gives an entry,
// which then never gets a texture.
int32_t TextureCreate(uint32_t id, uint32_t stage);

// The first entry whose name equals name without regard to ASCII letter case; null for
// none or a null name.
TextureEntry* TextureFind(const char* name);

// The texture interface of the named entry (lent, no reference added); null when there is
// no such entry or it has no surface.
Texture3D* TextureGet(const char* name);

// Drops the entry's texture and surface and builds them anew for device. 0; E_INVALIDARG
// for a null device (the entry untouched); DDERR_NOTFOUND for an unknown name; E_FAIL when
// the surface cannot be made (no bitmap, no DirectDraw object, no caps, no acceptable
// format, surface or texture interface refused); the entry then has no texture.
int32_t TextureRestore(const char* name, Device3D* device);

// TextureRestore for every entry from the head; failures leave that entry without a
// texture. Always 0.
int32_t TextureRestoreAll(Device3D* device);

// Releases every entry's texture, then surface; bitmaps stay. Always 0.
int32_t TextureInvalidateAll();

// Releases every texture and surface, deletes every bitmap and frees every entry; the list
// is empty afterwards.
void TextureDestroyAll();

// The pixel-format search of one surface build: 16 bits, no alpha, palettized formats only
// for bitmaps of 8 bits or fewer.
struct FormatSearch {
    uint32_t bitsPerPixel = 16;
    bool useAlpha = false;
    bool usePalette = false;
    bool found = false;
    DDPIXELFORMAT format{};
};

// Runs the search over the device's texture formats, with one retry without palette when
// a palettized search finds nothing. Returns whether a format was found (in search.format).
bool ChooseTextureFormat(Device3D& device, FormatSearch& search);

}  // namespace nb
