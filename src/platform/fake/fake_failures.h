// What each port call reports when the platform refuses it, the way the platform usually
// does: a lost surface for a flip, no exclusive mode for the cooperative-level test, out of
// video memory for a surface, a lost buffer for a sound lock, a missing value for a
// registry query. Used to fail one call after another in a failure sweep.
// Depends on the port headers' result codes only. Test support only.
#pragma once

#include <cstdint>
#include <string_view>

namespace nb::fake {

// The typical failure result of the call with this full name ("DrawSurface::Flip").
// Calls whose failure is not a code (a false, a null handle) get E_FAIL, which the fakes
// turn into that form. Never S_OK.
int32_t TypicalFailure(std::string_view fullName);

}  // namespace nb::fake
