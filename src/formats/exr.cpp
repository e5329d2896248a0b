#include "formats/exr.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputPart.h>
#include <ImfMultiPartInputFile.h>
#include <ImfPartType.h>
#include <ImfRgbaFile.h>
#include <ImfStandardAttributes.h>
#include <ImfTiledInputPart.h>
#include <Iex.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/float_pixels.h"
#include "pixels/image_limits.h"

namespace vumo {

namespace {

constexpr std::uint8_t kMagic[4] = {0x76, 0x2F, 0x31, 0x01};
// The rows decoded at once are held to about this many bytes of floats, whatever the width.
constexpr std::size_t kBandBytes = std::size_t{8} << 20;

// The library reads the file from our bytes; a read past their end marks the file as cut
// short, which the library's own error then becomes.
class TBytesIStream : public Imf::IStream {
 public:
  TBytesIStream(const std::uint8_t* data, std::uint64_t size) : Imf::IStream("OpenEXR picture"), data_(data), size_(size) {}

  bool isMemoryMapped() const override { return true; }
  bool read(char c[], int n) override {
    std::memcpy(c, Take(n), static_cast<std::size_t>(n));
    return position_ < size_;
  }
  char* readMemoryMapped(int n) override {
    // The library only reads what it is given here.
    return const_cast<char*>(reinterpret_cast<const char*>(Take(n)));
  }
  std::uint64_t tellg() override { return position_; }
  // A position past the end is kept; the read from it reports the cut.
  void seekg(std::uint64_t position) override { position_ = position; }

  bool Truncated() const { return truncated_; }

 private:
  const std::uint8_t* Take(int n) {
    if (n < 0 || position_ > size_ || static_cast<std::uint64_t>(n) > size_ - position_) {
      truncated_ = true;
      throw Iex::InputExc("Unexpected end of file.");
    }
    const std::uint8_t* bytes = data_ + position_;
    position_ += static_cast<std::uint64_t>(n);
    return bytes;
  }

  const std::uint8_t* data_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
  bool truncated_ = false;
};

// Whether the headers, read as the library reads them, claim no more than the file holds.
// The library allocates before it reads: an attribute of a type it does not know at the size
// the file declares, a preview at its declared width and height, a string of a string list at
// its declared length, and each part's table of chunk offsets at the count the header implies.
// It also reads a known attribute by its type, not by its declared size, so a size that
// disagrees with the type would make it parse the rest of the header from elsewhere; such a
// header is refused here.
enum class THeaderCheck { kFits, kCut, kMalformed };

class THeaderWalk {
 public:
  THeaderWalk(const std::uint8_t* bytes, std::uint64_t size) : bytes_(bytes), size_(size) {}

  THeaderCheck Check() {
    if (size_ < 8) return THeaderCheck::kCut;
    const bool multipart = (bytes_[5] & 0x10) != 0;  // flag bit 12 of the version field
    nameLimit_ = (bytes_[5] & 0x04) ? 255 : 31;      // bit 10: long names
    at_ = 8;
    std::uint64_t chunks = 0;
    for (;;) {
      TFacts facts;
      for (;;) {
        std::string name, type;
        if (const THeaderCheck c = Text(name, nameLimit_); c != THeaderCheck::kFits) return c;
        if (name.empty()) break;  // the header's end
        if (const THeaderCheck c = Text(type, nameLimit_); c != THeaderCheck::kFits) return c;
        if (size_ - at_ < 4) return THeaderCheck::kCut;
        const std::uint32_t declared = U32(at_);
        at_ += 4;
        if (declared > size_ - at_) return THeaderCheck::kCut;
        if (const THeaderCheck c = Value(name, type, declared, facts); c != THeaderCheck::kFits) return c;
        at_ += declared;
      }
      chunks += facts.Chunks();
      // A multipart file's headers end with an empty one.
      if (!multipart || (at_ < size_ && bytes_[at_] == 0)) break;
    }
    // Every offset takes eight bytes of the file after the headers.
    if (chunks > (size_ - at_) / 8) return THeaderCheck::kCut;
    return THeaderCheck::kFits;
  }

 private:
  // What the chunk table's size depends on.
  struct TFacts {
    std::int64_t Width = 0, Height = 0;
    std::uint32_t TileX = 0, TileY = 0;
    int LevelMode = -1;  // none until a tile description is read
    std::int64_t ChunkCount = -1;

    // The fewest chunks the library makes room for: a scanline part at the largest band a
    // compression uses, a tiled part's first level alone.
    std::uint64_t Chunks() const {
      if (ChunkCount >= 0) return static_cast<std::uint64_t>(ChunkCount);
      if (Width <= 0 || Height <= 0) return 0;
      if (LevelMode < 0 || TileX == 0 || TileY == 0) return static_cast<std::uint64_t>((Height + 255) / 256);
      return static_cast<std::uint64_t>((Width + TileX - 1) / TileX) *
             static_cast<std::uint64_t>((Height + TileY - 1) / TileY);
    }
  };

  std::uint32_t U32(std::uint64_t at) const {
    return static_cast<std::uint32_t>(bytes_[at]) | bytes_[at + 1] << 8 | bytes_[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes_[at + 3]) << 24;
  }

  // A name or type of at most `limit` characters, then a zero byte; a longer one the library
  // would split into two fields.
  THeaderCheck Text(std::string& text, std::size_t limit) {
    std::uint64_t length = 0;
    while (at_ + length < size_ && bytes_[at_ + length] != 0 && length <= limit) ++length;
    if (at_ + length >= size_) return THeaderCheck::kCut;
    if (length > limit) return THeaderCheck::kMalformed;
    text.assign(reinterpret_cast<const char*>(bytes_ + at_), static_cast<std::size_t>(length));
    at_ += length + 1;
    return THeaderCheck::kFits;
  }

  // The value of one attribute, `declared` bytes from at_, all inside the file.
  THeaderCheck Value(const std::string& name, const std::string& type, std::uint32_t declared, TFacts& facts) const {
    static constexpr struct {
      const char* Type;
      std::uint32_t Size;
    } kFixed[] = {{"box2i", 16},  {"box2f", 16},  {"chromaticities", 32}, {"compression", 1}, {"deepImageState", 1},
                  {"double", 8},  {"envmap", 1},  {"float", 4},           {"int", 4},          {"keycode", 28},
                  {"lineOrder", 1}, {"m33f", 36}, {"m33d", 72},           {"m44f", 64},        {"m44d", 128},
                  {"rational", 8}, {"tiledesc", 9}, {"timecode", 8},      {"v2i", 8},          {"v2f", 8},
                  {"v2d", 16},    {"v3i", 12},    {"v3f", 12},            {"v3d", 24}};
    for (const auto& fixed : kFixed)
      if (type == fixed.Type && declared != fixed.Size) return THeaderCheck::kMalformed;
    const std::uint64_t end = at_ + declared;
    if (type == "box2i" && name == "dataWindow") {
      const auto v = [&](int i) { return static_cast<std::int64_t>(static_cast<std::int32_t>(U32(at_ + 4 * i))); };
      facts.Width = v(2) - v(0) + 1;
      facts.Height = v(3) - v(1) + 1;
    } else if (type == "tiledesc" && name == "tiles") {
      facts.TileX = U32(at_);
      facts.TileY = U32(at_ + 4);
      facts.LevelMode = bytes_[at_ + 8] & 0x0F;
    } else if (type == "int" && name == "chunkCount") {
      facts.ChunkCount = static_cast<std::int32_t>(U32(at_));
      if (facts.ChunkCount < 0) return THeaderCheck::kMalformed;
    } else if (type == "floatvector") {
      if (declared % 4 != 0) return THeaderCheck::kMalformed;
    } else if (type == "preview") {
      if (declared < 8) return THeaderCheck::kMalformed;
      const std::uint64_t pixels = std::uint64_t{U32(at_)} * U32(at_ + 4);
      if (pixels > (declared - 8) / 4) return THeaderCheck::kCut;
      if (8 + pixels * 4 != declared) return THeaderCheck::kMalformed;
    } else if (type == "stringvector") {
      for (std::uint64_t at = at_; at < end;) {
        if (end - at < 4) return THeaderCheck::kMalformed;
        const std::uint32_t length = U32(at);
        at += 4;
        if (length > end - at) return length > 0x7FFFFFFFu ? THeaderCheck::kMalformed : THeaderCheck::kCut;
        at += length;
      }
    } else if (type == "chlist") {
      // Read to its empty name whatever its declared size: it must end where it says.
      std::uint64_t at = at_;
      for (;;) {
        std::uint64_t length = 0;
        while (at + length < size_ && bytes_[at + length] != 0 && length <= 255) ++length;
        if (at + length >= size_) return THeaderCheck::kCut;
        if (length > 255) return THeaderCheck::kMalformed;
        at += length + 1;
        if (length == 0) break;
        at += 16;  // type, linearity, three reserved bytes, the two samplings
        if (at > size_) return THeaderCheck::kCut;
      }
      if (at != end) return THeaderCheck::kMalformed;
    }
    return THeaderCheck::kFits;
  }

  const std::uint8_t* bytes_;
  std::uint64_t size_;
  std::uint64_t at_ = 0;
  std::size_t nameLimit_ = 31;
};

THeaderCheck CheckAttributes(const std::uint8_t* bytes, std::uint64_t size) { return THeaderWalk(bytes, size).Check(); }

// The library refuses a header whose windows or tiles are larger than this before it
// allocates for them.
void LimitLibrarySizes() {
  static const bool limited = [] {
    Imf::Header::setMaxImageSize(static_cast<int>(kMaxImageSide), static_cast<int>(kMaxImageSide));
    Imf::Header::setMaxTileSize(16384, 16384);
    return true;
  }();
  (void)limited;
}

// Which channels make the picture.
struct TLayout {
  enum TKind { kRGB, kLuma, kChroma, kSingle } Kind = kSingle;
  std::string Prefix;  // a layer's "name." before R, G, B (A) when the picture has no plain R, G, B
  std::string Single;  // the one channel shown as grey
  bool Alpha = false;
  Imf::PixelType Type = Imf::HALF;
};

TLayout ChooseLayout(const Imf::ChannelList& channels) {
  TLayout layout;
  auto has = [&](const std::string& name) { return channels.findChannel(name) != nullptr; };
  auto typeOf = [&](const std::string& name) { return channels.findChannel(name)->type; };
  std::vector<std::string> prefixes = {""};
  for (auto i = channels.begin(); i != channels.end(); ++i) {
    const std::string name = i.name();
    if (name.size() > 2 && name.compare(name.size() - 2, 2, ".R") == 0) prefixes.push_back(name.substr(0, name.size() - 1));
  }
  for (const std::string& prefix : prefixes) {
    if (has(prefix + "R") && has(prefix + "G") && has(prefix + "B")) {
      layout.Kind = TLayout::kRGB;
      layout.Prefix = prefix;
      layout.Alpha = has(prefix + "A");
      layout.Type = typeOf(prefix + "R");
      return layout;
    }
  }
  layout.Alpha = has("A");
  if (has("RY") || has("BY")) {
    layout.Kind = TLayout::kChroma;
    layout.Type = has("Y") ? typeOf("Y") : Imf::HALF;
  } else if (has("Y")) {
    layout.Kind = TLayout::kLuma;
    layout.Type = typeOf("Y");
  } else if (channels.begin() != channels.end()) {
    layout.Single = channels.begin().name();
    layout.Type = channels.begin().channel().type;
    layout.Alpha = false;
  }
  return layout;
}

const char* CompressionName(Imf::Compression compression) {
  static constexpr const char* kNames[] = {"uncompressed", "RLE",  "ZIPS", "ZIP",  "PIZ",
                                           "PXR24",        "B44",  "B44A", "DWAA", "DWAB"};
  const auto index = static_cast<unsigned>(compression);
  return index < std::size(kNames) ? kNames[index] : "?";
}

const char* TypeName(Imf::PixelType type) {
  return type == Imf::FLOAT ? "float" : type == Imf::UINT ? "uint" : "half";
}

std::string Describe(const Imf::Header& header, const TLayout& layout) {
  std::string text = std::string("OpenEXR ") + TypeName(layout.Type) + " ";
  switch (layout.Kind) {
    case TLayout::kRGB: text += layout.Alpha ? "RGBA" : "RGB"; break;
    case TLayout::kLuma: text += layout.Alpha ? "YA" : "Y"; break;
    case TLayout::kChroma: text += layout.Alpha ? "luminance/chroma with alpha" : "luminance/chroma"; break;
    case TLayout::kSingle: text += layout.Single; break;
  }
  if (!layout.Prefix.empty()) text += " (" + layout.Prefix.substr(0, layout.Prefix.size() - 1) + ")";
  text += std::string(" ") + CompressionName(header.compression());
  if (header.hasTileDescription()) text += ", tiled";
  return text;
}

struct TWindow {
  std::int64_t X = 0, Y = 0, Width = 0, Height = 0;
};

TWindow WindowOf(const Imath::Box2i& box) {
  return {box.min.x, box.min.y, std::int64_t{box.max.x} - box.min.x + 1, std::int64_t{box.max.y} - box.min.y + 1};
}

// The images of a file: each part, and after it each of its smaller mip levels (a ripmap's
// levels halved both ways, the ones a mip chain would hold).
struct TImage {
  int Part = 0, Level = 0;
  int Parts = 1, Levels = 1;
};

// Counted from the header alone: the library's part readers of one kind and another must not
// be opened over the same part.
int LevelsOf(const Imf::Header& header) {
  if (!header.hasTileDescription() || header.tileDescription().mode == Imf::ONE_LEVEL) return 1;
  if (header.hasType() && header.type() != Imf::TILEDIMAGE) return 1;
  const Imath::Box2i& box = header.dataWindow();
  const std::int64_t w = std::int64_t{box.max.x} - box.min.x + 1, h = std::int64_t{box.max.y} - box.min.y + 1;
  if (w <= 0 || h <= 0) return 1;
  const bool up = header.tileDescription().roundingMode == Imf::ROUND_UP;
  auto levels = [up](std::int64_t side) {
    int n = 1;
    for (std::int64_t s = side; s > 1; s = up ? (s + 1) / 2 : s / 2) ++n;
    return n;
  };
  return header.tileDescription().mode == Imf::MIPMAP_LEVELS ? levels(std::max(w, h)) : std::min(levels(w), levels(h));
}

// The part and level of image `index`; Part is -1 past the last image.
TImage FindImage(Imf::MultiPartInputFile& file, unsigned index, unsigned& count) {
  TImage found;
  found.Part = -1;
  found.Parts = file.parts();
  count = 0;
  for (int part = 0; part < file.parts(); ++part) {
    const int levels = LevelsOf(file.header(part));
    if (found.Part < 0 && index < count + static_cast<unsigned>(levels)) {
      found.Part = part;
      found.Level = static_cast<int>(index - count);
      found.Levels = levels;
    }
    count += static_cast<unsigned>(levels);
  }
  return found;
}

std::string Caption(const TImage& image, const TWindow& window) {
  std::string caption = image.Parts > 1 ? ImageCaption("part", static_cast<unsigned>(image.Part),
                                                       static_cast<unsigned>(image.Parts))
                                        : std::string();
  if (image.Levels > 1)
    caption += (caption.empty() ? "" : ", ") +
               ImageCaption("level", static_cast<unsigned>(image.Level), static_cast<unsigned>(image.Levels)) + " (" +
               std::to_string(window.Width) + " x " + std::to_string(window.Height) + ")";
  return caption;
}

}  // namespace

std::span<const std::uint8_t> TEXRGraphic::TakeCheckedFile(TByteSource& source) const {
  const std::span<const std::uint8_t> start = source.Peek(4);
  if (start.size() < 4 || std::memcmp(start.data(), kMagic, 4) != 0) return {};
  const std::uint64_t size = source.Remaining();
  const std::uint8_t* bytes = source.Take(static_cast<std::size_t>(size));
  if (!bytes) RaiseReadError();
  LimitLibrarySizes();
  if (const THeaderCheck check = CheckAttributes(bytes, size); check != THeaderCheck::kFits)
    check == THeaderCheck::kCut ? RaiseReadError() : RaiseInvalidImage();
  return {bytes, static_cast<std::size_t>(size)};
}

bool TEXRGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, 8, [](const std::uint8_t* b) { return std::memcmp(b, kMagic, 4) == 0; });
}

bool TEXRGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  TByteSource source(Stream);
  const std::span<const std::uint8_t> contents = TakeCheckedFile(source);
  if (contents.empty()) return false;
  TBytesIStream stream(contents.data(), contents.size());
  try {
    Imf::MultiPartInputFile file(stream, 0);
    unsigned count = 0;
    const TImage image = FindImage(file, ImageIndex, count);
    if (image.Part < 0) return true;
    const Imf::Header& header = file.header(image.Part);
    TWindow display = WindowOf(header.displayWindow());
    if (image.Level > 0)
      display = WindowOf(Imf::TiledInputPart(file, image.Part).dataWindowForLevel(image.Level, image.Level));
    const TLayout layout = ChooseLayout(header.channels());
    TImageProperties& p = ImageProperties;
    p.Width = static_cast<std::uint32_t>(std::clamp<std::int64_t>(display.Width, 0, UINT32_MAX));
    p.Height = static_cast<std::uint32_t>(std::clamp<std::int64_t>(display.Height, 0, UINT32_MAX));
    const bool colour = layout.Kind == TLayout::kRGB || layout.Kind == TLayout::kChroma;
    p.ColorScheme = colour ? (layout.Alpha ? csRGBA : csRGB) : (layout.Alpha ? csGrayAlpha : csGray);
    p.SamplesPerPixel = static_cast<std::uint8_t>((colour ? 3 : 1) + (layout.Alpha ? 1 : 0));
    p.BitsPerSample = layout.Type == Imf::HALF ? 16 : 32;
    p.BitsPerPixel = static_cast<std::uint8_t>(p.BitsPerSample * p.SamplesPerPixel);
  } catch (const Exception&) {
    throw;
  } catch (const std::exception&) {
    if (stream.Truncated()) RaiseReadError();
    RaiseInvalidImage();
  }
  return true;
}

void TEXRGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  // The bitmap may exist before the decode ends: a failed load leaves the reader empty.
  TEmptyOnFailure guard(*this);
  StartProgress(gesTransfering);
  const unsigned index = RequestedImage();
  TByteSource source(Stream);
  const std::span<const std::uint8_t> contents = TakeCheckedFile(source);
  if (contents.empty()) RaiseInvalidImage();
  TBytesIStream stream(contents.data(), contents.size());
  std::shared_ptr<TFloatPixels> floats;
  std::string description;
  unsigned images = 1;
  TImage image;
  TWindow display;
  try {
    Imf::MultiPartInputFile file(stream, 0);
    image = FindImage(file, index, images);
    if (image.Part < 0) throw EInvalidGraphic(FormatMessage(kNoSuchImage, index + 1));
    const Imf::Header& header = file.header(image.Part);
    if (header.hasType() && (header.type() == Imf::DEEPSCANLINE || header.type() == Imf::DEEPTILE))
      RaiseUnsupported("Deep data is");
    // A smaller level is a picture of its own: its data window, read tile row by tile row.
    std::unique_ptr<Imf::TiledInputPart> tiles;
    if (image.Level > 0) tiles = std::make_unique<Imf::TiledInputPart>(file, image.Part);
    display = WindowOf(tiles ? tiles->dataWindowForLevel(image.Level, image.Level) : header.displayWindow());
    const TWindow data = tiles ? display : WindowOf(header.dataWindow());
    if (display.Width <= 0 || display.Height <= 0 || data.Width <= 0 || data.Height <= 0) RaiseInvalidImage();
    CheckImageSize(static_cast<std::uint64_t>(display.Width), static_cast<std::uint64_t>(display.Height), pf32bit);
    const TLayout layout = ChooseLayout(header.channels());
    if (layout.Kind == TLayout::kSingle && layout.Single.empty()) RaiseInvalidImage();
    const Imf::ChannelList& channels = header.channels();
    for (auto i = channels.begin(); i != channels.end(); ++i)
      if ((i.channel().xSampling != 1 || i.channel().ySampling != 1) && layout.Kind != TLayout::kChroma)
        RaiseUnsupported("Subsampled channels are");
    // The library places luminance and chroma only through its RGBA interface, which reads
    // the first part.
    if (layout.Kind == TLayout::kChroma && (image.Part != 0 || image.Level != 0))
      RaiseUnsupported("Luminance and chroma beyond the first part and level are");
    description = Describe(header, layout);
    // Only the rows and columns of the data window inside the display window are shown.
    const std::int64_t x0 = std::max(data.X, display.X), x1 = std::min(data.X + data.Width, display.X + display.Width);
    const std::int64_t y0 = std::max(data.Y, display.Y), y1 = std::min(data.Y + data.Height, display.Y + display.Height);
    const bool covered = x0 == display.X && x1 == display.X + display.Width && y0 == display.Y &&
                         y1 == display.Y + display.Height;
    floats = NewFloatPixels(static_cast<int>(display.Width), static_cast<int>(display.Height), !covered);
    // A picture the data covers is shown band by band, each rendered while in the cache.
    if (covered) AllocateImageToOverwrite(static_cast<std::uint64_t>(display.Width), static_cast<std::uint64_t>(display.Height), pf32bit);
    const float gain = ExposureGain(Exposure());
    const std::size_t dataWidth = static_cast<std::size_t>(data.Width);
    // Rows whose columns all lie in the display window decode straight into the picture;
    // others go through a band of rows of their own.
    const bool direct = layout.Kind != TLayout::kChroma && x0 == data.X && x1 == data.X + data.Width;
    const std::size_t displayWidth = static_cast<std::size_t>(display.Width);
    const std::size_t band = tiles ? static_cast<std::size_t>(header.tileDescription().ySize)
                                   : std::clamp<std::size_t>(kBandBytes / (dataWidth * 16), 1, 256);
    std::vector<float> rows;
    std::vector<Imf::Rgba> rgba;
    std::unique_ptr<TBytesIStream> rgbaStream;
    std::unique_ptr<Imf::RgbaInputFile> rgbaFile;
    std::unique_ptr<Imf::InputPart> part;
    if (layout.Kind == TLayout::kChroma) {
      rgbaStream = std::make_unique<TBytesIStream>(contents.data(), contents.size());
      rgbaFile = std::make_unique<Imf::RgbaInputFile>(*rgbaStream, 0);
    } else if (!tiles) {
      part = std::make_unique<Imf::InputPart>(file, image.Part);
    }
    // A data window beside the display window shows nothing. Tiles are read a whole row of
    // them at a time, from the data window's top, so a band may hold rows above or below the
    // display window: such a band goes through the buffer and only its shown rows are kept.
    const std::int64_t step = static_cast<std::int64_t>(band);
    const std::int64_t start = x0 >= x1 ? y1 : tiles ? data.Y + (y0 - data.Y) / step * step : y0;
    for (std::int64_t y = start; y < y1; y += step) {
      const std::int64_t end = std::min(y + step, tiles ? data.Y + data.Height : y1);
      const std::size_t count = static_cast<std::size_t>(end - y);
      const bool straight = direct && y >= y0 && end <= y1;
      const std::int64_t shownFrom = std::max(y, y0), shownTo = std::min(end, y1);
      const Imath::Box2i window(Imath::V2i(static_cast<int>(data.X), static_cast<int>(y)),
                                Imath::V2i(static_cast<int>(data.X + data.Width - 1), static_cast<int>(y + count - 1)));
      if (rgbaFile) {
        rgba.resize(dataWidth * count);
        // The library addresses the buffer from the data window's origin, which lies
        // before the band's first pixel.
        const std::intptr_t base = reinterpret_cast<std::intptr_t>(rgba.data()) -
                                   static_cast<std::intptr_t>((data.X + y * static_cast<std::int64_t>(dataWidth)) *
                                                              static_cast<std::int64_t>(sizeof(Imf::Rgba)));
        rgbaFile->setFrameBuffer(reinterpret_cast<Imf::Rgba*>(base), 1, dataWidth);
        rgbaFile->readPixels(static_cast<int>(y), static_cast<int>(y + count - 1));
        rows.resize(dataWidth * count * 4);
        for (std::size_t i = 0; i < dataWidth * count; ++i) {
          rows[i * 4 + 0] = rgba[i].r, rows[i * 4 + 1] = rgba[i].g, rows[i * 4 + 2] = rgba[i].b;
          rows[i * 4 + 3] = layout.Alpha ? static_cast<float>(rgba[i].a) : 1.0f;
        }
      } else {
        // The library fills the channels a file lacks with the slices' fill values.
        if (!straight) rows.resize(dataWidth * count * 4);
        float* first = straight ? floats->Row(static_cast<int>(y - display.Y)) + (data.X - display.X) * 4 : rows.data();
        const std::size_t pitch = straight ? displayWidth * 4 : dataWidth * 4;  // floats between rows
        Imf::FrameBuffer frame;
        auto slice = [&](const std::string& name, int offset, double fill) {
          frame.insert(name, Imf::Slice::Make(Imf::FLOAT, first + offset, window, std::size_t{16}, pitch * 4, 1, 1, fill));
        };
        const std::string& p = layout.Prefix;
        if (layout.Kind == TLayout::kRGB) {
          slice(p + "R", 0, 0), slice(p + "G", 1, 0), slice(p + "B", 2, 0), slice(p + "A", 3, 1.0);
        } else {
          slice(layout.Kind == TLayout::kLuma ? "Y" : layout.Single, 0, 0);
          if (layout.Kind == TLayout::kLuma) slice("A", 3, 1.0);
        }
        if (tiles) {
          tiles->setFrameBuffer(frame);
          const int row = static_cast<int>((y - data.Y) / static_cast<std::int64_t>(band));
          tiles->readTiles(0, tiles->numXTiles(image.Level) - 1, row, row, image.Level, image.Level);
        } else {
          part->setFrameBuffer(frame);
          part->readPixels(static_cast<int>(y), static_cast<int>(y + count - 1));
        }
        for (std::size_t r = 0; layout.Kind != TLayout::kRGB && r < count; ++r)
          for (float *px = first + r * pitch, *last = px + dataWidth * 4; px < last; px += 4) {
            px[1] = px[2] = px[0];
            if (layout.Kind == TLayout::kSingle) px[3] = 1.0f;
          }
      }
      for (std::int64_t shown = shownFrom; !straight && shown < shownTo; ++shown) {
        const float* in = rows.data() + (static_cast<std::size_t>(shown - y) * dataWidth + static_cast<std::size_t>(x0 - data.X)) * 4;
        float* out = floats->Row(static_cast<int>(shown - display.Y)) + (x0 - display.X) * 4;
        std::memcpy(out, in, static_cast<std::size_t>(x1 - x0) * 4 * sizeof(float));
      }
      for (std::int64_t shown = shownFrom; covered && shown < shownTo; ++shown) {
        const int row = static_cast<int>(shown - display.Y);
        ExposeRowToBGRA8(floats->Row(row), ScanLine(row), displayWidth, gain);
      }
      RowProgress(static_cast<std::uint32_t>(shownFrom - y0), static_cast<std::uint32_t>(y1 - y0));
    }
  } catch (const Exception&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    if (stream.Truncated()) RaiseReadError();
    RaiseInvalidImage();
  }
  ImageProperties.Width = static_cast<std::uint32_t>(floats->Width);
  ImageProperties.Height = static_cast<std::uint32_t>(floats->Height);
  const bool rendered = Width() == floats->Width && Height() == floats->Height && !Empty();
  if (!rendered)
    AllocateImageToOverwrite(static_cast<std::uint64_t>(floats->Width), static_cast<std::uint64_t>(floats->Height), pf32bit);
  SetAlphaChannel(true);
  SetFloatPixels(std::move(floats), rendered);
  SetFormatDescription(std::move(description));
  SetImages(TImageSet{images, index, Caption(image, display)});
  EndProgress();
}

}  // namespace vumo
