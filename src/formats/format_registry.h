// The registry that maps picture file extensions to the classes that read them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/graphic.h"

namespace vumo {

// TFormatKinds: a one-byte set.
using TFormatKinds = std::uint8_t;
inline constexpr TFormatKinds fkLayered = 2;
inline constexpr TFormatKinds fkMultiImage = 4;
inline constexpr TFormatKinds fkRaster = 8;
inline constexpr TFormatKinds fkVector = 16;

class TFileFormatList {
 public:
  struct TClassEntry {
    TGraphicClass ReaderClass;
    std::string Description;
    std::uint32_t ExtensionCount = 0;
  };
  struct TExtensionEntry {
    std::string Extension;
    std::string Description;
    TFormatKinds FormatKinds = 0;
    TClassEntry* ClassEntry = nullptr;
  };

  TFileFormatList() = default;
  ~TFileFormatList();
  TFileFormatList(const TFileFormatList&) = delete;
  TFileFormatList& operator=(const TFileFormatList&) = delete;

  void AddExtension(const std::string& Extension, const std::string& ClassDescription,
                    const std::string& ExtensionDescription, TFormatKinds FormatKinds, bool ReplaceExisting,
                    TGraphicClass ReaderClass);
  void RemoveExtension(const std::string& Extension, TGraphicClass ReaderClass);
  int IndexOfExtension(const std::string& Extension) const;
  int IndexOfClass(TGraphicClass ReaderClass) const;
  void ClearAll();

  const std::vector<std::unique_ptr<TClassEntry>>& Classes() const { return classes_; }
  const std::vector<std::unique_ptr<TExtensionEntry>>& Extensions() const { return extensions_; }

 private:
  TClassEntry* FindOrAddClass(TGraphicClass ReaderClass, const std::string& ClassDescription);
  void RemoveClassEntry(TClassEntry* entry);

  std::vector<std::unique_ptr<TClassEntry>> classes_;
  std::vector<std::unique_ptr<TExtensionEntry>> extensions_;
};

// One row of the program's start-up registrations. The MIME lookup, the desktop entry's
// list and the order of withdrawal at shutdown all come from these rows.
struct TFormatRow {
  const char* Extension;
  TGraphicClass (*Class)();          // null while the reader class is not built yet
  const char* ClassDescription;      // the class's common description; "" keeps the last one
  const char* ExtensionDescription;  // "" for the class's
  TFormatKinds Kinds;
  const char* MimeType;              // what a file manager calls such a file
  // When the row is withdrawn at shutdown, from 1 up; a class whose rows all share a rank
  // goes whole. 0: with everything left when the registry goes.
  std::uint8_t WithdrawRank;
};
std::span<const TFormatRow> FormatRows();

// Extensions are the same when they differ at most in ASCII letter case.
bool SameExtension(std::string_view a, std::string_view b);

// The program's registry, created with its start-up registrations on first use and
// withdrawn from the picture's table, in the fixed order, when the program ends.
TFileFormatList& FileFormatList();

// Every extension the program's registry reads, lower-case, once each, in registration
// order. The file list's picture masks are made from it, so a new reader's files show.
std::vector<std::string> ReadableExtensions();

}  // namespace vumo
