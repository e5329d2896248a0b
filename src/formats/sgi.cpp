#include "formats/sgi.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#include "pixels/byte_order.h"
#include "formats/messages.h"
#include "pixels/decoders.h"
#include "pixels/image_limits.h"

namespace vumo {
namespace {

constexpr std::uint16_t kSGIMagic = 474;
constexpr std::size_t kHeaderSize = 512;

}  // namespace

bool TSGIGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kHeaderSize, [](const std::uint8_t* header) {
    const unsigned dimension = BigEndian16(header + 4);
    return BigEndian16(header) == kSGIMagic && (header[3] == 1 || header[3] == 2) && dimension >= 1 &&
           dimension <= 3;
  });
}

bool TSGIGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::uint8_t* header = ReadHeaderBytes(Stream, kHeaderSize);
  if (!header || BigEndian16(header) != kSGIMagic) return false;
  TImageProperties& p = ImageProperties;
  p.Options = ioBigEndian;
  p.BitsPerSample = static_cast<std::uint8_t>(8 * header[3]);
  p.Width = BigEndian16(header + 6);
  p.Height = BigEndian16(header + 8);
  p.SamplesPerPixel = header[11];
  p.ColorScheme = p.SamplesPerPixel == 3 ? csRGB : p.SamplesPerPixel == 4 ? csRGBA : csIndexed;
  p.BitsPerPixel = static_cast<std::uint8_t>(p.BitsPerSample * p.SamplesPerPixel);
  p.Compression = header[2] == 1 ? ctRLE : ctNone;
  return true;
}

void TSGIGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!ReadImageProperties(Stream, 0)) {
    // A file shorter than its header is a short read, not a foreign format.
    if (Stream.Size() - BasePosition >= 12 && BigEndian16(HeaderBytes()) == kSGIMagic) RaiseReadError();
    RaiseInvalidImage();
  }
  const TImageProperties& p = ImageProperties;
  StartProgress(gesPreparing);

  const std::uint8_t* header = HeaderBytes();
  const unsigned bytesPerSample = header[3];
  if (bytesPerSample != 1 && bytesPerSample != 2) RaiseInvalidColorFormat();
  // Grey images may carry a second (alpha) channel, which is not shown; more than four
  // channels have no bitmap layout.
  if (p.SamplesPerPixel == 0 || p.SamplesPerPixel > 4) RaiseInvalidColorFormat();
  const std::uint32_t width = p.Width, height = p.Height;
  if (width == 0 || height == 0) RaiseInvalidImage();
  CheckImageSize(width, height);

  const bool grey = p.ColorScheme == csIndexed;
  const unsigned channelsRead = grey ? 1 : p.SamplesPerPixel;
  const std::size_t rowBytes = std::size_t{width} * bytesPerSample;
  const std::uint64_t available = static_cast<std::uint64_t>(std::max<std::int64_t>(Stream.Size() - BasePosition, 0));

  // Refuse what the file cannot hold before anything is allocated for the picture.
  std::vector<std::uint32_t> starts, lengths;
  if (p.Compression == ctRLE) {
    const std::size_t entries = std::size_t{height} * p.SamplesPerPixel;
    if (kHeaderSize + 8 * std::uint64_t{entries} > available) RaiseStreamReadError();
    std::vector<std::uint8_t> tables(8 * entries);
    Stream.ReadBuffer(tables.data(), tables.size());
    starts.resize(entries);
    lengths.resize(entries);
    for (std::size_t i = 0; i < entries; ++i) {
      starts[i] = BigEndian32(&tables[4 * i]);
      lengths[i] = BigEndian32(&tables[4 * (entries + i)]);
    }
  } else if (kHeaderSize + std::uint64_t{rowBytes} * height * channelsRead > available) {
    RaiseStreamReadError();
  }

  TColorSetup colors;
  colors.SourceScheme = grey ? csIndexed : p.ColorScheme;
  colors.SourceBits = p.BitsPerSample;
  colors.SourceSamples = static_cast<std::uint8_t>(channelsRead);
  // 16-bit samples keep the file's byte order through the decoders.
  colors.SourceOptions = kBigEndianSamples;
  colors.TargetScheme = grey ? csIndexed : p.ColorScheme == csRGBA ? csBGRA : csBGR;
  colors.TargetSamples = static_cast<std::uint8_t>(channelsRead);
  ColorManager.Setup(colors);
  if (grey) SetPalette(ColorManager.CreateGrayPalette(false));
  AllocateImage(width, height);
  TEmptyOnFailure guard(*this);

  Progress(psEnding, 100, true, ProgressRect, "");
  StartProgress(gesTransfering);

  std::unique_ptr<TDecoder> decoder;
  std::vector<std::uint8_t> packed;
  // The longest a sound run-length row can be: a run packet for every sample, plus the end marker.
  const std::size_t maxPacked = 2 * rowBytes + 2 * bytesPerSample;
  if (p.Compression == ctRLE) {
    decoder = std::make_unique<TSGIRLEDecoder>(p.BitsPerSample);
    decoder->DecodeInit();
    packed.resize(maxPacked);
  }
  std::vector<std::uint8_t> planes(rowBytes * channelsRead);
  const void* sources[4] = {};
  for (unsigned c = 0; c < channelsRead; ++c) sources[c] = planes.data() + c * rowBytes;

  for (std::uint32_t row = 0; row < height; ++row) {
    for (unsigned c = 0; c < channelsRead; ++c) {
      std::uint8_t* plane = planes.data() + c * rowBytes;
      const std::uint64_t index = row + std::uint64_t{c} * height;
      if (!decoder) {
        Stream.SetPosition(BasePosition + static_cast<std::int64_t>(kHeaderSize + index * rowBytes));
        Stream.ReadBuffer(plane, rowBytes);
        continue;
      }
      std::memset(plane, 0, rowBytes);
      // Lengths count bytes, also for 16-bit samples (as GIMP and Pillow write them). A row
      // whose data lies past the end of the file belongs to a file cut short.
      const std::uint64_t start = starts[index];
      // A length past what any row needs is not the file's end, only an odd claim: what the
      // file holds up to a row's worth is read then.
      if (start > available || (lengths[index] <= maxPacked && lengths[index] > available - start)) RaiseReadError();
      const auto want =
          static_cast<std::size_t>(std::min<std::uint64_t>({lengths[index], maxPacked, available - start}));
      Stream.SetPosition(BasePosition + static_cast<std::int64_t>(start));
      const std::size_t got = Stream.Read(packed.data(), want);
      if (got < want) RaiseReadError();
      const std::uint8_t* source = packed.data();
      std::uint8_t* dest = plane;
      decoder->Decode(source, dest, static_cast<std::int32_t>(got), static_cast<std::int32_t>(rowBytes));
    }
    ConvertRowTo(static_cast<int>(height - 1 - row), std::span<const void* const>(sources, channelsRead), rowBytes);
    RowProgress(row, height);
  }
  if (decoder) decoder->DecodeEnd();
  Progress(psEnding, 100, true, ProgressRect, "");
}

}  // namespace vumo
