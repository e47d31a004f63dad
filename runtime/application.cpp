// The application image the runtime loads windows and dispatches events from.
#include "runtime/application.h"

namespace rt {

namespace {
ApplicationImage current;
}

void SetApplicationImage(const ApplicationImage& image) { current = image; }
const ApplicationImage& CurrentApplicationImage() { return current; }

}  // namespace rt
