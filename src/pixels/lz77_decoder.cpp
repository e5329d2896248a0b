#include "pixels/lz77_decoder.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "pixels/errors.h"
#include "pixels/messages.h"

namespace vumo {

struct TLZ77Decoder::TState {
  z_stream stream{};
};

TLZ77Decoder::TLZ77Decoder(int FlushMode, bool AutoReset)
    : state_(std::make_unique<TState>()), flushMode_(FlushMode), autoReset_(AutoReset) {}

TLZ77Decoder::~TLZ77Decoder() {
  if (initialised_) inflateEnd(&state_->stream);
}

void TLZ77Decoder::DecodeInit() {
  if (initialised_) inflateEnd(&state_->stream);
  state_->stream = z_stream{};
  zlibResult_ = inflateInit2(&state_->stream, 15);
  initialised_ = zlibResult_ == Z_OK;
  if (zlibResult_ < 0) throw EGraphicCompression(kLZ77Error);
}

void TLZ77Decoder::DecodeEnd() {
  if (!initialised_) return;
  initialised_ = false;
  if (inflateEnd(&state_->stream) < 0) throw EGraphicCompression(kLZ77Error);
}

void TLZ77Decoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                          std::int32_t UnpackedSize) {
  if (!initialised_) return;
  z_stream& z = state_->stream;
  z.next_in = const_cast<Bytef*>(Source);
  z.avail_in = static_cast<uInt>(std::max<std::int32_t>(PackedSize, 0));
  if (autoReset_) zlibResult_ = inflateReset(&z);
  if (zlibResult_ != Z_OK) return;
  z.next_out = Dest;
  z.avail_out = static_cast<uInt>(std::max<std::int32_t>(UnpackedSize, 0));
  zlibResult_ = inflate(&z, flushMode_);
  // Finishing a stream whose output room is full is not an error: the caller has all it asked for.
  if (zlibResult_ == Z_BUF_ERROR && (z.avail_out == 0 || z.avail_in == 0)) zlibResult_ = Z_OK;
  Source = z.next_in;
  Dest = z.next_out;
}

void TLZ77Decoder::Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t, std::uint32_t& BytesStored) {
  BytesStored = 0;
}

std::uint32_t TLZ77Decoder::AvailableInput() const { return state_->stream.avail_in; }

std::uint32_t TLZ77Decoder::AvailableOutput() const { return state_->stream.avail_out; }

bool InflateComplete(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out) {
  // One decompressor per thread, made once: allocating it costs more than a small image.
  struct TOwner {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~TOwner() { libdeflate_free_decompressor(d); }
  };
  static thread_local TOwner owner;
  if (!owner.d) return false;
  std::size_t inUsed = 0, outUsed = 0;
  const libdeflate_result result = libdeflate_zlib_decompress_ex(owner.d, stream.data(), stream.size(), out.data(),
                                                                 out.size(), &inUsed, &outUsed);
  return result == LIBDEFLATE_SUCCESS && outUsed == out.size();
}

}  // namespace vumo
