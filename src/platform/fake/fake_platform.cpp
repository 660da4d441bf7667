// Wiring of the fake ports.
#include "platform/fake/fake_platform.h"

namespace nb::fake {

FakePlatform::FakePlatform() { gdi.Connect(&windows); }

FakePlatform::~FakePlatform() { world.DestroyAll(); }

}  // namespace nb::fake
