#include "platform/codepage.h"

namespace cvn::platform {

uint32_t CodePageOfCharset(int charset) {
  switch (charset) {
    case 238: return 1250;  // Central European
    case 204: return 1251;  // Cyrillic
    case 161: return 1253;  // Greek
    case 162: return 1254;  // Turkish
    case 177: return 1255;  // Hebrew
    case 178: return 1256;  // Arabic
    case 186: return 1257;  // Baltic
    case 163: return 1258;  // Vietnamese
    case 222: return 874;   // Thai
    case 128: return 932;   // Japanese
    case 129: return 949;   // Korean
    case 134: return 936;   // Simplified Chinese
    case 136: return 950;   // Traditional Chinese
    default: return 1252;   // Western, for 0, 1 and the rest
  }
}

}  // namespace cvn::platform
