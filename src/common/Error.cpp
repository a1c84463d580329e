#include <kelm/Error.h>

namespace kelm {

// The one out-of-line member: it anchors the class's type information in the library, where the
// throws are.
Error::~Error() = default;

} // namespace kelm
