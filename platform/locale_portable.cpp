#include "platform/locale.h"

namespace cvn::platform {

DateTimeSeparators UserDateTimeSeparators() { return DateTimeSeparators(); }

}  // namespace cvn::platform
