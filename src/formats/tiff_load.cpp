// The load of one TIFF directory, as its steps: the sample layout checked and the colour
// conversion chosen, the strips or tiles planned, each block's planes read and decoded into
// buffers no larger than their data can fill; tiff_rows.cpp writes the rows.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <span>

#include "formats/byte_source.h"
#include "formats/jpeg_image.h"
#include "formats/messages.h"
#include "formats/tiff.h"
#include "formats/tiff_load.h"
#include "formats/tiff_tags.h"
#include "pixels/byte_order.h"
#include "pixels/ccitt_decoders.h"
#include "pixels/decoders.h"
#include "pixels/float_pixels.h"
#include "pixels/image_limits.h"
#include "pixels/lz77_decoder.h"
#include "pixels/lzw_decoder.h"
#include "pixels/row_kernels.h"
#include "pixels/thunder_decoder.h"
#include "pixels/tiff_jpeg_decoder.h"

namespace vumo {
namespace {

// The most bytes `packed` bytes of a coding can decode to. A block's buffer is no larger,
// whatever size its header declares, so a file of a few bytes claiming gigabytes costs no
// more than its data can fill. Fax rows are one bit a pixel, never more than the bitmap.
std::uint64_t MostDecodedBytes(TCompressionType compression, std::uint64_t packed) {
  switch (compression) {
    case ctNone: return packed;
    case ctPackedBits: return (packed + 1) / 2 * 128;  // a run of 128 bytes in two
    case ctLZ77: return packed * 1032 + 1024;           // deflate's longest match in its fewest bits
    case ctLZW: return (packed * 8 / 9 + 1) * 4096;     // a code of 9 bits or more, a string of 4096 at most
    case ctThunderscan: return packed * 32 + 32;        // a run of 63 four-bit pixels a byte
    // A block of 64 samples coded in two bits, four luma blocks to each chroma pair, and
    // headers between: far more than libjpeg's encoder reaches.
    case ctJPEG: return packed * 4096 + 65536;
    default: return UINT64_MAX;
  }
}

std::uint8_t ReverseBits(std::uint8_t b) {
  b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

}  // namespace

TTIFFGraphic::TLoadLayout TTIFFGraphic::CheckLayout(TStream& Stream) {
  const TImageProperties& p = ImageProperties;
  TLoadLayout l;
  l.Compression = p.Compression;
  switch (l.Compression) {
    case ctNone:
    case ctPackedBits:
    case ctFax3:
    case ctFax4:
    case ctFaxRLE:
    case ctFaxRLEW:
    case ctLZ77:
    case ctLZW:
    case ctJPEG:
    case ctThunderscan: break;
    default: RaiseUnsupported(gesCompressionScheme);
  }
  const TCompressionType compression = l.Compression;
  l.Tiled = (p.Options & ioTiled) != 0;
  l.Reversed = (p.Options & ioReversed) != 0;
  l.Fax = compression == ctFax3 || compression == ctFax4 || compression == ctFaxRLE || compression == ctFaxRLEW;
  const unsigned bits = l.Bits = bitsPerSample_;
  const unsigned samples = l.Samples = samplesPerPixel_;
  // Bits per sample and samples per pixel must fit the photometric interpretation and the
  // coding: the sizes of every buffer follow from them.
  if (mixedBitsPerSample_ || samples == 0 || samples > 4) RaiseInvalidColorFormat();
  if (l.Fax && (bits != 1 || samples != 1)) RaiseInvalidColorFormat();
  if (compression == ctThunderscan && (bits != 4 || samples != 1)) RaiseInvalidColorFormat();
  if (compression == ctJPEG && bits != 8) RaiseInvalidColorFormat();
  const bool planar = l.Planar = p.PlanarConfig == 2 && samples > 1;
  TColorScheme scheme = p.ColorScheme;
  // 32-bit integer samples (scientific and GIS writers) are reduced to 8 bits for display.
  const bool integer32 = bits == 32 && sampleFormat_ != 3;
  const bool wide = bits == 8 || bits == 16 || integer32;
  // Floating-point samples are kept as linear light beside the 32-bit pixels shown, which
  // an exposure renders from them: grey or RGB, with or without alpha.
  const bool floating = l.Floating = sampleFormat_ == 3;
  bool layoutOk = false;
  if (floating) {
    if ((bits == 16 || bits == 24 || bits == 32) &&
        ((scheme == csGray && samples <= 2) || (scheme == csRGB && samples == 3) || (scheme == csRGBA && samples == 4)))
      layoutOk = true;
    scheme = csUnknown;  // none of the colour manager's layouts below applies
  }
  switch (scheme) {
    case csGray:
      layoutOk = (samples == 1 && (bits == 1 || bits == 2 || bits == 4 || wide)) || (samples == 2 && wide);
      break;
    case csIndexed: layoutOk = samples == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8); break;
    case csRGB: layoutOk = samples == 3 && wide; break;
    // ImageMagick writes L*a*b* with an unassociated alpha sample.
    case csCIELab: layoutOk = (samples == 3 || (samples == 4 && p.HasAlpha)) && wide && !integer32; break;
    case csRGBA:
    case csCMYK: layoutOk = samples == 4 && wide; break;
    case csYCbCr: layoutOk = samples == 3 && bits == 8; break;
    default: break;
  }
  if (!layoutOk) RaiseInvalidColorFormat();
  // Grey with alpha shows its grey; a separate alpha plane is not read at all (but for floats).
  l.PlanesUsed = planar ? samples : 1;
  l.SourceSamples = samples;
  if (scheme == csGray && samples == 2) {
    if (planar) {
      l.PlanesUsed = 1;
      l.SourceSamples = 1;
    } else {
      scheme = csGrayAlpha;
    }
  }

  // PredictorMode 0 and 1 mean none, 2 differences integer samples, 3 the bytes of floats.
  l.Predictor = compression != ctNone && p.PredictorMode == 2;
  l.FloatPredictor = compression != ctNone && p.PredictorMode == 3;
  if (compression != ctNone && p.PredictorMode > 3) RaiseUnsupported(gesPredictor);
  if ((l.Predictor && (!wide || floating)) || (l.FloatPredictor && !floating)) RaiseUnsupported(gesPredictor);

  const bool jpegColour = compression == ctJPEG && scheme == csYCbCr && !planar;  // libjpeg gives RGB
  if (scheme == csYCbCr && !jpegColour) {
    l.HSub = p.YCbCrSubSampling[0];
    l.VSub = p.YCbCrSubSampling[1];
    ColorManager.SetYCbCrParameters(yCbCrCoefficients_, static_cast<std::uint8_t>(l.HSub),
                                    static_cast<std::uint8_t>(l.VSub));
    if (compression == ctJPEG) l.HSub = l.VSub = 1;
    if (l.Predictor && (l.HSub != 1 || l.VSub != 1)) RaiseUnsupported(gesPredictor);
  }
  l.Subsampled = (l.HSub != 1 || l.VSub != 1) && !planar;
  l.PlanarChroma = (l.HSub != 1 || l.VSub != 1) && planar;
  l.Reduce16 = bits == 16 && (scheme == csCMYK || scheme == csCIELab);
  l.Reduce32 = integer32;
  l.LabAlpha = scheme == csCIELab && samples == 4;
  l.CompactLab = l.LabAlpha && !planar;
  l.Scheme = scheme;

  TColorSetup& colors = l.Colors;
  colors.SourceScheme = jpegColour ? csRGB : scheme;
  colors.SourceBits = static_cast<std::uint8_t>(l.Reduce16 || l.Reduce32 ? 8 : bits);
  colors.SourceSamples = static_cast<std::uint8_t>(l.LabAlpha ? 3 : l.SourceSamples);
  colors.SourceOptions = bits == 16 ? (bigEndian_ ? kBigEndianSamples : kLittleEndianSamples) : 0;
  if (l.Reduce16 || l.Reduce32) colors.SourceOptions = 0;
  if (scheme == csCIELab) {
    colors.SourceOptions |= cvLabScaledLightness;
    // Lab values are relative to the white point the file gives, D50 (as Photoshop writes
    // them, without the tag) unless it gives D65's chromaticity, as ImageMagick does.
    const std::vector<float> white = Floats(Stream, tgWhitePoint);
    if (white.size() == 2 && std::fabs(white[0] - 0.3127f) < 0.002f && std::fabs(white[1] - 0.3290f) < 0.002f)
      colors.SourceOptions |= cvLabD65White;
  }
  colors.TargetBits = static_cast<std::uint8_t>(bits >= 16 ? 8 : bits == 2 ? 4 : bits);
  switch (scheme) {
    case csIndexed:
    case csGray:
    case csGrayAlpha:
      colors.TargetScheme = scheme == csIndexed ? csIndexed : csGray;
      colors.TargetSamples = 1;
      break;
    case csRGBA:
      colors.TargetScheme = csBGRA;
      colors.TargetSamples = 4;
      break;
    case csCIELab:
      colors.TargetScheme = l.LabAlpha ? csBGRA : csBGR;
      colors.TargetSamples = l.LabAlpha ? 4 : 3;
      break;
    default:
      colors.TargetScheme = csBGR;
      colors.TargetSamples = 3;
      break;
  }
  if (!floating) ColorManager.Setup(colors);
  l.Unpremultiply = associatedAlpha_ && colors.TargetScheme == csBGRA;
  l.Format = floating ? pf32bit : ColorManager.TargetPixelFormat();
  return l;
}

TTIFFGraphic::TBlockPlan TTIFFGraphic::PlanBlocks(TStream& Stream, const TLoadLayout& l) {
  TImageProperties& p = ImageProperties;
  const std::size_t width = p.Width, height = p.Height;
  TBlockPlan plan;
  // Strips span the width, each of its RowsPerStrip value, or the last one when the list is
  // shorter; values past the height mean one strip for the rest, as TIFF allows. Tiles go
  // left to right, then down, each of TileWidth x TileLength as stored, cropped where it
  // passes the picture's edges.
  plan.Offsets = Values(Stream, l.Tiled ? tgTileOffsets : tgStripOffsets);
  plan.Counts = Values(Stream, l.Tiled ? tgTileByteCounts : tgStripByteCounts);
  const std::size_t planes = l.Planar ? l.Samples : 1;
  plan.BlockWidth = l.Tiled ? p.TileWidth : width;
  if (l.Tiled) {
    const std::size_t across = (width + p.TileWidth - 1) / p.TileWidth;
    const std::size_t down = (height + p.TileLength - 1) / p.TileLength;
    // The offsets, read from the file, bound the tiles: a tile of one pixel on a large
    // picture claims more of them than the file holds.
    const auto tiles = CheckedMul(across, down, planes);
    if (!tiles || *tiles > plan.Offsets.size()) RaiseInvalidImage();
    // Each tile starts on a byte of the bitmap's rows.
    if (std::size_t{p.TileWidth} * BitsPerPixelOf(l.Format) % 8 != 0) RaiseInvalidImage();
    plan.Blocks.reserve(across * down);
    for (std::size_t ty = 0; ty < down; ++ty)
      for (std::size_t tx = 0; tx < across; ++tx)
        plan.Blocks.push_back({static_cast<std::uint32_t>(tx * p.TileWidth),
                               static_cast<std::uint32_t>(ty * p.TileLength), p.TileLength});
  } else {
    for (std::uint32_t row = 0, s = 0; row < height; ++s) {
      const std::uint32_t value = p.RowsPerStrip[std::min<std::size_t>(s, p.RowsPerStrip.size() - 1)];
      if (value == 0) RaiseInvalidImage();
      const std::uint32_t rows = std::min<std::uint32_t>(value, static_cast<std::uint32_t>(height - row));
      plan.Blocks.push_back({0, row, rows});
      row += rows;
    }
  }
  const std::size_t blocksPerPlane = plan.Blocks.size();
  if (plan.Offsets.size() < blocksPerPlane * planes) RaiseInvalidImage();
  if (!plan.Counts.empty() && plan.Counts.size() < blocksPerPlane * planes) RaiseInvalidImage();

  const auto rowBytes = RowBytes(plan.BlockWidth, std::size_t{l.Bits} * (l.Planar ? 1 : l.Samples));
  if (!rowBytes || *rowBytes > UINT32_MAX) RaiseTooLarge(width, height);
  plan.RowBytes = *rowBytes;
  p.BytesPerLine = static_cast<std::uint32_t>(plan.RowBytes);
  plan.CellBytes = std::size_t{l.HSub} * l.VSub + 2;
  plan.CellRowBytes = (plan.BlockWidth + l.HSub - 1) / l.HSub * plan.CellBytes;
  plan.ChromaRowBytes = (plan.BlockWidth + l.HSub - 1) / l.HSub;
  std::uint32_t mostRows = 0;
  for (const TBlockPlan::TBlock& b : plan.Blocks) mostRows = std::max(mostRows, b.Rows);
  for (std::size_t k = 0; k < 4; ++k) {
    const bool chroma = l.PlanarChroma && k > 0;
    plan.UnitBytes[k] = l.Subsampled ? plan.CellRowBytes : chroma ? plan.ChromaRowBytes : plan.RowBytes;
    plan.UnitRows[k] = l.Subsampled || chroma ? l.VSub : 1;
  }
  const std::size_t units = (mostRows + plan.UnitRows[0] - 1) / plan.UnitRows[0];
  if (!CheckedMul(units, plan.UnitBytes[0]) || units * plan.UnitBytes[0] > INT32_MAX) RaiseTooLarge(width, height);
  return plan;
}

void TTIFFGraphic::LoadPalette(TStream& Stream, const TLoadLayout& l) {
  if (l.Scheme == csIndexed) {
    // The colour map holds red, then green, then blue, 2^bits values each.
    const std::vector<std::uint32_t> map = Values(Stream, tgColorMap);
    const std::size_t entries = std::size_t{1} << l.Bits;
    if (map.size() < 3 * entries) Raise(gesInvalidPalette);
    const std::size_t plane = map.size() / 3;
    // Some old writers store the colour map in 8 bits; their values never pass 255.
    const bool eightBit = std::all_of(map.begin(), map.end(), [](std::uint32_t v) { return v < 256; });
    std::vector<std::uint16_t> rgb(3 * entries);
    for (std::size_t k = 0; k < 3; ++k)
      for (std::size_t i = 0; i < entries; ++i) {
        const std::uint32_t v = map[k * plane + i];
        rgb[k * entries + i] = static_cast<std::uint16_t>(eightBit ? v * 257 : v);
      }
    const void* const data[3] = {&rgb[0], &rgb[entries], &rgb[2 * entries]};
    SetPalette(ColorManager.CreateColorPalette(data, pfPlane16Triple, static_cast<std::uint32_t>(entries), false));
  } else if (l.Colors.TargetScheme == csGray && !l.Floating) {
    SetPalette(ColorManager.CreateGrayPalette((ImageProperties.Options & ioMinIsWhite) != 0));
  }
}

// Reads each block's planes from the file and decodes them into buffers of its own, each no
// larger than what its data can give, whatever the block's size declares: a few bytes
// claiming gigabytes cost a few bytes.
class TTIFFGraphic::TBlockReader {
 public:
  TBlockReader(TTIFFGraphic& graphic, TStream& stream, const TLoadLayout& layout, const TBlockPlan& plan)
      : g_(graphic), l_(layout), plan_(plan), source_(stream) {
    TImageProperties& p = g_.ImageProperties;
    // The JPEG decoder checks each stream's size against the picture's: a tile's is its own.
    TImageProperties& tile = tileProperties_;
    tile = p;
    tile.Width = static_cast<std::uint32_t>(plan.BlockWidth);
    tile.Height = p.TileLength;
    tile.RowsPerStrip.assign(1, p.TileLength);
    tile.CurrentRow = 0;
    const auto width = static_cast<std::uint32_t>(plan.BlockWidth);
    switch (l_.Compression) {
      case ctFax3: decoder_ = std::make_unique<TCCITTFax3Decoder>(g_.t4Options_, l_.Reversed, false, width); break;
      case ctFax4: decoder_ = std::make_unique<TCCITTFax4Decoder>(0, l_.Reversed, width); break;
      case ctFaxRLE:
      case ctFaxRLEW:
        decoder_ = std::make_unique<TCCITTMHDecoder>(g_.t4Options_, l_.Reversed, l_.Compression == ctFaxRLEW, width);
        break;
      case ctLZ77: decoder_ = std::make_unique<TLZ77Decoder>(kFlushPartial, true); break;
      case ctJPEG: decoder_ = std::make_unique<TTIFFJPEGDecoder>(l_.Tiled ? tile : p); break;
      case ctThunderscan: decoder_ = std::make_unique<TThunderDecoder>(width); break;
      default: break;
    }
    if (decoder_) decoder_->DecodeInit();
  }
  ~TBlockReader() = default;

  void Finish() {
    if (decoder_) decoder_->DecodeEnd();
  }

  TBlockData Read(std::size_t b) {
    const TBlockPlan::TBlock& block = plan_.Blocks[b];
    const bool coded = l_.Compression != ctNone, copyRaw = !coded && (l_.Planar || l_.Reversed);
    const std::uint64_t size = g_.tiffSize_;
    // Where each plane's data lies and how much of it there is.
    std::uint64_t at[4] = {}, takes[4] = {}, rooms[4] = {};
    bool cut[4] = {};
    std::size_t region = 0;
    TBlockData data;
    data.RowsReady = block.Rows;
    for (std::size_t k = 0; k < l_.PlanesUsed; ++k) {
      const std::size_t index = k * plan_.Blocks.size() + b;
      const std::size_t declared = plan_.DeclaredBytes(k, block.Rows);
      at[k] = std::min<std::uint64_t>(plan_.Offsets[index], size);
      const std::uint64_t available = size - at[k];
      const std::uint64_t wanted = !coded ? declared : plan_.Counts.empty() ? available : plan_.Counts[index];
      // A block that lies past the end belongs to a file cut short. A JPEG block may end
      // before its byte count says: only the decoder tells whether its data ran out.
      cut[k] = wanted > available;
      if (cut[k] && l_.Compression != ctJPEG) g_.RaiseReadError();
      takes[k] = std::min<std::uint64_t>({wanted, available, INT32_MAX});
      // Whole rows, the last one partly filled as far as the data goes.
      const std::uint64_t most = MostDecodedBytes(l_.Compression, takes[k]);
      const std::size_t unit = plan_.UnitBytes[k];
      rooms[k] = !coded ? most / unit * unit : most >= declared ? declared : most / unit * unit + unit;
      rooms[k] = std::min<std::uint64_t>(rooms[k], declared);
      data.RowsReady = std::min<std::size_t>(data.RowsReady, rooms[k] / unit * plan_.UnitRows[k]);
      region = std::max<std::size_t>(region, rooms[k]);
    }
    if ((coded || copyRaw) && decoded_.size() < region * l_.PlanesUsed) decoded_.resize(region * l_.PlanesUsed);
    for (std::size_t k = 0; k < l_.PlanesUsed; ++k) {
      static const std::uint8_t kNothing[1] = {};
      const std::uint8_t* in = kNothing;  // a block of 0 bytes decodes to nothing
      const auto take = static_cast<std::size_t>(takes[k]);
      if (take) {
        source_.Seek(g_.tiffStart_ + static_cast<std::int64_t>(at[k]));
        in = source_.Take(take);
        if (!in) g_.RaiseReadError();
      }
      if (l_.Reversed && !l_.Fax) {
        reversedBytes_.assign(in, in + take);
        for (std::uint8_t& v : reversedBytes_) v = ReverseBits(v);
        in = reversedBytes_.data();
      }
      std::uint8_t* out = decoded_.data() + k * region;
      if (coded) {
        DecodePlane(in, take, out, static_cast<std::size_t>(rooms[k]));
        if (cut[k] && l_.Compression == ctJPEG && !static_cast<TTIFFJPEGDecoder&>(*decoder_).Warning().empty())
          g_.RaiseReadError();
        data.Planes[k] = out;
      } else if (copyRaw) {
        std::memcpy(out, in, static_cast<std::size_t>(rooms[k]));
        data.Planes[k] = out;
      } else {
        data.Planes[k] = in;
      }
    }
    return data;
  }

 private:
  TTIFFGraphic& g_;
  const TLoadLayout& l_;
  const TBlockPlan& plan_;
  TByteSource source_;
  TImageProperties tileProperties_;  // the JPEG decoder keeps it
  std::unique_ptr<TDecoder> decoder_;
  TPackbitsRLEDecoder packBits_;
  std::vector<std::uint8_t> decoded_;  // the decoded planes of one block side by side
  std::vector<std::uint8_t> reversedBytes_;

  // One plane of a block into `room` bytes at `out`; what its data does not give is blank.
  void DecodePlane(const std::uint8_t* data, std::size_t take, std::uint8_t* out, std::size_t room) {
    std::size_t given = room;
    if (l_.Compression == ctPackedBits) {
      given = packBits_.DecodeOver(data, take, out, room);
    } else if (l_.Compression == ctLZW) {
      // Early libtiff wrote its codes least significant bit first; the first code tells.
      const std::span<const std::uint8_t> in(data, take);
      given = DecodeLZW(IsOldStyleTiffLZW(in) ? TLZWPacking::kTiffOld : TLZWPacking::kTiff, 8, in,
                        std::span<std::uint8_t>(out, room))
                  .written;
    } else if (l_.Compression == ctLZ77 &&
               InflateComplete(std::span<const std::uint8_t>(data, take), std::span<std::uint8_t>(out, room))) {
      return;
    } else {
      // The fax decoders clear their room to white themselves.
      if (!l_.Fax) std::memset(out, 0, room);
      const std::uint8_t* in = data;
      std::uint8_t* dest = out;
      decoder_->Decode(in, dest, static_cast<std::int32_t>(take), static_cast<std::int32_t>(room));
      return;
    }
    std::memset(out + given, 0, room - given);
  }
};

// The writers of old-style JPEG mostly stored a whole JPEG stream, SOI to EOI, and pointed
// JPEGInterchangeFormat at it: it decodes by itself, whatever the strips say. The other
// layouts (tables in tags of their own, strips of bare scan data) stay unsupported.
void TTIFFGraphic::LoadOldStyleJPEG(TStream& Stream) {
  const std::uint64_t offset = Value(tgJPEGInterchangeFormat, 0);
  if (offset == 0) RaiseUnsupported(gesCompressionScheme);
  if (offset >= tiffSize_) RaiseReadError();
  // A missing length means the stream runs to the end; one past the end, a file cut short.
  std::uint64_t length = Value(tgJPEGInterchangeFormatLength, 0);
  if (length == 0) length = tiffSize_ - offset;
  if (length > tiffSize_ - offset) RaiseReadError();
  TByteSource source(Stream);
  source.Seek(tiffStart_ + static_cast<std::int64_t>(offset));
  const std::uint8_t* data = length >= 2 ? source.Take(static_cast<std::size_t>(length)) : nullptr;
  if (!data) RaiseReadError();
  if (data[0] != 0xFF || data[1] != 0xD8) RaiseUnsupported(gesCompressionScheme);
  TJPEGImage jpeg;
  jpeg.LoadFromMemory(data, static_cast<std::size_t>(length));
  TBitmap pixels(*jpeg.DrawBitmap());
  TakeImage(pixels);
  ImageProperties.Width = static_cast<std::uint32_t>(Width());
  ImageProperties.Height = static_cast<std::uint32_t>(Height());
}

void TTIFFGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  // The TIFF's own directory walk, also for the EPS preview, which has found its TIFF already.
  if (!TTIFFGraphic::ReadImageProperties(Stream, RequestedImage())) {
    if (pages_ > 0 && RequestedImage() >= pages_) throw EInvalidGraphic(FormatMessage(kNoSuchImage, RequestedImage() + 1));
    RaiseInvalidImage();
  }
  TImageProperties& p = ImageProperties;
  StartProgress(gesPreparing);
  if (p.Compression == ctOJPEG) {
    LoadOldStyleJPEG(Stream);
    EndProgress();
    return;
  }
  const TLoadLayout layout = CheckLayout(Stream);
  CheckImageSize(p.Width, p.Height, layout.Format);
  const TBlockPlan plan = PlanBlocks(Stream, layout);
  // A file without its first block holds no row to show: refused before the bitmap exists.
  if (plan.Offsets[0] >= tiffSize_) RaiseReadError();

  AllocateImage(p.Width, p.Height, layout.Format);
  // A load refused once the bitmap exists (a colour map or strip data libjpeg rejects)
  // leaves the reader empty, as every reader's refused load does.
  TEmptyOnFailure guard(*this);
  LoadPalette(Stream, layout);
  TBlockReader reader(*this, Stream, layout, plan);
  TRowWriter writer(*this, layout, plan);
  EndProgress();
  StartProgress(gesTransfering);
  p.CurrentRow = 0;
  p.CurrentStrip = 0;
  p.StripCount = static_cast<std::uint32_t>(plan.Offsets.size());
  for (std::size_t b = 0; b < plan.Blocks.size(); ++b) {
    const TBlockPlan::TBlock& block = plan.Blocks[b];
    writer.Write(block, reader.Read(b));
    // A band of the picture is done with the block that ends it on the right.
    if (block.X + plan.BlockWidth >= p.Width)
      for (std::uint32_t r = 0; r < std::min<std::uint32_t>(block.Rows, p.Height - block.Y); ++r) {
        p.CurrentRow = block.Y + r + 1;
        RowProgress(p.CurrentRow - 1, p.Height);
      }
    ++p.CurrentStrip;
  }
  reader.Finish();
  writer.Finish();
  // The fourth byte of the pixels is the file's alpha for a display to blend with.
  if (alphaSample_ && (layout.Floating ? layout.Samples == 2 || layout.Samples == 4
                                       : layout.Colors.TargetScheme == csBGRA))
    SetAlphaChannel(true);
  EndProgress();
}

}  // namespace vumo
