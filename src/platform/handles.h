// Handles and small geometry records shared by the ports: windows, module instances,
// device contexts, bitmaps, cursors, RECT and POINT in the platform's layout.
// Handles are opaque integers: 0 is "none", anything else is whatever the adapter
// (a real HWND/HDC/HBITMAP) or the fake (a table index) made of it. Depends on <cstdint>.
#pragma once

#include <cstdint>

namespace nb {

enum class Window : uintptr_t {};    // HWND; also the handle of a dialog box
enum class Instance : uintptr_t {};  // HINSTANCE of the program
enum class Dc : uintptr_t {};        // HDC
enum class Bitmap : uintptr_t {};    // HBITMAP
enum class Cursor : uintptr_t {};    // HCURSOR; Cursor{} hides the cursor shape

inline constexpr Window NoWindow{};
inline constexpr Dc NoDc{};
inline constexpr Bitmap NoBitmap{};
inline constexpr Cursor NoCursor{};

constexpr bool IsNone(Window h) { return h == Window{}; }
constexpr bool IsNone(Dc h) { return h == Dc{}; }
constexpr bool IsNone(Bitmap h) { return h == Bitmap{}; }

struct POINT {
  int32_t x;
  int32_t y;
};

struct RECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

}  // namespace nb
