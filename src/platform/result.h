// Result codes of the platform as the ports report them: 32-bit HRESULT-style values,
// zero success, negative failure, with exactly the numbers the mingw-w64 headers give
// (checked by tests/platform/windows_values.cpp in the Windows builds).
// Depends on nothing but <cstdint>. Must not include any platform header: the Win32
// adapter includes these port headers first and <windows.h> after them, because many of
// these names are macros there.
#pragma once

#include <cstdint>

namespace nb {

constexpr bool Succeeded(int32_t result) { return result >= 0; }
constexpr bool Failed(int32_t result) { return result < 0; }

constexpr int32_t MakeFailure(uint32_t facility, uint32_t code) {
  return static_cast<int32_t>(0x80000000u | (facility << 16) | code);
}

inline constexpr int32_t S_OK = 0;
inline constexpr int32_t S_FALSE = 1;
inline constexpr int32_t E_NOTIMPL = static_cast<int32_t>(0x80004001u);
inline constexpr int32_t E_NOINTERFACE = static_cast<int32_t>(0x80004002u);
inline constexpr int32_t E_POINTER = static_cast<int32_t>(0x80004003u);
inline constexpr int32_t E_FAIL = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t E_OUTOFMEMORY = static_cast<int32_t>(0x8007000Eu);
inline constexpr int32_t E_INVALIDARG = static_cast<int32_t>(0x80070057u);

// DirectDraw and Direct3D share facility 0x876.
inline constexpr uint32_t FacilityDirectDraw = 0x876;
inline constexpr int32_t DD_OK = 0;
inline constexpr int32_t DDERR_GENERIC = E_FAIL;
inline constexpr int32_t DDERR_INVALIDPARAMS = E_INVALIDARG;
inline constexpr int32_t DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr int32_t DDERR_UNSUPPORTED = E_NOTIMPL;
inline constexpr int32_t DDERR_INVALIDCAPS = MakeFailure(FacilityDirectDraw, 100);
inline constexpr int32_t DDERR_INVALIDMODE = MakeFailure(FacilityDirectDraw, 120);
inline constexpr int32_t DDERR_INVALIDOBJECT = MakeFailure(FacilityDirectDraw, 130);
inline constexpr int32_t DDERR_INVALIDPIXELFORMAT = MakeFailure(FacilityDirectDraw, 145);
inline constexpr int32_t DDERR_INVALIDRECT = MakeFailure(FacilityDirectDraw, 150);
inline constexpr int32_t DDERR_NOCOOPERATIVELEVELSET = MakeFailure(FacilityDirectDraw, 212);
inline constexpr int32_t DDERR_NOEXCLUSIVEMODE = MakeFailure(FacilityDirectDraw, 225);
inline constexpr int32_t DDERR_NOTFOUND = MakeFailure(FacilityDirectDraw, 255);
inline constexpr int32_t DDERR_NOZBUFFERHW = MakeFailure(FacilityDirectDraw, 340);
inline constexpr int32_t DDERR_OUTOFVIDEOMEMORY = MakeFailure(FacilityDirectDraw, 380);
inline constexpr int32_t DDERR_SURFACEBUSY = MakeFailure(FacilityDirectDraw, 430);
inline constexpr int32_t DDERR_SURFACELOST = MakeFailure(FacilityDirectDraw, 450);
inline constexpr int32_t DDERR_WASSTILLDRAWING = MakeFailure(FacilityDirectDraw, 540);
inline constexpr int32_t DDERR_NODIRECTDRAWHW = MakeFailure(FacilityDirectDraw, 563);
inline constexpr int32_t DDERR_PRIMARYSURFACEALREADYEXISTS = MakeFailure(FacilityDirectDraw, 564);
inline constexpr int32_t DDERR_NOPALETTEATTACHED = MakeFailure(FacilityDirectDraw, 572);
inline constexpr int32_t DDERR_EXCLUSIVEMODEALREADYSET = MakeFailure(FacilityDirectDraw, 581);
inline constexpr int32_t DDERR_NOTFLIPPABLE = MakeFailure(FacilityDirectDraw, 582);
inline constexpr int32_t DDERR_NOTLOCKED = MakeFailure(FacilityDirectDraw, 584);
inline constexpr int32_t DDERR_CANTCREATEDC = MakeFailure(FacilityDirectDraw, 585);
inline constexpr int32_t DDERR_NODC = MakeFailure(FacilityDirectDraw, 586);
inline constexpr int32_t DDERR_WRONGMODE = MakeFailure(FacilityDirectDraw, 587);
inline constexpr int32_t DDERR_UNSUPPORTEDMODE = MakeFailure(FacilityDirectDraw, 590);
inline constexpr int32_t DDERR_DCALREADYCREATED = MakeFailure(FacilityDirectDraw, 620);
inline constexpr int32_t D3DERR_INVALID_DEVICE = MakeFailure(FacilityDirectDraw, 705);
inline constexpr int32_t D3DERR_INITFAILED = MakeFailure(FacilityDirectDraw, 706);
inline constexpr int32_t D3DERR_SCENE_IN_SCENE = MakeFailure(FacilityDirectDraw, 760);
inline constexpr int32_t D3DERR_SCENE_NOT_IN_SCENE = MakeFailure(FacilityDirectDraw, 761);
inline constexpr int32_t D3DERR_VIEWPORTDATANOTSET = MakeFailure(FacilityDirectDraw, 773);
inline constexpr int32_t D3DERR_VIEWPORTHASNODEVICE = MakeFailure(FacilityDirectDraw, 774);
inline constexpr int32_t D3DERR_INVALIDVERTEXFORMAT = MakeFailure(FacilityDirectDraw, 2048);

// DirectSound, facility 0x878.
inline constexpr uint32_t FacilityDirectSound = 0x878;
inline constexpr int32_t DS_OK = 0;
inline constexpr int32_t DSERR_GENERIC = E_FAIL;
inline constexpr int32_t DSERR_INVALIDPARAM = E_INVALIDARG;
inline constexpr int32_t DSERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr int32_t DSERR_UNSUPPORTED = E_NOTIMPL;
inline constexpr int32_t DSERR_ALLOCATED = MakeFailure(FacilityDirectSound, 10);
inline constexpr int32_t DSERR_CONTROLUNAVAIL = MakeFailure(FacilityDirectSound, 30);
inline constexpr int32_t DSERR_INVALIDCALL = MakeFailure(FacilityDirectSound, 50);
inline constexpr int32_t DSERR_PRIOLEVELNEEDED = MakeFailure(FacilityDirectSound, 70);
inline constexpr int32_t DSERR_BADFORMAT = MakeFailure(FacilityDirectSound, 100);
inline constexpr int32_t DSERR_NODRIVER = MakeFailure(FacilityDirectSound, 120);
inline constexpr int32_t DSERR_BUFFERLOST = MakeFailure(FacilityDirectSound, 150);

}  // namespace nb
