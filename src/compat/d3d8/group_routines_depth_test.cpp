// The four-pixel-group routines of draws that test depth without writing it.
#include "compat/d3d8/group_routines.h"

namespace d3d8compat {
namespace routines {

template SpanFunction groupRoutine<DepthMode::kTestOnly>(int, int, BlendMode);

}  // namespace routines
}  // namespace d3d8compat
