#include "formats/picture.h"

#include <algorithm>

#include "formats/bitmap.h"
#include "formats/format_registry.h"
#include "formats/icon.h"
#include "formats/jpeg_image.h"
#include "formats/messages.h"
#include "formats/metafile.h"
#include "formats/normal_layout.h"

namespace vumo {
namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

std::string FileExtensionOf(const std::string& FileName) {
  std::size_t slash = FileName.find_last_of('/');
  std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::size_t dot = FileName.find_last_of('.');
  if (dot == std::string::npos || dot < nameStart) return {};
  return FileName.substr(dot + 1);
}

TFileFormatsList::TFileFormatsList() {
  Add("wmf", "Metafiles", 0, TMetafile::ClassInfo());
  Add("emf", "Enhanced Metafiles", 0, TMetafile::ClassInfo());
  Add("ico", "Icons", 0, TIcon::ClassInfo());
  Add("bmp", "Bitmaps", 0, TBitmap::ClassInfo());
}

void TFileFormatsList::Add(const std::string& Ext, const std::string& Desc, int DescID, TGraphicClass AClass) {
  entries_.push_back({AClass, Lower(Ext), Desc, DescID});
}

TGraphicClass TFileFormatsList::FindExt(const std::string& Ext) const {
  std::string key = Lower(Ext);
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
    if (it->Extension == key) return it->GraphicClass;
  return nullptr;
}

void TFileFormatsList::Remove(TGraphicClass AClass) {
  std::erase_if(entries_, [AClass](const TFileFormat& f) { return f.GraphicClass->InheritsFrom(AClass); });
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

TFileFormatsList& TPicture::FileFormats() {
  static TFileFormatsList* table = [] {
    static TFileFormatsList list;
    // The JPEG unit's own registrations come right after the built-in ones.
    list.Add("jpeg", "JPEG Image File", 0, TJPEGImage::ClassInfo());
    list.Add("jpg", "JPEG Image File", 0, TJPEGImage::ClassInfo());
    return &list;
  }();
  return *table;
}

void TPicture::RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                  TGraphicClass GraphicClass) {
  FileFormats().Add(Extension, Description, 0, GraphicClass);
}

void TPicture::UnregisterGraphicClass(TGraphicClass AClass) { FileFormats().Remove(AClass); }

void TPicture::Hook(TGraphic* graphic) {
  if (!graphic) return;
  graphic->OnChange = [this](void*) { Changed(); };
  graphic->OnProgress = [this](void* Sender, TProgressStage Stage, std::uint8_t PercentDone, bool RedrawNow,
                               const TRect& R, const std::string& Msg) {
    if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
  };
}

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

void TPicture::SetGraphic(const TGraphic* value) {
  std::unique_ptr<TGraphic> copy;
  if (value) {
    copy = value->ClassType()->Create();
    copy->Assign(*value);
  }
  graphic_ = std::move(copy);
  Hook(graphic_.get());
  Changed();
}

void TPicture::LoadFromFile(const std::string& FileName, unsigned ImageIndex) {
  FileFormatList();  // the formats unit registers its readers before the first load
  std::string ext = FileExtensionOf(FileName);
  TGraphicClass graphicClass = FileFormats().FindExt(ext);
  if (!graphicClass) throw EInvalidGraphic(FormatMessage(kUnknownExtension, ext.c_str()));
  std::unique_ptr<TGraphic> graphic = graphicClass->Create();
  graphic->OnProgress = [this](void* Sender, TProgressStage Stage, std::uint8_t PercentDone, bool RedrawNow,
                               const TRect& R, const std::string& Msg) {
    if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
  };
  graphic->RequestImage(ImageIndex);
  graphic->RefuseTooLargeForFile = RefuseTooLargeForFile;
  graphic->LoadFromFile(FileName);  // on error the unique_ptr frees the half-built reader
  MarkNormalsByName(*graphic, FileName);
  graphic_ = std::move(graphic);
  Hook(graphic_.get());
  Changed();
}

void TPicture::TakeGraphic(TPicture& Source) {
  if (&Source == this) return;
  graphic_ = std::move(Source.graphic_);
  Hook(graphic_.get());
  Changed();
  Source.Changed();
}

void TPicture::Assign(const TPicture& Source) {
  if (&Source == this) return;
  SetGraphic(Source.Graphic());
}

}  // namespace vumo
