// Internal failures of the core.
#include "base/internal_error.h"

namespace vedavi {

void internal_failure(std::string_view what) { throw InternalError(std::string(what)); }

#ifdef VEDAVI_FAULT_INJECTION
void fault_point(std::string_view input) {
  if (input.find(kFaultMarker) != std::string_view::npos) internal_failure("injected fault");
}
#endif

}  // namespace vedavi
