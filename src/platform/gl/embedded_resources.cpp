#include "platform/gl/embedded_resources.h"

#include <vector>

#include "resources/bmp24.h"
#include "resources/embedded.h"

namespace nb {

ResourceData EmbeddedResourceData(const char* type, uint32_t id) {
  const EmbeddedResource* resource = FindEmbeddedResource(type, static_cast<int>(id));
  if (!resource) return {nullptr, 0};
  return {resource->data, resource->size};
}

Bitmap LoadEmbeddedBitmap(MemoryGdi& gdi, uint32_t id) {
  const EmbeddedResource* resource = FindEmbeddedResource("BITMAP", static_cast<int>(id));
  if (!resource) return NoBitmap;
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb;
  if (DecodeBmp24(resource->data, resource->size, &width, &height, &rgb) != 0) return NoBitmap;
  return gdi.CreateDib(width, height, rgb.data());
}

}  // namespace nb
