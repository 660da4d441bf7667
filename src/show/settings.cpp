#include "show/settings.h"

namespace nb {

Settings settings;

}  // namespace nb
