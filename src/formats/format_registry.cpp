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

bool SameExtension(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

TFileFormatList::~TFileFormatList() { ClearAll(); }

int TFileFormatList::IndexOfExtension(const std::string& Extension) const {
  if (Extension.empty()) return -1;
  for (std::size_t i = 0; i < extensions_.size(); ++i)
    if (SameExtension(extensions_[i]->Extension, Extension)) return static_cast<int>(i);
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

// The start-up registrations, in order: adding a reader is its files and one row here. A
// row whose class is not there yet is skipped, so its extension meets the message for an
// extension without a class. Where the shared MIME database already names a format, its
// name is used; the image/x-... names it lacks come with data/vumo-mime.xml.
const TFormatRow kFormatRows[] = {
    {"bmp", &TBitmap::ClassInfo, "Windows bitmaps", "", fkRaster, "image/bmp", 0},
    {"ico", &TIcon::ClassInfo, "Windows icons", "", fkRaster, "image/vnd.microsoft.icon", 0},
    {"wmf", &TMetafile::ClassInfo, "Windows metafiles", "", fkVector, "image/wmf", 0},
    {"emf", &TMetafile::ClassInfo, "Windows metafiles", "Windows enhanced meta files", fkVector, "image/emf", 0},
    {"jfif", &TJPEGImage::ClassInfo, "JPG images", "JFIF images", fkRaster, "image/jpeg", 0},
    {"jpg", &TJPEGImage::ClassInfo, "", "JPG images", fkRaster, "image/jpeg", 0},
    {"jpe", &TJPEGImage::ClassInfo, "", "JPE images", fkRaster, "image/jpeg", 0},
    {"jpeg", &TJPEGImage::ClassInfo, "", "JPEG images", fkRaster, "image/jpeg", 0},
    {"rle", &TBitmap::ClassInfo, "Windows bitmaps", "Run length encoded Windows bitmaps", fkRaster, "image/rle", 22},
    {"dib", &TBitmap::ClassInfo, "", "Device independant Windows bitmaps", fkRaster, "image/bmp", 22},
    {"win", &TTargaGraphic::ClassInfo, "Truevision images", "", fkRaster, "image/x-tga", 3},
    {"vst", &TTargaGraphic::ClassInfo, "", "", fkRaster, "image/x-tga", 3},
    {"vda", &TTargaGraphic::ClassInfo, "", "", fkRaster, "image/x-tga", 3},
    {"tga", &TTargaGraphic::ClassInfo, "", "", fkRaster, "image/x-tga", 3},
    {"icb", &TTargaGraphic::ClassInfo, "", "", fkRaster, "image/x-tga", 3},
    {"tiff", &TTIFFGraphic::ClassInfo, "Tagged image file format images", "Macintosh TIFF images", fkRaster | fkMultiImage, "image/tiff", 4},
    {"tif", &TTIFFGraphic::ClassInfo, "", "PC TIF images", fkRaster | fkMultiImage, "image/tiff", 4},
    {"fax", &TTIFFGraphic::ClassInfo, "", "GFI fax images", fkRaster | fkMultiImage, "image/tiff", 4},  // GFI's fax files are TIFF files
    {"eps", &TEPSGraphic::ClassInfo, "Encapsulated Postscript images", "", fkRaster, "image/x-eps", 0},
    {"pcx", &TPCXGraphic::ClassInfo, "ZSoft Paintbrush images", "", fkRaster, "image/vnd.zbrush.pcx", 6},
    {"pcc", &TPCXGraphic::ClassInfo, "", "", fkRaster, "image/vnd.zbrush.pcx", 6},
    {"scr", &TPCXGraphic::ClassInfo, "", "Word 5.x screen capture images", fkRaster, "image/vnd.zbrush.pcx", 6},  // Word 5 screen captures are PCX files
    {"rpf", &TRLAGraphic::ClassInfo, "Alias/Wavefront images", "", fkRaster, "image/x-rla", 11},
    {"rla", &TRLAGraphic::ClassInfo, "", "", fkRaster, "image/x-rla", 11},
    {"sgi", &TSGIGraphic::ClassInfo, "SGI images", "SGI true color images", fkRaster, "image/x-sgi", 5},
    {"rgba", &TSGIGraphic::ClassInfo, "", "SGI true color images with alpha", fkRaster, "image/x-sgi", 5},
    {"rgb", &TSGIGraphic::ClassInfo, "", "SGI true color images", fkRaster, "image/x-rgb", 5},  // the database's own name for SGI's .rgb files
    {"bw", &TSGIGraphic::ClassInfo, "", "SGI black/white images", fkRaster, "image/x-sgi", 5},
    {"psd", &TPSDGraphic::ClassInfo, "Photoshop images", "", fkRaster | fkLayered, "image/vnd.adobe.photoshop", 2},
    {"pdd", &TPSDGraphic::ClassInfo, "", "", fkRaster | fkLayered, "image/vnd.adobe.photoshop", 2},
    {"ppm", &TPPMGraphic::ClassInfo, "Portable map images", "Portable pixel map images", fkRaster, "image/x-portable-pixmap", 9},
    {"pgm", &TPPMGraphic::ClassInfo, "", "Portable gray map images", fkRaster, "image/x-portable-graymap", 9},
    {"pbm", &TPPMGraphic::ClassInfo, "", "Portable bitmap images", fkRaster, "image/x-portable-bitmap", 9},
    {"pam", &TPPMGraphic::ClassInfo, "", "Portable arbitrary map images", fkRaster, "image/x-portable-arbitrarymap", 9},
    {"pfm", &TPPMGraphic::ClassInfo, "", "Portable float map images", fkRaster, "image/x-portable-floatmap", 9},
    {"phm", &TPPMGraphic::ClassInfo, "", "Portable half float map images", fkRaster, "image/x-portable-floatmap", 9},
    {"cel", &TAutodeskGraphic::ClassInfo, "Autodesk images", "", fkRaster, "image/x-autodesk-cel", 7},
    {"pic", &TAutodeskGraphic::ClassInfo, "Autodesk images", "", fkRaster, "image/x-autodesk-cel", 7},  // Animator's full-screen pictures: the same format
    {"pcd", &TPCDGraphic::ClassInfo, "Kodak Photo-CD images", "", fkRaster, "image/x-photo-cd", 8},
    {"cut", &TCUTGraphic::ClassInfo, "Dr. Halo images", "", fkRaster, "image/x-halo-cut", 10},
    {"psp", &TPSPGraphic::ClassInfo, "Paintshop Pro images", "", fkRaster | fkVector, "image/x-psp", 1},
    {"png", &TPNGGraphic::ClassInfo, "Portable network graphic images", "", fkRaster, "image/png", 23},
    {"gif", &TGIFGraphic::ClassInfo, "GIF images", "", fkRaster | fkMultiImage, "image/gif", 12},
    {"qoi", &TQOIGraphic::ClassInfo, "Quite OK images", "", fkRaster, "image/qoi", 13},
    {"webp", &TWebPGraphic::ClassInfo, "WebP images", "", fkRaster | fkMultiImage, "image/webp", 14},
    {"dds", &TDDSGraphic::ClassInfo, "DirectDraw surfaces", "", fkRaster | fkMultiImage, "image/x-dds", 15},  // the database's name; image/vnd-ms.dds is its alias in data/vumo-mime.xml
    {"ktx", &TKTXGraphic::ClassInfo, "Khronos textures", "", fkRaster | fkMultiImage, "image/ktx", 16},
    {"ktx2", &TKTX2Graphic::ClassInfo, "Khronos textures 2", "", fkRaster | fkMultiImage, "image/ktx2", 17},
    {"pkm", &TPKMGraphic::ClassInfo, "Ericsson PKM textures", "", fkRaster, "image/x-pkm", 18},  // not in the database: data/vumo-mime.xml defines it
    {"astc", &TASTCGraphic::ClassInfo, "ASTC textures", "", fkRaster, "image/astc", 21},
    {"hdr", &THDRGraphic::ClassInfo, "Radiance HDR images", "", fkRaster, "image/vnd.radiance", 19},  // not in the database: data/vumo-mime.xml defines it
    {"rgbe", &THDRGraphic::ClassInfo, "", "", fkRaster, "image/vnd.radiance", 19},
    {"exr", &TEXRGraphic::ClassInfo, "OpenEXR images", "", fkRaster | fkMultiImage, "image/x-exr", 20},
};

bool WholeClassAtRank(const TFormatRow& row) {
  for (const TFormatRow& other : kFormatRows)
    if (other.Class == row.Class && other.WithdrawRank != row.WithdrawRank) return false;
  return true;
}

class TFormatsUnit {
 public:
  TFormatsUnit() {
    TPicture::FileFormats();  // the framework's table exists before the registry
    for (const TFormatRow& row : kFormatRows)
      if (row.Class) list.AddExtension(row.Extension, row.ClassDescription, row.ExtensionDescription, row.Kinds, false, row.Class());
  }
  // Rank by rank: a class whose every row has the rank goes whole, else the rows' extensions go.
  ~TFormatsUnit() {
    std::uint8_t last = 0;
    for (const TFormatRow& row : kFormatRows) last = std::max(last, row.WithdrawRank);
    for (std::uint8_t rank = 1; rank <= last; ++rank) {
      std::vector<TGraphicClass> withdrawn;
      for (const TFormatRow& row : kFormatRows) {
        if (row.WithdrawRank != rank || !row.Class) continue;
        const TGraphicClass readerClass = row.Class();
        if (!WholeClassAtRank(row)) {
          list.RemoveExtension(row.Extension, readerClass);
        } else if (std::find(withdrawn.begin(), withdrawn.end(), readerClass) == withdrawn.end()) {
          withdrawn.push_back(readerClass);
          list.RemoveExtension("", readerClass);
        }
      }
    }
  }
  TFileFormatList list;
};

}  // namespace

std::span<const TFormatRow> FormatRows() { return kFormatRows; }

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
