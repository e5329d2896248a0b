#include "formats/pcd.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/byte_order.h"

namespace vumo {

namespace {

constexpr std::size_t kSectorSize = 2048;
constexpr std::size_t kHeaderSize = 3 * kSectorSize;
// What CanLoad reads: both marks lie in the first 2051 bytes.
constexpr std::size_t kMarkTestSize = kSectorSize + 3;
constexpr std::size_t kImagePackMark = kSectorSize;
constexpr std::size_t kRotationOffset = 3586;
constexpr std::size_t kImageCountOffset = 10;

// Where the base image starts: after the image pack's two smaller resolutions, or after
// the overview pack's own header.
constexpr std::uint64_t kBaseImageSector = 96;
constexpr std::uint64_t kOverviewImageSector = 5;

constexpr std::uint32_t kBaseWidth = 768;
constexpr std::uint32_t kBaseHeight = 512;
constexpr unsigned kBaseResolution = 2;
constexpr unsigned kLargestResolution = 5;
constexpr std::uint32_t kChromaWidth = kBaseWidth / 2;
constexpr std::uint32_t kChromaHeight = kBaseHeight / 2;
// One group: two luma rows, then one row of each chroma.
constexpr std::size_t kGroupBytes = 2 * kBaseWidth + 2 * kChromaWidth;
constexpr std::uint64_t kBaseImageBytes = std::uint64_t{kGroupBytes} * kChromaHeight;

// Kodak's luma weights for the Photo YCC primaries.
constexpr std::array<float, 3> kPhotoYCCLuma = {0.2125f, 0.7154f, 0.0721f};

bool IsOverview(const std::uint8_t* header) { return std::memcmp(header, "PCD_OPA", 7) == 0; }
bool IsImagePack(const std::uint8_t* header) { return std::memcmp(header + kImagePackMark, "PCD", 3) == 0; }

// Doubles a chroma plane of width / 2 x height / 2 samples, stored at the top left of a
// plane of `width` x `height` with a row stride of `width`, to the whole plane.
void UpsampleChroma(std::uint8_t* plane, std::uint32_t width, std::uint32_t height) {
  const std::uint32_t inWidth = width / 2, inHeight = height / 2;
  std::vector<std::uint8_t> row(inWidth);
  // Bottom up, so that every input row is read before its output rows cover it.
  for (std::uint32_t y = inHeight; y-- > 0;) {
    std::memcpy(row.data(), plane + std::size_t{y} * width, inWidth);
    std::uint8_t* out = plane + std::size_t{2} * y * width;
    for (std::uint32_t x = 0; x < inWidth; ++x) {
      const unsigned a = row[x];
      const unsigned b = x + 1 < inWidth ? row[x + 1] : a;
      out[2 * x] = static_cast<std::uint8_t>(a);
      out[2 * x + 1] = static_cast<std::uint8_t>((a + b + 1) / 2);
    }
  }
  for (std::uint32_t y = 0; 2 * y + 1 < height; ++y) {
    std::uint8_t* out = plane + (std::size_t{2} * y + 1) * width;
    const std::uint8_t* above = out - width;
    if (2 * y + 2 >= height) {
      std::memcpy(out, above, width);
      continue;
    }
    const std::uint8_t* below = out + width;
    for (std::uint32_t x = 0; x + 1 < width; x += 2) {
      const unsigned right = x + 2 < width ? x + 2 : x;
      out[x] = static_cast<std::uint8_t>((above[x] + below[x] + 1) / 2);
      out[x + 1] = static_cast<std::uint8_t>((above[x] + above[right] + below[x] + below[right] + 2) / 4);
    }
  }
}

}  // namespace

bool TPCDGraphic::CanLoad(TStream& Stream) {
  if (Stream.Remaining() <= static_cast<std::int64_t>(kHeaderSize)) return false;
  return TestHeader(Stream, kMarkTestSize,
                    [](const std::uint8_t* header) { return IsOverview(header) || IsImagePack(header); });
}

bool TPCDGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::uint8_t* header = ReadHeaderBytes(Stream, kHeaderSize);
  if (!header) return false;
  TImageProperties& p = ImageProperties;
  p.Overview = IsOverview(header);
  if (!p.Overview && !IsImagePack(header)) return false;
  p.ImageCount = BigEndian16(header + kImageCountOffset);
  // Only the low two bits are the rotation; writers keep other flags above them.
  p.Rotate = header[kRotationOffset] & 3;
  // An overview pack holds thumbnails of the smallest resolution only.
  const unsigned resolution = p.Overview ? 0 : std::min(ImageIndex, kLargestResolution);
  const std::uint32_t width = 192u << resolution, height = 128u << resolution;
  const bool turned = p.Rotate == 1 || p.Rotate == 3;
  p.Width = turned ? height : width;
  p.Height = turned ? width : height;
  p.ColorScheme = csPhotoYCC;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 3;
  p.BitsPerPixel = 24;
  p.Compression = resolution <= kBaseResolution ? ctNone : ctPCDHuffmann;
  return true;
}

void TPCDGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!ReadImageProperties(Stream, kBaseResolution)) {
    // A marked file that ends inside its header is a short file, not a foreign one.
    const std::uint64_t size = static_cast<std::uint64_t>(std::max<std::int64_t>(Stream.Size() - BasePosition, 0));
    if (size < kHeaderSize && ((size >= 7 && IsOverview(HeaderBytes())) ||
                               (size >= kMarkTestSize && IsImagePack(HeaderBytes()))))
      RaiseReadError();
    return;
  }
  TImageProperties& p = ImageProperties;
  Stream.SetPosition(BasePosition);
  // The working size is the base image's, unturned, whatever the header asked for.
  p.Width = kBaseWidth;
  p.Height = kBaseHeight;
  StartProgress(gesPreparing);

  // The overview pack is read at the base image's geometry too, from after its header.
  const std::uint64_t start = (p.Overview ? kOverviewImageSector : kBaseImageSector) * kSectorSize;
  const std::int64_t available = Stream.Size() - BasePosition;
  if (available < 0 || static_cast<std::uint64_t>(available) < start + kBaseImageBytes) RaiseReadError();

  // The coefficients reach the lookup tables when Setup selects the converter.
  ColorManager.SetYCbCrParameters(kPhotoYCCLuma, 2, 2);
  TColorSetup colors;
  colors.SourceScheme = csPhotoYCC;
  colors.TargetScheme = csBGR;
  ColorManager.Setup(colors);
  const bool turned = p.Rotate == 1 || p.Rotate == 3;
  AllocateImage(turned ? kBaseHeight : kBaseWidth, turned ? kBaseWidth : kBaseHeight);

  constexpr std::size_t kPlaneBytes = std::size_t{kBaseWidth} * kBaseHeight;
  std::vector<std::uint8_t> luma(kPlaneBytes), chroma1(kPlaneBytes), chroma2(kPlaneBytes);

  EndProgress();
  StartProgress(gesLoadingData);
  {
    TByteSource bytes(Stream);
    bytes.Seek(BasePosition + static_cast<std::int64_t>(start));
    for (std::uint32_t k = 0; k < kChromaHeight; ++k) {
      Progress(psRunning, static_cast<std::uint8_t>(2 * k * 100 / kBaseHeight), false, ProgressRect, "");
      const std::uint8_t* group = bytes.Take(kGroupBytes);
      // The size was checked, but a stream may still end early.
      if (!group) RaiseReadError();
      std::memcpy(&luma[std::size_t{2} * k * kBaseWidth], group, 2 * kBaseWidth);
      std::memcpy(&chroma1[std::size_t{k} * kBaseWidth], group + 2 * kBaseWidth, kChromaWidth);
      std::memcpy(&chroma2[std::size_t{k} * kBaseWidth], group + 2 * kBaseWidth + kChromaWidth, kChromaWidth);
    }
  }

  EndProgress();
  StartProgress(gesUpsampling);
  UpsampleChroma(chroma1.data(), kBaseWidth, kBaseHeight);
  Progress(psRunning, 50, false, ProgressRect, "");
  UpsampleChroma(chroma2.data(), kBaseWidth, kBaseHeight);
  Progress(psRunning, 100, false, ProgressRect, "");

  EndProgress();
  StartProgress(gesTransfering);
  std::vector<std::uint8_t> turnedRow(turned ? std::size_t{kBaseWidth} * 3 : 0);
  for (std::uint32_t y = 0; y < kBaseHeight; ++y) {
    const std::size_t offset = std::size_t{y} * kBaseWidth;
    const void* const planes[3] = {&luma[offset], &chroma1[offset], &chroma2[offset]};
    const std::span<const void* const> sources(planes);
    if (!turned) {
      ConvertRowTo(static_cast<int>(y), sources, kBaseWidth);
    } else {
      ColorManager.ConvertRow(sources, kBaseWidth, turnedRow.data(), turnedRow.size(), kBaseWidth, 0xFF);
      // Code 1 turns the picture a quarter anticlockwise, code 3 a quarter clockwise.
      for (std::uint32_t x = 0; x < kBaseWidth; ++x) {
        const std::uint32_t row = p.Rotate == 1 ? kBaseWidth - 1 - x : x;
        const std::uint32_t column = p.Rotate == 1 ? y : kBaseHeight - 1 - y;
        std::memcpy(ScanLine(static_cast<int>(row)) + std::size_t{column} * 3, &turnedRow[std::size_t{x} * 3], 3);
      }
    }
    RowProgress(y, kBaseHeight);
  }
  EndProgress();
}

}  // namespace vumo
