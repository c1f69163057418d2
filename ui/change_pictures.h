// The changes tree's image list: the 20 pictures of ui/pictures drawn at the
// size the tree's DPI asks for (16 pixels at 96 DPI, 24 at 144, 32 at 192).
#pragma once

#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <cstdint>

namespace cvn::ui {

// A 32-bit image list (ILC_COLOR32, alpha blended, no mask) of the pictures
// in the order of changes_view.h's ImageIndex, each `size` by `size` pixels.
// The caller owns it: ImageList_Destroy, unless a control that destroys its
// image lists took it. Null when `size` is below 1 or the system refused.
HIMAGELIST CreateChangePictures(int size);

// How much of the program's icon shows through in the background picture,
// 0 to 255.
inline constexpr uint32_t kBackgroundOpacity = 28;

// The changes tree's background picture: an image list of one image, the
// program's icon `size` by `size` pixels, faded almost to nothing. Owned as
// above; null when `size` is below 1 or the system refused.
HIMAGELIST CreateBackgroundPicture(int size);

}  // namespace cvn::ui
