// What every fuzz target does with its input: hand the same bytes to a reader the three ways
// a load can meet them (a memory stream, a file stream, and a stream that is neither), since
// a reader may take a different path for each. Any of them may refuse the bytes with the
// program's own error; all three must end alike, with the same message or the same pixels.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "formats/bitmap.h"
#include "formats/graphic.h"
#include "formats/stream.h"

namespace vumo::fuzz {

// A stream over bytes in memory that is not a memory stream, as a pipe or a socket would be.
class TPlainStream : public TStream {
 public:
  TPlainStream(const std::uint8_t* data, std::size_t size) : memory_(data, size) {}
  std::size_t Read(void* buffer, std::size_t count) override { return memory_.Read(buffer, count); }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override { return memory_.Seek(offset, origin); }
  std::int64_t Size() override { return memory_.Size(); }

 private:
  TMemoryStream memory_;
};

// One file per process, rewritten with every input and removed at exit.
class TInputFile {
 public:
  TInputFile()
      : path_((std::filesystem::temp_directory_path() / ("vumo_fuzz_" + std::to_string(::getpid()))).string()) {}
  ~TInputFile() { std::remove(path_.c_str()); }
  const std::string& Write(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (!file) std::abort();
    if (size && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    return path_;
  }

 private:
  std::string path_;
};

// Header-only files may declare huge blank images; touching all of them would only slow the search.
constexpr std::size_t kComparedBytes = std::size_t{16} << 20;

inline bool SamePixels(const TGraphic& a, const TGraphic& b) {
  const TBitmap* x = a.DrawBitmap();
  const TBitmap* y = b.DrawBitmap();
  if (!x || !y || x->Empty() || y->Empty()) return (!x || x->Empty()) == (!y || y->Empty());
  if (x->Width() != y->Width() || x->Height() != y->Height() || x->PixelFormat() != y->PixelFormat()) return false;
  if (static_cast<std::size_t>(x->Height()) * x->BytesPerScanline() > kComparedBytes) return true;
  for (int row = 0; row < x->Height(); ++row)
    if (std::memcmp(x->ScanLine(row), y->ScanLine(row), x->BytesPerScanline()) != 0) return false;
  return true;
}

// Loads the bytes with `load(graphic, stream)` from each kind of stream; aborts when the
// three loads end differently (and, with `samePosition`, when they leave their streams at
// different places).
template <typename Graphic, typename Load>
void LoadEveryWay(const std::uint8_t* data, std::size_t size, Load load, bool samePosition = false) {
  static TInputFile input;
  auto attempt = [&](Graphic& graphic, TStream& stream) -> std::string {
    try {
      load(graphic, stream);
    } catch (const Exception& e) {
      return e.what();
    }
    return {};
  };
  Graphic fromMemory, fromFile, fromPlain;
  TMemoryStream memory(data, size);
  const std::string first = attempt(fromMemory, memory);
  TFileStream file(input.Write(data, size));
  const std::string second = attempt(fromFile, file);
  TPlainStream plain(data, size);
  const std::string third = attempt(fromPlain, plain);
  if (first != second || first != third) std::abort();
  if (samePosition && (memory.Position() != file.Position() || memory.Position() != plain.Position())) std::abort();
  if (first.empty() && (!SamePixels(fromMemory, fromFile) || !SamePixels(fromMemory, fromPlain))) std::abort();
}

// The common case: sniff the header as the picture dialogs do, then load.
template <typename Graphic>
void SniffAndLoadEveryWay(const std::uint8_t* data, std::size_t size, bool samePosition = false) {
  LoadEveryWay<Graphic>(
      data, size,
      [](Graphic& graphic, TStream& stream) {
        Graphic::CanLoad(stream);
        graphic.LoadFromStream(stream);
      },
      samePosition);
}

// For readers of files of several images: the image the last byte names (of the first
// `count`), asked for before the load.
template <typename Graphic>
void LoadNamedImageEveryWay(const std::uint8_t* data, std::size_t size, unsigned count) {
  const unsigned index = size ? data[size - 1] % count : 0;
  LoadEveryWay<Graphic>(data, size, [index](Graphic& graphic, TStream& stream) {
    graphic.RequestImage(index);
    graphic.LoadFromStream(stream);
  });
}

template <typename Graphic>
void PlainLoadEveryWay(const std::uint8_t* data, std::size_t size) {
  LoadEveryWay<Graphic>(data, size, [](Graphic& graphic, TStream& stream) { graphic.LoadFromStream(stream); });
}

}  // namespace vumo::fuzz
