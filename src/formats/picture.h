// The framework's picture container: owns one graphic and loads it by file extension.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "formats/graphic.h"

namespace vumo {

// The framework's class-wide table of extensions and graphic classes.
class TFileFormatsList {
 public:
  struct TFileFormat {
    TGraphicClass GraphicClass;
    std::string Extension;  // lower case
    std::string Description;
    int DescResID = 0;
  };

  // Starts with the four built-in entries: wmf, emf, ico, bmp.
  TFileFormatsList();

  void Add(const std::string& Ext, const std::string& Desc, int DescID, TGraphicClass AClass);
  // Last appended entry first; the query is lower-cased; null when absent.
  TGraphicClass FindExt(const std::string& Ext) const;
  // Removes every entry whose class is AClass or descends from it.
  void Remove(TGraphicClass AClass);
  const std::vector<TFileFormat>& Entries() const { return entries_; }

 private:
  std::vector<TFileFormat> entries_;
};

class TPicture {
 public:
  TPicture();
  ~TPicture();
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  TGraphic* Graphic() const { return graphic_.get(); }
  // Takes a copy of the given graphic (null clears the picture).
  void SetGraphic(const TGraphic* value);
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  // Loads by the text after the last dot of the file name, lower-cased. On any error the
  // new graphic is freed, the picture keeps what it had and the error propagates. A file of
  // several images gives the one at `ImageIndex`.
  void LoadFromFile(const std::string& FileName, unsigned ImageIndex = 0);
  void Assign(const TPicture& Source);
  // Moves the source's graphic here, without a copy; the source is left empty. A picture
  // loaded on another thread is handed over this way.
  void TakeGraphic(TPicture& Source);

  // The framework's table, created on first use with its built-in entries, then the JPEG
  // unit's two. Creating it also runs the format registry's start-up registrations.
  static TFileFormatsList& FileFormats();
  static void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                 TGraphicClass GraphicClass);
  static void UnregisterGraphicClass(TGraphicClass AClass);

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;
  // Handed to each graphic this picture loads (TGraphic::RefuseTooLargeForFile).
  bool RefuseTooLargeForFile = true;

 private:
  void Changed();
  void Hook(TGraphic* graphic);

  std::unique_ptr<TGraphic> graphic_;
};

// The extension of a file name as the picture uses it: after the last dot of the name
// part, without the dot; empty when the name part has no dot.
std::string FileExtensionOf(const std::string& FileName);

}  // namespace vumo
