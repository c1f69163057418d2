// The English source of every window and message of Corvane: where a new
// translation starts. Kept in English.source; a test under Wine checks it
// against the windows themselves.
#pragma once

#include <string_view>

namespace cvn::lngc {
extern const std::string_view kEnglishTemplate;
}
