// Feeds arbitrary bytes to the LZ77 decoder in both of its flush modes, with output room
// taken from the first byte, and to the one-call inflate: none may crash or write past the
// room given, and a one-call inflate that succeeds must agree with the streaming decoder.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pixels/errors.h"
#include "pixels/lz77_decoder.h"

namespace {

// Streams `input` through the decoder in pieces of `piece` bytes into `out`; the bytes produced.
std::size_t Stream(int flushMode, const std::uint8_t* data, std::size_t size, std::size_t piece,
                   std::vector<std::uint8_t>& out) {
  vumo::TLZ77Decoder decoder(flushMode, false);
  decoder.DecodeInit();
  std::uint8_t* dest = out.data();
  const std::uint8_t* source = data;
  const std::uint8_t* end = data + size;
  while (source < end && dest < out.data() + out.size() && decoder.ZLibResult() == 0) {
    const std::uint8_t* before = source;
    std::uint8_t* outBefore = dest;
    const std::size_t take = std::min<std::size_t>(piece, end - source);
    decoder.Decode(source, dest, static_cast<std::int32_t>(take),
                   static_cast<std::int32_t>(out.data() + out.size() - dest));
    if (source < before || source > end || dest < outBefore || dest > out.data() + out.size()) std::abort();
    if (source == before && dest == outBefore) break;
  }
  decoder.DecodeEnd();
  return static_cast<std::size_t>(dest - out.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t room = std::size_t{data[0]} * 97 + data[1];
  const std::size_t piece = data[1] % 7 + 1;
  data += 2;
  size -= 2;
  std::vector<std::uint8_t> partial(room), finish(room), whole(room);
  try {
    const std::size_t produced = Stream(vumo::kFlushPartial, data, size, piece, partial);
    Stream(vumo::kFlushFinish, data, size, size ? size : 1, finish);
    if (vumo::InflateComplete({data, size}, whole)) {
      if (produced != room || std::memcmp(whole.data(), partial.data(), room) != 0) std::abort();
    }
  } catch (const vumo::Exception&) {
  }
  return 0;
}
