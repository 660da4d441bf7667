// The texture manager: entries, lookup, and the building of a driver-managed texture
// surface from a bitmap (format choice, power-of-two and square rules, copy through a
// system-memory staging surface).
// Depends on the graphics, GDI and system ports through textureList. Every interface an
// entry stores holds one reference, released texture first, then surface.
#include "scene/textures.h"

#include <cstdio>
#include <new>

namespace nb {

TextureList textureList;

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNameIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) {
            return false;
        }
        if (*a == '\0') {
            return true;
        }
    }
}

uint32_t PowerOfTwoAtLeast(uint32_t value) {
    uint32_t power = 1;
    while (power < value && power < 0x80000000u) {
        power <<= 1;
    }
    return power;
}

int32_t AcceptTextureFormat(const DDPIXELFORMAT* format, void* context) {
    FormatSearch& search = *static_cast<FormatSearch*>(context);
    if (format == nullptr) {
        return D3DENUMRET_OK;
    }
    const uint32_t flags = format->dwFlags;
    if (flags & (DDPF_LUMINANCE | DDPF_BUMPLUMINANCE | DDPF_BUMPDUDV)) {
        return D3DENUMRET_OK;
    }
    if (search.usePalette) {
        if (!(flags & DDPF_PALETTEINDEXED8)) {
            return D3DENUMRET_OK;
        }
    } else {
        if (format->dwRGBBitCount < 16 || (flags & DDPF_FOURCC)) {
            return D3DENUMRET_OK;
        }
        if (((flags & DDPF_ALPHAPIXELS) != 0) != search.useAlpha) {
            return D3DENUMRET_OK;
        }
        if (format->dwRGBBitCount != search.bitsPerPixel) {
            return D3DENUMRET_OK;
        }
    }
    search.format = *format;
    search.found = true;
    return D3DENUMRET_CANCEL;
}

// Copies the bitmap into the texture surface through a system-memory surface of the
// bitmap's own size, so that GDI converts the pixels and the Blt stretches them onto an
// enlarged texture. Steps that cannot be done end the copy quietly: the texture then
// exists with undefined contents.
void CopyBitmapToSurface(Bitmap bitmap, const BITMAP& info, DrawSurface& surface, Gdi& gdi) {
    Ref<DirectDraw> directDraw;
    if (Failed(surface.GetDDInterface(directDraw.Put())) || !directDraw) {
        return;
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(DDSURFACEDESC2);
    if (Failed(surface.GetSurfaceDesc(&desc))) {
        return;
    }

    DDSURFACEDESC2 stagingDesc{};
    stagingDesc.dwSize = sizeof(DDSURFACEDESC2);
    stagingDesc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_TEXTURESTAGE;
    stagingDesc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
    stagingDesc.dwWidth = static_cast<uint32_t>(info.bmWidth);
    stagingDesc.dwHeight = static_cast<uint32_t>(info.bmHeight);
    stagingDesc.ddpfPixelFormat = desc.ddpfPixelFormat;
    stagingDesc.dwTextureStage = desc.dwTextureStage;
    Ref<DrawSurface> staging;
    if (Failed(directDraw->CreateSurface(&stagingDesc, staging.Put())) || !staging) {
        return;
    }

    const Dc memory = gdi.CreateCompatibleDC(NoDc);
    if (IsNone(memory)) {
        return;
    }
    const Bitmap previous = gdi.SelectObject(memory, bitmap);

    if ((desc.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8) && desc.ddpfPixelFormat.dwRGBBitCount == 8) {
        RGBQUAD table[256] = {};
        PALETTEENTRY entries[256] = {};
        const uint32_t read = gdi.GetDIBColorTable(memory, 0, 256, table);
        for (uint32_t i = 0; i < read && i < 256; ++i) {
            entries[i] = PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0xFF};
        }
        Ref<DrawPalette> palette;
        if (Succeeded(directDraw->CreatePalette(DDPCAPS_8BIT, entries, palette.Put())) && palette) {
            staging->SetPalette(palette.Get());
            surface.SetPalette(palette.Get());
        }
    }

    Dc target{};
    if (Succeeded(staging->GetDC(&target))) {
        gdi.BitBlt(target, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
        staging->ReleaseDC(target);
    }
    if (!IsNone(previous)) {
        gdi.SelectObject(memory, previous);
    }
    gdi.DeleteDC(memory);

    surface.Blt(nullptr, staging.Get(), nullptr, DDBLT_WAIT);
}

int32_t BuildSurface(TextureEntry& entry, Device3D& device) {
    Gdi* gdi = textureList.gdi;
    if (gdi == nullptr) {
        return E_FAIL;
    }

    // The DirectDraw object behind the device. The device keeps it alive; the reference
    // taken here is held only while this build runs.
    Ref<DirectDraw> directDraw;
    {
        Ref<DrawSurface> renderTarget;
        if (Failed(device.GetRenderTarget(renderTarget.Put())) || !renderTarget) {
            return E_FAIL;
        }
        if (Failed(renderTarget->GetDDInterface(directDraw.Put())) || !directDraw) {
            return E_FAIL;
        }
    }

    D3DDEVICEDESC hardware{};
    D3DDEVICEDESC software{};
    hardware.dwSize = sizeof(D3DDEVICEDESC);
    software.dwSize = sizeof(D3DDEVICEDESC);
    if (Failed(device.GetCaps(&hardware, &software))) {
        return E_FAIL;
    }
    const uint32_t textureCaps =
        hardware.dwFlags != 0 ? hardware.dpcTriCaps.dwTextureCaps : software.dpcTriCaps.dwTextureCaps;

    // A bitmap that never loaded has no size to build from.
    BITMAP info{};
    if (IsNone(entry.bitmap) || gdi->GetObjectA(entry.bitmap, &info) == 0 || info.bmWidth <= 0 ||
        info.bmHeight == 0) {
        return E_FAIL;
    }
    if (info.bmHeight < 0) {
        info.bmHeight = -info.bmHeight;  // a top-down bitmap reports its height negated
    }

    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(DDSURFACEDESC2);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_TEXTURESTAGE;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    desc.dwTextureStage = entry.stage;
    desc.dwWidth = static_cast<uint32_t>(info.bmWidth);
    desc.dwHeight = static_cast<uint32_t>(info.bmHeight);
    if (textureCaps & D3DPTEXTURECAPS_POW2) {
        desc.dwWidth = PowerOfTwoAtLeast(desc.dwWidth);
        desc.dwHeight = PowerOfTwoAtLeast(desc.dwHeight);
    }
    if (textureCaps & D3DPTEXTURECAPS_SQUAREONLY) {
        const uint32_t side = desc.dwWidth > desc.dwHeight ? desc.dwWidth : desc.dwHeight;
        desc.dwWidth = side;
        desc.dwHeight = side;
    }

    FormatSearch search;
    search.usePalette = info.bmBitsPixel <= 8;
    // Without an acceptable format the request would carry an empty pixel format.
    if (!ChooseTextureFormat(device, search)) {
        return E_FAIL;
    }
    desc.ddpfPixelFormat = search.format;

    if (Failed(directDraw->CreateSurface(&desc, entry.surface.Put())) || !entry.surface) {
        entry.surface = nullptr;
        return E_FAIL;
    }
    if (Failed(QueryInterface(*entry.surface, IID_IDirect3DTexture2, entry.texture)) || !entry.texture) {
        entry.texture = nullptr;
        return E_FAIL;
    }
    CopyBitmapToSurface(entry.bitmap, info, *entry.surface, *gdi);
    return S_OK;
}

void DropSurface(TextureEntry& entry) {
    entry.texture.Reset();
    entry.surface.Reset();
}

}  // namespace

void TextureUsePlatform(System* system, Gdi* gdi) {
    textureList.system = system;
    textureList.gdi = gdi;
}

bool ChooseTextureFormat(Device3D& device, FormatSearch& search) {
    search.found = false;
    device.EnumTextureFormats(&AcceptTextureFormat, &search);
    if (!search.found && search.usePalette) {
        search.usePalette = false;
        search.bitsPerPixel = 16;
        device.EnumTextureFormats(&AcceptTextureFormat, &search);
    }
    return search.found;
}

int32_t TextureCreate(uint32_t id, uint32_t stage) {
    char name[textureNameCapacity];
    std::snprintf(name, sizeof name, "%u", static_cast<unsigned>(id));
    if (TextureFind(name) != nullptr) {
        return S_OK;
    }
    TextureEntry* entry = new (std::nothrow) TextureEntry{};
    if (entry == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::snprintf(entry->name, sizeof entry->name, "%s", name);
    entry->stage = stage;
    if (textureList.system != nullptr) {
        entry->bitmap = textureList.system->LoadImageA(id, LR_CREATEDIBSECTION);
    }
    entry->next = textureList.head;
    if (textureList.head != nullptr) {
        textureList.head->prev = entry;
    }
    textureList.head = entry;
    return S_OK;
}

TextureEntry* TextureFind(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    for (TextureEntry* entry = textureList.head; entry != nullptr; entry = entry->next) {
        if (SameNameIgnoringCase(entry->name, name)) {
            return entry;
        }
    }
    return nullptr;
}

Texture3D* TextureGet(const char* name) {
    TextureEntry* entry = TextureFind(name);
    if (entry == nullptr || !entry->surface) {
        return nullptr;
    }
    return entry->texture.Get();
}

int32_t TextureRestore(const char* name, Device3D* device) {
    if (device == nullptr) {
        return E_INVALIDARG;
    }
    TextureEntry* entry = TextureFind(name);
    if (entry == nullptr) {
        return DDERR_NOTFOUND;
    }
    DropSurface(*entry);
    return BuildSurface(*entry, *device);
}

int32_t TextureRestoreAll(Device3D* device) {
    for (TextureEntry* entry = textureList.head; entry != nullptr; entry = entry->next) {
        TextureRestore(entry->name, device);
    }
    return S_OK;
}

int32_t TextureInvalidateAll() {
    for (TextureEntry* entry = textureList.head; entry != nullptr; entry = entry->next) {
        DropSurface(*entry);
    }
    return S_OK;
}

void TextureDestroyAll() {
    TextureEntry* entry = textureList.head;
    textureList.head = nullptr;
    while (entry != nullptr) {
        TextureEntry* next = entry->next;
        DropSurface(*entry);
        if (!IsNone(entry->bitmap) && textureList.gdi != nullptr) {
            textureList.gdi->DeleteObject(entry->bitmap);
        }
        delete entry;
        entry = next;
    }
}

}  // namespace nb
