// The MIME type of every extension the registry knows, for the desktop: the desktop entry,
// the thumbnailer entry and the MIME package all announce what the registry reads.
#pragma once

#include <string>
#include <vector>

#include "formats/format_registry.h"

namespace vumo {

// The type a file manager gives a file with this extension (compared ignoring ASCII case),
// or nullptr when the extension has none.
const char* MimeTypeOfExtension(const std::string& extension);

// The types of every extension registered in `list` whose class is `readerBase` or descends
// from it (every class when null), sorted, each once. Raises Exception naming the first
// extension without a type, so a new registry row cannot slip past the desktop.
std::vector<std::string> RegisteredMimeTypes(const TFileFormatList& list, TGraphicClass readerBase = nullptr);

}  // namespace vumo
