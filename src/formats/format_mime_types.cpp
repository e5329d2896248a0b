#include "formats/format_mime_types.h"

#include <algorithm>

#include "pixels/errors.h"

namespace vumo {
namespace {

struct TMimeRow {
  const char* Extension;
  const char* MimeType;
};

// One row per registry row, whether its reader is built yet or not, so a reader joins the
// desktop by its registry row alone. Where the shared MIME database already names a format,
// its name is used; the image/x-... names the database lacks come with data/vumo-mime.xml.
const TMimeRow kMimeRows[] = {
    {"bmp", "image/bmp"},
    {"ico", "image/vnd.microsoft.icon"},
    {"wmf", "image/wmf"},
    {"emf", "image/emf"},
    {"jfif", "image/jpeg"},
    {"jpg", "image/jpeg"},
    {"jpe", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"rle", "image/rle"},
    {"dib", "image/bmp"},
    {"win", "image/x-tga"},
    {"vst", "image/x-tga"},
    {"vda", "image/x-tga"},
    {"tga", "image/x-tga"},
    {"icb", "image/x-tga"},
    {"tiff", "image/tiff"},
    {"tif", "image/tiff"},
    {"fax", "image/tiff"},  // GFI's fax files are TIFF files
    {"eps", "image/x-eps"},
    {"pcx", "image/vnd.zbrush.pcx"},
    {"pcc", "image/vnd.zbrush.pcx"},
    {"scr", "image/vnd.zbrush.pcx"},  // Word 5 screen captures are PCX files
    {"rpf", "image/x-rla"},
    {"rla", "image/x-rla"},
    {"sgi", "image/x-sgi"},
    {"rgba", "image/x-sgi"},
    {"rgb", "image/x-rgb"},  // the database's own name for SGI's .rgb files
    {"bw", "image/x-sgi"},
    {"psd", "image/vnd.adobe.photoshop"},
    {"pdd", "image/vnd.adobe.photoshop"},
    {"ppm", "image/x-portable-pixmap"},
    {"pgm", "image/x-portable-graymap"},
    {"pbm", "image/x-portable-bitmap"},
    {"pam", "image/x-portable-arbitrarymap"},
    {"pfm", "image/x-portable-floatmap"},
    {"phm", "image/x-portable-floatmap"},
    {"cel", "image/x-autodesk-cel"},
    {"pic", "image/x-autodesk-cel"},  // Animator's full-screen pictures: the same format
    {"pcd", "image/x-photo-cd"},
    {"cut", "image/x-halo-cut"},
    {"psp", "image/x-psp"},
    {"png", "image/png"},
    {"gif", "image/gif"},
    {"qoi", "image/qoi"},
    {"webp", "image/webp"},
    {"dds", "image/x-dds"},  // the database's name; image/vnd-ms.dds is its alias in data/vumo-mime.xml
    {"ktx", "image/ktx"},
    {"ktx2", "image/ktx2"},
    {"pkm", "image/x-pkm"},  // not in the database: data/vumo-mime.xml defines it
    {"astc", "image/astc"},
    {"hdr", "image/vnd.radiance"},  // not in the database: data/vumo-mime.xml defines it
    {"rgbe", "image/vnd.radiance"},
    {"exr", "image/x-exr"},
};

bool SameTextAscii(const char* a, const std::string& b) {
  std::size_t i = 0;
  for (; a[i] && i < b.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return !a[i] && i == b.size();
}

}  // namespace

const char* MimeTypeOfExtension(const std::string& extension) {
  for (const TMimeRow& row : kMimeRows)
    if (SameTextAscii(row.Extension, extension)) return row.MimeType;
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
