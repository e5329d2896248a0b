// zlib inflate behind the decoder interface, for PNG image data, Paint Shop Pro channels and
// deflate-compressed TIFF strips; and a one-call inflate of a complete stream for the readers
// that hold all of their compressed data at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "pixels/decoders.h"

namespace vumo {

// zlib's flush values as the readers pass them.
inline constexpr int kFlushPartial = 1;
inline constexpr int kFlushFinish = 4;

class TLZ77Decoder : public TDecoder {
 public:
  TLZ77Decoder(int FlushMode, bool AutoReset);
  ~TLZ77Decoder() override;
  TLZ77Decoder(const TLZ77Decoder&) = delete;
  TLZ77Decoder& operator=(const TLZ77Decoder&) = delete;

  // Initialise and end inflate for a zlib stream with a 15-bit window; both raise
  // EGraphicCompression "LZ77 decompression error." when zlib reports an error.
  void DecodeInit() override;
  void DecodeEnd() override;
  // Inflates from PackedSize bytes at Source into UnpackedSize bytes of room at Dest and
  // moves both pointers past what was consumed and produced. Raises nothing: once
  // ZLibResult is not 0 (the stream ended, or an error) later calls do nothing, unless
  // AutoReset starts a new stream at each call.
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;
  // Not a compressor.
  void Encode(const std::uint8_t* Source, std::uint8_t* Dest, std::uint32_t Count,
              std::uint32_t& BytesStored) override;

  // zlib's result of the last reset or inflate: 0 going on, 1 the stream ended, negative an error.
  int ZLibResult() const { return zlibResult_; }
  std::uint32_t AvailableInput() const;
  std::uint32_t AvailableOutput() const;

 private:
  struct TState;
  std::unique_ptr<TState> state_;
  int flushMode_;
  bool autoReset_;
  int zlibResult_ = 0;
  bool initialised_ = false;
};

// Inflates a complete zlib stream in one call (libdeflate), for data that is all present.
// True only when the stream is sound and complete and decodes to exactly `out.size()`
// bytes; on false, `out` may hold anything and the caller decodes again through
// TLZ77Decoder, which keeps what a damaged or short stream yields.
bool InflateComplete(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out);

}  // namespace vumo
