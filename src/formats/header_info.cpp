#include "formats/header_info.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <memory>
#include <string_view>
#include <vector>

#include "formats/format_registry.h"
#include "formats/picture.h"
#include "formats/reader_graphic.h"
#include "formats/stream.h"
#include "formats/texture_graphic.h"

namespace vumo {

namespace {

// ---------------------------------------------------------------- streams

// A file stream that hands out at most `limit` bytes in all, wherever they lie: a damaged
// TIFF whose directories chain through the whole file still costs a bounded read.
class TCappedStream : public TStream {
 public:
  TCappedStream(TStream& inner, std::size_t limit) : inner_(inner), left_(limit) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t granted = std::min(count, left_);
    const std::size_t got = inner_.Read(buffer, granted);
    left_ -= got;
    return got;
  }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override { return inner_.Seek(offset, origin); }
  std::int64_t Size() override { return inner_.Size(); }

 private:
  TStream& inner_;
  std::size_t left_;
};

// Up to `limit` bytes from the stream's start.
std::vector<std::uint8_t> ReadPrefix(TStream& stream, std::size_t limit) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::int64_t>(stream.Size(), std::int64_t(limit))));
  stream.SetPosition(0);
  bytes.resize(stream.Read(bytes.data(), bytes.size()));
  return bytes;
}

// ---------------------------------------------------------------- texts

const char* SchemeText(TColorScheme scheme) {
  switch (scheme) {
    case csIndexed: return "indexed";
    case csGray: return "grey";
    case csGrayAlpha: return "grey+alpha";
    case csRGB:
    case csBGR: return "RGB";
    case csRGBA:
    case csBGRA: return "RGBA";
    case csCMY: return "CMY";
    case csCMYK: return "CMYK";
    case csCIELab: return "Lab";
    case csYCbCr: return "YCbCr";
    case csPhotoYCC: return "PhotoYCC";
    default: return "";
  }
}

// "TPNGGraphic" -> "PNG": the reader's own short name, the same for every file it reads.
std::string ReaderName(const TGraphic& graphic) {
  std::string_view name = graphic.ClassType()->ClassName;
  if (name.size() > 1 && name.front() == 'T') name.remove_prefix(1);
  if (name.ends_with("Graphic")) name.remove_suffix(7);
  if (name.ends_with("Image")) name.remove_suffix(5);
  return std::string(name);
}

void AddPart(std::string& text, std::uint64_t count, const char* one, const char* many) {
  if (count <= 1) return;
  if (!text.empty()) text += " x ";
  text += std::to_string(count) + " " + (count == 1 ? one : many);
}

THeaderInfo TextureInfo(const TTextureGraphic& texture) {
  const TTextureGraphic::TLayout& layout = texture.Layout();
  THeaderInfo info;
  info.Width = layout.Width;
  info.Height = layout.Height;
  info.Format = layout.Pixels.Name;
  info.HasAlpha = layout.Pixels.Alpha;
  AddPart(info.ImageSet, layout.Layers, "layer", "layers");
  AddPart(info.ImageSet, static_cast<unsigned>(std::popcount(layout.FaceMask)), "face", "faces");
  AddPart(info.ImageSet, layout.Depth, "slice", "slices");
  AddPart(info.ImageSet, layout.Levels, "level", "levels");
  return info;
}

THeaderInfo PropertiesInfo(const TReaderGraphic& reader) {
  const TImageProperties& p = reader.ImageProperties;
  THeaderInfo info;
  info.Width = p.Width;
  info.Height = p.Height;
  info.Format = ReaderName(reader);
  const char* scheme = SchemeText(p.ColorScheme);
  if (*scheme) info.Format += std::string(" ") + scheme;
  if (p.BitsPerSample > 0) info.Format += " " + std::to_string(p.BitsPerSample) + "-bit";
  info.HasAlpha = p.HasAlpha || p.ColorScheme == csRGBA || p.ColorScheme == csBGRA || p.ColorScheme == csGrayAlpha;
  const unsigned count = reader.Images().Count;
  const bool pages = info.Format.starts_with("TIFF") || info.Format.starts_with("EPS");
  AddPart(info.ImageSet, count, pages ? "page" : "image", pages ? "pages" : "images");
  return info;
}

// The readers whose ReadImageProperties refuses a file without their signature; the
// others would take any bytes for a picture, so only a matching extension reaches them.
bool HasSignature(const TGraphicClassInfo* type) {
  static constexpr std::string_view kSigned[] = {
      "TDDSGraphic", "TKTXGraphic", "TKTX2Graphic", "TPNGGraphic", "TGIFGraphic", "TTIFFGraphic",
      "TPSDGraphic", "TPSPGraphic",  "TQOIGraphic", "TWebPGraphic", "THDRGraphic",
      "TPKMGraphic", "TASTCGraphic", "TSGIGraphic"};
  return std::find(std::begin(kSigned), std::end(kSigned), std::string_view(type->ClassName)) != std::end(kSigned);
}

std::optional<THeaderInfo> TryReader(const TGraphicClassInfo* type, TStream& stream) {
  std::unique_ptr<TGraphic> graphic = type->Create();
  auto* reader = dynamic_cast<TReaderGraphic*>(graphic.get());
  if (reader == nullptr) return std::nullopt;
  try {
    stream.SetPosition(0);
    if (!reader->ReadImageProperties(stream, 0)) return std::nullopt;
  } catch (...) {
    // A header the reader refuses says nothing the list could show.
    return std::nullopt;
  }
  THeaderInfo info;
  if (const auto* texture = dynamic_cast<const TTextureGraphic*>(reader)) info = TextureInfo(*texture);
  else info = PropertiesInfo(*reader);
  if (info.Width == 0 || info.Height == 0) return std::nullopt;
  return info;
}

std::optional<THeaderInfo> FromStream(TStream& stream, const std::string& extension) {
  TPicture::FileFormats();  // the registrations run before the first lookup
  const TGraphicClassInfo* byExtension = extension.empty() ? nullptr : TPicture::FileFormats().FindExt(extension);
  if (byExtension != nullptr)
    if (auto info = TryReader(byExtension, stream)) return info;
  for (const auto& entry : FileFormatList().Classes()) {
    const TGraphicClassInfo* type = entry->ReaderClass;
    if (type == byExtension || !HasSignature(type)) continue;
    if (auto info = TryReader(type, stream)) return info;
  }
  return std::nullopt;
}

constexpr std::uint8_t kExrMagic[4] = {0x76, 0x2f, 0x31, 0x01};

bool IsExr(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 4 && std::memcmp(bytes.data(), kExrMagic, 4) == 0;
}

// ---------------------------------------------------------------- OpenEXR

class TExrHeader {
 public:
  explicit TExrHeader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::optional<THeaderInfo> Parse() {
    if (bytes_.size() < 8 || !IsExr(bytes_)) return std::nullopt;
    const std::uint32_t version = U32(4);
    if ((version & 0xFF) != 2) return std::nullopt;
    const bool multipart = (version & 0x1000) != 0;
    at_ = 8;
    unsigned parts = 0;
    for (;;) {
      if (!ParseHeader(parts == 0)) return std::nullopt;
      ++parts;
      if (!multipart) break;
      if (at_ >= bytes_.size()) return std::nullopt;
      if (bytes_[at_] == 0) break;  // the empty header after the last part
      if (parts > 10000) return std::nullopt;
    }
    if (!haveChannels_ || !haveDisplay_) return std::nullopt;
    return Describe(parts);
  }

 private:
  struct TChannel {
    std::string Name;
    int Type = 1;
  };

  std::uint32_t U32(std::size_t at) const {
    return static_cast<std::uint32_t>(bytes_[at]) | static_cast<std::uint32_t>(bytes_[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes_[at + 2]) << 16 | static_cast<std::uint32_t>(bytes_[at + 3]) << 24;
  }
  std::int32_t I32(std::size_t at) const { return static_cast<std::int32_t>(U32(at)); }

  // A zero-ended text of at most 255 characters at at_; false when cut or too long.
  bool Text(std::string& text) {
    const std::size_t end = std::min(bytes_.size(), at_ + 256);
    for (std::size_t i = at_; i < end; ++i) {
      if (bytes_[i] == 0) {
        text.assign(reinterpret_cast<const char*>(bytes_.data() + at_), i - at_);
        at_ = i + 1;
        return true;
      }
    }
    return false;
  }

  bool ParseHeader(bool first) {
    for (;;) {
      if (at_ >= bytes_.size()) return false;
      if (bytes_[at_] == 0) {
        ++at_;
        return true;
      }
      std::string name, type;
      if (!Text(name) || !Text(type) || bytes_.size() - at_ < 4) return false;
      const std::uint32_t size = U32(at_);
      at_ += 4;
      if (size > bytes_.size() - at_) return false;
      if (first) Value(name, type, at_, size);
      at_ += size;
    }
  }

  void Value(const std::string& name, const std::string& type, std::size_t at, std::size_t size) {
    if (name == "channels" && type == "chlist") {
      channels_.clear();
      const std::size_t end = at + size;
      while (at < end && bytes_[at] != 0) {
        const std::size_t nameEnd = static_cast<std::size_t>(
            std::find(bytes_.begin() + static_cast<std::ptrdiff_t>(at), bytes_.begin() + static_cast<std::ptrdiff_t>(end),
                      std::uint8_t{0}) - bytes_.begin());
        if (nameEnd + 17 > end) return;
        TChannel channel;
        channel.Name.assign(reinterpret_cast<const char*>(bytes_.data() + at), nameEnd - at);
        channel.Type = I32(nameEnd + 1);
        channels_.push_back(std::move(channel));
        at = nameEnd + 17;
      }
      haveChannels_ = !channels_.empty();
    } else if (name == "compression" && type == "compression" && size >= 1) {
      compression_ = bytes_[at];
    } else if ((name == "displayWindow" || name == "dataWindow") && type == "box2i" && size >= 16) {
      const std::int64_t width = std::int64_t{I32(at + 8)} - I32(at) + 1;
      const std::int64_t height = std::int64_t{I32(at + 12)} - I32(at + 4) + 1;
      if (width <= 0 || height <= 0 || width > UINT32_MAX || height > UINT32_MAX) return;
      if (name == "displayWindow") {
        displayWidth_ = static_cast<std::uint32_t>(width), displayHeight_ = static_cast<std::uint32_t>(height);
        haveDisplay_ = true;
      } else {
        dataWidth_ = static_cast<std::uint32_t>(width), dataHeight_ = static_cast<std::uint32_t>(height);
      }
    } else if (name == "tiles" && type == "tiledesc" && size >= 9) {
      levelMode_ = bytes_[at + 8] & 0x0F;
      roundUp_ = (bytes_[at + 8] >> 4) != 0;
    }
  }

  // Levels of a side halved down to 1 as the file's rounding says.
  unsigned Levels(std::uint32_t side) const {
    if (side == 0) return 1;
    const unsigned floorLog = 31u - static_cast<unsigned>(std::countl_zero(side));
    return floorLog + 1 + (roundUp_ && !std::has_single_bit(side) ? 1 : 0);
  }

  THeaderInfo Describe(unsigned parts) const {
    // The channels the viewer would show: un-prefixed ones, else the first layer's.
    std::string prefix;
    const bool bare = std::any_of(channels_.begin(), channels_.end(),
                                  [](const TChannel& c) { return c.Name.find('.') == std::string::npos; });
    if (!bare) prefix = channels_.front().Name.substr(0, channels_.front().Name.rfind('.') + 1);
    auto find = [&](const char* base) -> const TChannel* {
      for (const TChannel& c : channels_)
        if (c.Name == prefix + base) return &c;
      return nullptr;
    };
    const TChannel* r = find("R");
    const TChannel* g = find("G");
    const TChannel* b = find("B");
    const TChannel* a = find("A");
    const TChannel* y = find("Y");
    std::string kind;
    const TChannel* lead = nullptr;
    if (r && g && b) kind = a ? "RGBA" : "RGB", lead = r;
    else if (y && (find("RY") || find("BY"))) kind = a ? "luminance/chroma with alpha" : "luminance/chroma", lead = y;
    else if (y) kind = a ? "YA" : "Y", lead = y;
    else {
      for (const TChannel& c : channels_)
        if (c.Name.starts_with(prefix)) {
          lead = &c;
          break;
        }
      if (lead == nullptr) lead = &channels_.front();
      kind = lead->Name.substr(prefix.size());
    }
    static constexpr const char* kTypes[] = {"uint", "half", "float"};
    static constexpr const char* kCompressions[] = {"uncompressed", "RLE", "ZIPS", "ZIP",  "PIZ",
                                                    "PXR24",        "B44", "B44A", "DWAA", "DWAB"};
    THeaderInfo info;
    info.Width = displayWidth_;
    info.Height = displayHeight_;
    info.Format = std::string("EXR ") + (lead->Type >= 0 && lead->Type < 3 ? kTypes[lead->Type] : "?") + " " + kind;
    if (!prefix.empty()) info.Format += " (" + prefix.substr(0, prefix.size() - 1) + ")";
    info.Format += std::string(" ") + (compression_ < std::size(kCompressions) ? kCompressions[compression_] : "?");
    info.HasAlpha = a != nullptr;
    AddPart(info.ImageSet, parts, "part", "parts");
    const std::uint32_t width = dataWidth_ ? dataWidth_ : displayWidth_;
    const std::uint32_t height = dataHeight_ ? dataHeight_ : displayHeight_;
    if (levelMode_ == 1) {
      AddPart(info.ImageSet, Levels(std::max(width, height)), "level", "levels");
    } else if (levelMode_ == 2) {
      const unsigned x = Levels(width), y = Levels(height);
      if (x * y > 1) {
        if (!info.ImageSet.empty()) info.ImageSet += " x ";
        info.ImageSet += std::to_string(x) + " x " + std::to_string(y) + " ripmap levels";
      }
    }
    return info;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
  std::vector<TChannel> channels_;
  bool haveChannels_ = false;
  bool haveDisplay_ = false;
  std::uint32_t displayWidth_ = 0, displayHeight_ = 0, dataWidth_ = 0, dataHeight_ = 0;
  std::uint8_t compression_ = 0;
  int levelMode_ = -1;
  bool roundUp_ = false;
};

// ---------------------------------------------------------------- JPEG and icons

// The two readers that are no TReaderGraphic: their headers are short enough to read here.
bool IsJpeg(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

std::optional<THeaderInfo> JpegHeaderInfo(std::span<const std::uint8_t> bytes) {
  std::size_t at = 2;
  while (at + 4 <= bytes.size()) {
    if (bytes[at] != 0xFF) return std::nullopt;
    const std::uint8_t marker = bytes[at + 1];
    if (marker == 0xFF) {  // fill bytes before a marker
      ++at;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return std::nullopt;  // the picture ended or began without a frame
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2;
      continue;
    }
    const std::size_t length = std::size_t{bytes[at + 2]} << 8 | bytes[at + 3];
    if (length < 2) return std::nullopt;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 8 || at + 10 > bytes.size()) return std::nullopt;
      THeaderInfo info;
      info.Height = std::uint32_t{bytes[at + 5]} << 8 | bytes[at + 6];
      info.Width = std::uint32_t{bytes[at + 7]} << 8 | bytes[at + 8];
      const std::uint8_t components = bytes[at + 9];
      info.Format = std::string("JPEG ") + (components == 1 ? "grey" : components == 4 ? "CMYK" : "RGB") + " " +
                    std::to_string(bytes[at + 4]) + "-bit";
      if (marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE) info.Format += ", progressive";
      if (info.Width == 0 || info.Height == 0) return std::nullopt;
      return info;
    }
    at += 2 + length;
  }
  return std::nullopt;
}

bool IsIcon(std::span<const std::uint8_t> bytes, const std::string& extension) {
  if (bytes.size() < 6 || bytes[0] != 0 || bytes[1] != 0 || (bytes[2] != 1 && bytes[2] != 2) || bytes[3] != 0) return false;
  // Four bytes of zeros and a small number say little; the extension has to agree.
  return SameExtension(extension, "ico") || SameExtension(extension, "cur");
}

std::optional<THeaderInfo> IconHeaderInfo(std::span<const std::uint8_t> bytes) {
  const unsigned count = std::uint32_t{bytes[4]} | std::uint32_t{bytes[5]} << 8;
  if (count == 0 || 6 + std::size_t{count} * 16 > bytes.size()) return std::nullopt;
  THeaderInfo info;
  unsigned bits = 0;
  for (unsigned i = 0; i < count; ++i) {
    const std::uint8_t* entry = bytes.data() + 6 + std::size_t{i} * 16;
    const std::uint32_t width = entry[0] ? entry[0] : 256, height = entry[1] ? entry[1] : 256;
    const unsigned entryBits = std::uint32_t{entry[6]} | std::uint32_t{entry[7]} << 8;
    if (std::uint64_t{width} * height > std::uint64_t{info.Width} * info.Height) info.Width = width, info.Height = height;
    bits = std::max(bits, entryBits);
  }
  info.Format = bytes[2] == 2 ? "cursor" : "icon";
  if (bits > 0) info.Format += " " + std::to_string(bits) + "-bit";
  info.HasAlpha = true;  // every entry carries a mask, if nothing better
  AddPart(info.ImageSet, count, "image", "images");
  return info;
}

// A PNG picture without an alpha channel may still have a transparent colour: a tRNS chunk
// before the pixels. The reader learns it in the load; the chunks before IDAT tell it here.
bool PngHasTransparency(std::span<const std::uint8_t> bytes) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) return false;
  std::size_t at = 8;
  while (bytes.size() - at >= 8) {
    const std::uint32_t length = std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
                                 std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
    const std::string_view type(reinterpret_cast<const char*>(bytes.data() + at + 4), 4);
    if (type == "tRNS") return true;
    if (type == "IDAT" || type == "IEND") return false;
    // A chunk past the prefix ends the search: a tRNS after it would be past the pixels' start.
    if (length > bytes.size() - at - 8 || bytes.size() - at - 8 - length < 4) return false;
    at += std::size_t{8} + length + 4;
  }
  return false;
}

// The headers parsed here rather than by a reader; nothing for any other file.
std::optional<THeaderInfo> PrefixHeaderInfo(std::span<const std::uint8_t> bytes, const std::string& extension,
                                            bool* parsedHere) {
  *parsedHere = true;
  if (IsExr(bytes)) return TExrHeader(bytes).Parse();
  if (IsJpeg(bytes)) return JpegHeaderInfo(bytes);
  if (IsIcon(bytes, extension)) return IconHeaderInfo(bytes);
  *parsedHere = false;
  return std::nullopt;
}

}  // namespace

std::optional<THeaderInfo> ReadExrHeaderInfo(std::span<const std::uint8_t> bytes) {
  return TExrHeader(bytes).Parse();
}

std::optional<THeaderInfo> ReadHeaderInfo(std::span<const std::uint8_t> prefix, const std::string& extension) {
  bool parsedHere = false;
  if (auto info = PrefixHeaderInfo(prefix, extension, &parsedHere); parsedHere) return info;
  TMemoryStream stream(prefix.data(), prefix.size());
  std::optional<THeaderInfo> info = FromStream(stream, extension);
  if (info && !info->HasAlpha && PngHasTransparency(prefix)) info->HasAlpha = true;
  return info;
}

std::optional<THeaderInfo> ReadHeaderInfo(const std::string& fileName) {
  try {
    TFileStream file(fileName);
    std::vector<std::uint8_t> prefix = ReadPrefix(file, kHeaderPrefixBytes);
    const std::string extension = FileExtensionOf(fileName);
    if (auto info = ReadHeaderInfo(prefix, extension)) return info;
    if (file.Size() <= static_cast<std::int64_t>(prefix.size())) return std::nullopt;
    // A header past the first block: an OpenEXR file with large attributes, a JPEG file with a
    // large thumbnail before its frame, or a TIFF whose directories come after its strips.
    bool parsedHere = false;
    PrefixHeaderInfo(prefix, extension, &parsedHere);
    if (parsedHere) return PrefixHeaderInfo(ReadPrefix(file, kHeaderReadLimit), extension, &parsedHere);
    const bool tiff = prefix.size() >= 4 && ((std::memcmp(prefix.data(), "II*\0", 4) == 0) ||
                                             std::memcmp(prefix.data(), "MM\0*", 4) == 0);
    if (!tiff) return std::nullopt;
    file.SetPosition(0);
    TCappedStream capped(file, kHeaderReadLimit);
    return FromStream(capped, extension);
  } catch (const std::exception&) {
    return std::nullopt;  // not a file that can be read: no header to show
  }
}

}  // namespace vumo
