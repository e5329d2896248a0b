#include "formats/format_mime_types.h"

#include <algorithm>

#include "pixels/errors.h"

namespace vumo {

const char* MimeTypeOfExtension(const std::string& extension) {
  for (const TFormatRow& row : FormatRows())
    if (SameExtension(row.Extension, extension)) return row.MimeType;
  return nullptr;
}

std::vector<std::string> RegisteredMimeTypes(const TFileFormatList& list, TGraphicClass readerBase) {
  std::vector<std::string> types;
  for (const auto& entry : list.Extensions()) {
    if (readerBase && !entry->ClassEntry->ReaderClass->InheritsFrom(readerBase)) continue;
    const char* type = MimeTypeOfExtension(entry->Extension);
    if (!type) throw Exception(FormatMessage("The extension \"%s\" has no MIME type.", entry->Extension.c_str()));
    types.emplace_back(type);
  }
  std::sort(types.begin(), types.end());
  types.erase(std::unique(types.begin(), types.end()), types.end());
  return types;
}

}  // namespace vumo
