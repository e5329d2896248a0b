// Normal maps told by their file's name: a picture whose name ends in `_n`, `_nrm` or
// `_normal` before its extension (in any case) holds normals whatever its format says.
#pragma once

#include <string_view>

#include "formats/graphic.h"

namespace vumo {

bool FileNameSaysNormals(std::string_view fileName);

// Marks a loaded graphic as a normal map when its name says so. A two-channel texture keeps
// its channels; grey with alpha keeps X in grey and Y in alpha; a 32-bit picture whose red is
// one value throughout while its alpha is not follows the DXT5nm habit, X in alpha and Y in
// green; any other picture of pixels has X in red and Y in green (Z rebuilt from them, not
// read from blue). A picture that is not pixels (a metafile), or holds floats, is left alone.
void MarkNormalsByName(TGraphic& graphic, std::string_view fileName);

}  // namespace vumo
