#include "formats/format_registry.h"

#include <algorithm>

#include "formats/astc.h"
#include "formats/autodesk.h"
#include "formats/bitmap.h"
#include "formats/cut.h"
#include "formats/dds.h"
#include "formats/exr.h"
#include "formats/gif.h"
#include "formats/hdr.h"
#include "formats/icon.h"
#include "formats/jpeg_image.h"
#include "formats/ktx.h"
#include "formats/pkm.h"
#include "formats/messages.h"
#include "formats/metafile.h"
#include "formats/pcd.h"
#include "formats/pcx.h"
#include "formats/png.h"
#include "formats/picture.h"
#include "formats/portable_map.h"
#include "formats/psd.h"
#include "formats/psp.h"
#include "formats/qoi.h"
#include "formats/rla.h"
#include "formats/sgi.h"
#include "formats/targa.h"
#include "formats/tiff.h"
#include "formats/webp.h"

namespace vumo {
namespace {

bool SameTextAscii(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

TFileFormatList::~TFileFormatList() { ClearAll(); }

int TFileFormatList::IndexOfExtension(const std::string& Extension) const {
  if (Extension.empty()) return -1;
  for (std::size_t i = 0; i < extensions_.size(); ++i)
    if (SameTextAscii(extensions_[i]->Extension, Extension)) return static_cast<int>(i);
  return -1;
}

int TFileFormatList::IndexOfClass(TGraphicClass ReaderClass) const {
  for (std::size_t i = 0; i < classes_.size(); ++i)
    if (classes_[i]->ReaderClass == ReaderClass) return static_cast<int>(i);
  return -1;
}

TFileFormatList::TClassEntry* TFileFormatList::FindOrAddClass(TGraphicClass ReaderClass,
                                                              const std::string& ClassDescription) {
  int index = IndexOfClass(ReaderClass);
  TClassEntry* entry;
  if (index < 0) {
    classes_.push_back(std::make_unique<TClassEntry>(TClassEntry{ReaderClass, {}, 0}));
    entry = classes_.back().get();
  } else {
    entry = classes_[static_cast<std::size_t>(index)].get();
  }
  // The last non-empty common description given for a class wins.
  if (!ClassDescription.empty()) entry->Description = ClassDescription;
  return entry;
}

void TFileFormatList::RemoveClassEntry(TClassEntry* entry) {
  std::erase_if(classes_, [entry](const std::unique_ptr<TClassEntry>& e) { return e.get() == entry; });
}

void TFileFormatList::AddExtension(const std::string& Extension, const std::string& ClassDescription,
                                   const std::string& ExtensionDescription, TFormatKinds FormatKinds,
                                   bool ReplaceExisting, TGraphicClass ReaderClass) {
  if (Extension.empty()) return;
  int extIndex = IndexOfExtension(Extension);
  TClassEntry* classEntry;
  if (extIndex < 0) {
    extensions_.push_back(std::make_unique<TExtensionEntry>(
        TExtensionEntry{Extension, ExtensionDescription, FormatKinds, nullptr}));
    TExtensionEntry* extEntry = extensions_.back().get();
    classEntry = FindOrAddClass(ReaderClass, ClassDescription);
    ++classEntry->ExtensionCount;
    extEntry->ClassEntry = classEntry;
  } else if (!ReplaceExisting) {
    throw EInvalidGraphic(FormatMessage(kRegisterTwice, Extension.c_str()));
  } else {
    TExtensionEntry* extEntry = extensions_[static_cast<std::size_t>(extIndex)].get();
    classEntry = extEntry->ClassEntry;
    if (classEntry->ReaderClass != ReaderClass) {
      TClassEntry* previous = classEntry;
      classEntry = FindOrAddClass(ReaderClass, ClassDescription);
      ++classEntry->ExtensionCount;
      extEntry->ClassEntry = classEntry;
      if (--previous->ExtensionCount == 0) RemoveClassEntry(previous);
    }
  }
  TPicture::RegisterFileFormat(Extension, ExtensionDescription.empty() ? classEntry->Description : ExtensionDescription,
                               ReaderClass);
}

void TFileFormatList::RemoveExtension(const std::string& Extension, TGraphicClass ReaderClass) {
  int extIndex = IndexOfExtension(Extension);
  if (!Extension.empty() && extIndex < 0) return;
  if (Extension.empty()) {
    int classIndex = IndexOfClass(ReaderClass);
    if (classIndex < 0) return;
    TClassEntry* classEntry = classes_[static_cast<std::size_t>(classIndex)].get();
    for (std::size_t i = extensions_.size(); i-- > 0 && classEntry->ExtensionCount > 0;) {
      if (extensions_[i]->ClassEntry == classEntry) {
        --classEntry->ExtensionCount;
        extensions_.erase(extensions_.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
    RemoveClassEntry(classEntry);
    TPicture::UnregisterGraphicClass(ReaderClass);
    return;
  }
  TExtensionEntry* extEntry = extensions_[static_cast<std::size_t>(extIndex)].get();
  TClassEntry* classEntry = extEntry->ClassEntry;
  if (--classEntry->ExtensionCount == 0) {
    TPicture::UnregisterGraphicClass(classEntry->ReaderClass);
    RemoveClassEntry(classEntry);
  }
  extensions_.erase(extensions_.begin() + extIndex);
}

void TFileFormatList::ClearAll() {
  for (const auto& entry : classes_) TPicture::UnregisterGraphicClass(entry->ReaderClass);
  classes_.clear();
  extensions_.clear();
}

namespace {

struct TStartupRow {
  const char* Extension;
  TGraphicClass (*Class)();  // null while the reader class is not built yet
  const char* ClassDescription;
  const char* ExtensionDescription;
  TFormatKinds Kinds;
};

// The start-up registrations, in order. A row whose class is not there yet is skipped,
// so its extension meets the message for an extension without a class.
const TStartupRow kStartupRows[] = {
    {"bmp", &TBitmap::ClassInfo, "Windows bitmaps", "", fkRaster},
    {"ico", &TIcon::ClassInfo, "Windows icons", "", fkRaster},
    {"wmf", &TMetafile::ClassInfo, "Windows metafiles", "", fkVector},
    {"emf", &TMetafile::ClassInfo, "Windows metafiles", "Windows enhanced meta files", fkVector},
    {"jfif", &TJPEGImage::ClassInfo, "JPG images", "JFIF images", fkRaster},
    {"jpg", &TJPEGImage::ClassInfo, "", "JPG images", fkRaster},
    {"jpe", &TJPEGImage::ClassInfo, "", "JPE images", fkRaster},
    {"jpeg", &TJPEGImage::ClassInfo, "", "JPEG images", fkRaster},
    {"rle", &TBitmap::ClassInfo, "Windows bitmaps", "Run length encoded Windows bitmaps", fkRaster},
    {"dib", &TBitmap::ClassInfo, "", "Device independant Windows bitmaps", fkRaster},
    {"win", &TTargaGraphic::ClassInfo, "Truevision images", "", fkRaster},
    {"vst", &TTargaGraphic::ClassInfo, "", "", fkRaster},
    {"vda", &TTargaGraphic::ClassInfo, "", "", fkRaster},
    {"tga", &TTargaGraphic::ClassInfo, "", "", fkRaster},
    {"icb", &TTargaGraphic::ClassInfo, "", "", fkRaster},
    {"tiff", &TTIFFGraphic::ClassInfo, "Tagged image file format images", "Macintosh TIFF images", fkRaster | fkMultiImage},
    {"tif", &TTIFFGraphic::ClassInfo, "", "PC TIF images", fkRaster | fkMultiImage},
    {"fax", &TTIFFGraphic::ClassInfo, "", "GFI fax images", fkRaster | fkMultiImage},
    {"eps", &TEPSGraphic::ClassInfo, "Encapsulated Postscript images", "", fkRaster},
    {"pcx", &TPCXGraphic::ClassInfo, "ZSoft Paintbrush images", "", fkRaster},
    {"pcc", &TPCXGraphic::ClassInfo, "", "", fkRaster},
    {"scr", &TPCXGraphic::ClassInfo, "", "Word 5.x screen capture images", fkRaster},
    {"rpf", &TRLAGraphic::ClassInfo, "Alias/Wavefront images", "", fkRaster},
    {"rla", &TRLAGraphic::ClassInfo, "", "", fkRaster},
    {"sgi", &TSGIGraphic::ClassInfo, "SGI images", "SGI true color images", fkRaster},
    {"rgba", &TSGIGraphic::ClassInfo, "", "SGI true color images with alpha", fkRaster},
    {"rgb", &TSGIGraphic::ClassInfo, "", "SGI true color images", fkRaster},
    {"bw", &TSGIGraphic::ClassInfo, "", "SGI black/white images", fkRaster},
    {"psd", &TPSDGraphic::ClassInfo, "Photoshop images", "", fkRaster | fkLayered},
    {"pdd", &TPSDGraphic::ClassInfo, "", "", fkRaster | fkLayered},
    {"ppm", &TPPMGraphic::ClassInfo, "Portable map images", "Portable pixel map images", fkRaster},
    {"pgm", &TPPMGraphic::ClassInfo, "", "Portable gray map images", fkRaster},
    {"pbm", &TPPMGraphic::ClassInfo, "", "Portable bitmap images", fkRaster},
    {"pam", &TPPMGraphic::ClassInfo, "", "Portable arbitrary map images", fkRaster},
    {"pfm", &TPPMGraphic::ClassInfo, "", "Portable float map images", fkRaster},
    {"phm", &TPPMGraphic::ClassInfo, "", "Portable half float map images", fkRaster},
    {"cel", &TAutodeskGraphic::ClassInfo, "Autodesk images", "", fkRaster},
    {"pic", &TAutodeskGraphic::ClassInfo, "Autodesk images", "", fkRaster},
    {"pcd", &TPCDGraphic::ClassInfo, "Kodak Photo-CD images", "", fkRaster},
    {"cut", &TCUTGraphic::ClassInfo, "Dr. Halo images", "", fkRaster},
    {"psp", &TPSPGraphic::ClassInfo, "Paintshop Pro images", "", fkRaster | fkVector},
    {"png", &TPNGGraphic::ClassInfo, "Portable network graphic images", "", fkRaster},
    {"gif", &TGIFGraphic::ClassInfo, "GIF images", "", fkRaster | fkMultiImage},
    {"qoi", &TQOIGraphic::ClassInfo, "Quite OK images", "", fkRaster},
    {"webp", &TWebPGraphic::ClassInfo, "WebP images", "", fkRaster | fkMultiImage},
    {"dds", &TDDSGraphic::ClassInfo, "DirectDraw surfaces", "", fkRaster | fkMultiImage},
    {"ktx", &TKTXGraphic::ClassInfo, "Khronos textures", "", fkRaster | fkMultiImage},
    {"ktx2", &TKTX2Graphic::ClassInfo, "Khronos textures 2", "", fkRaster | fkMultiImage},
    {"pkm", &TPKMGraphic::ClassInfo, "Ericsson PKM textures", "", fkRaster},
    {"astc", &TASTCGraphic::ClassInfo, "ASTC textures", "", fkRaster},
    {"hdr", &THDRGraphic::ClassInfo, "Radiance HDR images", "", fkRaster},
    {"rgbe", &THDRGraphic::ClassInfo, "", "", fkRaster},
    {"exr", &TEXRGraphic::ClassInfo, "OpenEXR images", "", fkRaster | fkMultiImage},
};

// Classes withdrawn one by one at shutdown, in this order, before "rle" and "dib".
TGraphicClass (*const kShutdownFirst[])() = {
    &TPSPGraphic::ClassInfo,  &TPSDGraphic::ClassInfo, &TTargaGraphic::ClassInfo,
    &TTIFFGraphic::ClassInfo, &TSGIGraphic::ClassInfo, &TPCXGraphic::ClassInfo,
    &TAutodeskGraphic::ClassInfo, &TPCDGraphic::ClassInfo,   &TPPMGraphic::ClassInfo,
    &TCUTGraphic::ClassInfo, &TRLAGraphic::ClassInfo, &TGIFGraphic::ClassInfo,
    &TQOIGraphic::ClassInfo, &TWebPGraphic::ClassInfo, &TDDSGraphic::ClassInfo,
    &TKTXGraphic::ClassInfo, &TKTX2Graphic::ClassInfo, &TPKMGraphic::ClassInfo, &THDRGraphic::ClassInfo, &TEXRGraphic::ClassInfo,
    &TASTCGraphic::ClassInfo,
};
// ... and after them.
TGraphicClass (*const kShutdownLast[])() = {
    &TPNGGraphic::ClassInfo,
};

class TFormatsUnit {
 public:
  TFormatsUnit() {
    TPicture::FileFormats();  // the framework's table exists before the registry
    for (const TStartupRow& row : kStartupRows)
      if (row.Class) list.AddExtension(row.Extension, row.ClassDescription, row.ExtensionDescription, row.Kinds, false, row.Class());
  }
  ~TFormatsUnit() {
    for (auto classInfo : kShutdownFirst)
      if (classInfo) list.RemoveExtension("", classInfo());
    list.RemoveExtension("rle", TBitmap::ClassInfo());
    list.RemoveExtension("dib", TBitmap::ClassInfo());
    for (auto classInfo : kShutdownLast)
      if (classInfo) list.RemoveExtension("", classInfo());
  }
  TFileFormatList list;
};

}  // namespace

TFileFormatList& FileFormatList() {
  static TFormatsUnit unit;
  return unit.list;
}

std::vector<std::string> ReadableExtensions() {
  std::vector<std::string> extensions;
  for (const auto& entry : FileFormatList().Extensions()) {
    std::string extension = entry->Extension;
    for (char& c : extension)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (std::find(extensions.begin(), extensions.end(), extension) == extensions.end()) extensions.push_back(extension);
  }
  return extensions;
}

}  // namespace vumo
