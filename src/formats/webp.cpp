#include "formats/webp.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/byte_order.h"

namespace vumo {
namespace {

constexpr std::size_t kSignatureSize = 12;  // "RIFF", the size, "WEBP"
// Enough of the file for libwebp to find the size and the kind: the first chunk's header,
// and for an extended file its VP8X chunk.
constexpr std::size_t kFeatureBytes = 64;

struct TAnimDecoderDelete {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

}  // namespace

bool TWebPGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kSignatureSize, [](const std::uint8_t* b) {
    return std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "WEBP", 4) == 0;
  });
}

bool TWebPGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::int64_t left = Stream.Remaining();
  if (left < static_cast<std::int64_t>(kSignatureSize)) return false;
  const std::size_t size = static_cast<std::size_t>(std::min<std::int64_t>(left, kFeatureBytes));
  const std::uint8_t* h = ReadHeaderBytes(Stream, size);
  if (!h || std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WEBP", 4) != 0) return false;
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(h, size, &features) != VP8_STATUS_OK) return false;
  TImageProperties& p = ImageProperties;
  p.Width = static_cast<std::uint32_t>(features.width);
  p.Height = static_cast<std::uint32_t>(features.height);
  p.ColorScheme = features.has_alpha ? csRGBA : csRGB;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = features.has_alpha ? 4 : 3;
  p.BitsPerPixel = static_cast<std::uint8_t>(8 * p.SamplesPerPixel);
  p.Compression = features.format == 2 ? ctLZ77 : ctJPEG;  // lossless, or lossy (or mixed)
  return true;
}

void TWebPGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!TWebPGraphic::ReadImageProperties(Stream, RequestedImage())) RaiseInvalidImage();
  StartProgress(gesTransfering);
  Stream.SetPosition(BasePosition);
  TByteSource source(Stream);
  const std::uint64_t available = source.Remaining();
  // The RIFF size says how much the file holds; one cut short is the read error.
  const std::uint64_t riff = std::uint64_t{LittleEndian32(HeaderBytes() + 4)} + 8;
  if (riff > available) RaiseReadError();
  const std::uint8_t* data = source.Take(static_cast<std::size_t>(riff));
  if (!data) RaiseReadError();
  const std::size_t size = static_cast<std::size_t>(riff);

  WebPBitstreamFeatures features;
  if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) RaiseInvalidImage();
  const std::uint32_t width = ImageProperties.Width, height = ImageProperties.Height;
  if (width == 0 || height == 0) RaiseInvalidImage();
  const bool alpha = features.has_alpha != 0;
  TEmptyOnFailure guard(*this);
  const std::string kind = features.format == 2 ? "lossless" : features.format == 1 ? "lossy" : "mixed";

  if (!features.has_animation) {
    if (RequestedImage() > 0) throw EInvalidGraphic(FormatMessage(kNoSuchImage, RequestedImage() + 1));
    const TPixelFormat format = alpha ? pf32bit : pf24bit;
    AllocateImageToOverwrite(width, height, format);
    std::uint8_t* pixels = ScanLine(0);
    const std::size_t stride = BytesPerScanline(), bytes = stride * height;
    const int strideInt = static_cast<int>(stride);
    const std::uint8_t* done = alpha ? WebPDecodeBGRAInto(data, size, pixels, bytes, strideInt)
                                     : WebPDecodeBGRInto(data, size, pixels, bytes, strideInt);
    if (!done) RaiseInvalidImage();
    if (alpha) SetAlphaChannel(true);
    SetFormatDescription("WebP " + kind + (alpha ? ", alpha" : ""));
    EndProgress();
    return;
  }

  // The demuxer allocates its canvas at once: the size is checked before it is made.
  CheckImageSize(width, height, pf32bit);
  WebPData webp{data, size};
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) RaiseInvalidImage();
  options.color_mode = MODE_BGRA;
  options.use_threads = 0;
  std::unique_ptr<WebPAnimDecoder, TAnimDecoderDelete> decoder(WebPAnimDecoderNew(&webp, &options));
  if (!decoder) RaiseInvalidImage();
  WebPAnimInfo info;
  if (!WebPAnimDecoderGetInfo(decoder.get(), &info) || info.frame_count == 0) RaiseInvalidImage();
  if (info.canvas_width != width || info.canvas_height != height) RaiseInvalidImage();
  const unsigned frames = info.frame_count, wanted = RequestedImage();
  if (wanted >= frames) throw EInvalidGraphic(FormatMessage(kNoSuchImage, wanted + 1));
  std::uint8_t* canvas = nullptr;
  int timestamp = 0;
  for (unsigned i = 0; i <= wanted; ++i)
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp)) RaiseInvalidImage();
  AllocateImageToOverwrite(width, height, pf32bit);
  for (std::uint32_t y = 0; y < height; ++y)
    std::memcpy(ScanLine(static_cast<int>(y)), canvas + std::size_t{y} * width * 4, std::size_t{width} * 4);
  SetAlphaChannel(true);
  SetImagePlace(TImagePlace{TImagePlace::ipFrame});
  SetImages(TImageSet{frames, wanted, ImageCaption("frame", wanted, frames)});
  SetFormatDescription("WebP " + kind + ", animated");
  EndProgress();
}

}  // namespace vumo
