// The pictures of the changes tree and the program's icon, drawn from shapes
// at the exact size asked for, so they stay sharp at every DPI and in print.
//
// The tree's pictures form one family: a base symbol for what changed (a
// folder for keys and folders alike, a page for a file, a labelled tile for a
// registry value, "ab" for text and "01" for other data) and a badge in the
// lower right for how: green plus created, red minus deleted, amber pencil
// changed, blue up arrow a shared-library counter incremented, violet arrows
// moved (out of the faded old place, into the new one).
//
// Threads: pure functions.
#pragma once

#include <cstdint>
#include <vector>

namespace cvn::pictures {

// The pictures in the order of the tree's image list (changes_view.h's
// ImageIndex): 0 the computer, 1 the file system, 2 the registry, 3 a drive,
// 4 a folder or key on the way to changes, 5 and 6 a created and a deleted
// key or folder, 7 to 10 a value of other than text created, deleted,
// changed and a counter incremented, 11 to 14 the same for text values,
// 15 to 17 a file created, deleted, changed, 18 a file moved from, 19 to.
inline constexpr int kChangePictureCount = 20;

// A picture `size` by `size` pixels as premultiplied BGRA (0xAARRGGBB as a
// number), the top row first. An index outside 0 to kChangePictureCount - 1
// gives a wholly transparent picture of that size; a size below 1 gives none.
std::vector<uint32_t> DrawChangePicture(int index, int size);

// The program's icon, a parcel under a magnifying glass, in the same form.
std::vector<uint32_t> DrawProgramIcon(int size);

}  // namespace cvn::pictures
