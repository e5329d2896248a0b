// The decompressor interface and the run-length decoders.
//
// Every decoder is handed the size of both of its buffers and stops at them, whatever the
// data says: PackedSize is the number of source bytes that may be read, UnpackedSize the
// room in Dest (in pixels for Targa, in bytes for the others). Where a format's decoder
// ends at an end marker, the sizes are bounds only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pixels/errors.h"

namespace vumo {

class TDecoder {
 public:
  virtual ~TDecoder() = default;
  virtual void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                      std::int32_t UnpackedSize) = 0;
  virtual void DecodeEnd() {}
  virtual void DecodeInit() {}
  virtual void Encode(const std::uint8_t* Source, std::uint8_t* Dest, std::uint32_t Count,
                      std::uint32_t& BytesStored) = 0;
  virtual void EncodeInit() {}
  virtual void EncodeEnd() {}
};

class TTargaRLEDecoder : public TDecoder {
 public:
  explicit TTargaRLEDecoder(int ColorDepth) : colorDepth_(ColorDepth) {}
  // Source comes back just past the last packet consumed.
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;
  // Dest must hold at least twice Count pixels.
  void Encode(const std::uint8_t* Source, std::uint8_t* Dest, std::uint32_t Count,
              std::uint32_t& BytesStored) override;

 private:
  int colorDepth_;
};

class TPackbitsRLEDecoder : public TDecoder {
 public:
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;

  // Independent rows decoded together, each to what Decode would give it alone; faster than
  // one Decode after another, as the rows' packets are worked on side by side.
  struct TRow {
    const std::uint8_t* source;
    std::size_t packed;
    std::uint8_t* dest;
    std::size_t unpacked;
  };
  void DecodeRows(std::span<const TRow> rows);
  // One decode straight into Dest, without the scratch row Decode goes through, for callers
  // that clear or overwrite what the data does not give: returns the bytes decoded, and the
  // bytes after them, up to `room`, may have been changed.
  std::size_t DecodeOver(const std::uint8_t* source, std::size_t packed, std::uint8_t* dest, std::size_t room);
  void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t, std::uint32_t&) override {}

 private:
  std::vector<std::uint8_t> scratch_;  // one row, kept between calls
};

class TPCXRLEDecoder : public TDecoder {
 public:
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;
  void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t, std::uint32_t&) override {}

  // The data decoded a part (a row) at a time, the parts giving together what one Decode of
  // the whole would: a run that passes the end of one part goes on in the next. Fills at
  // most `room` bytes at Dest from [Source, End) and returns how many it wrote, with Source
  // past what it used; a run's count byte whose value byte lies past End is left unread, so
  // the caller can hand it over again with more data. Bytes after those written, up to
  // `room`, may have been changed. DecodeInit starts afresh.
  std::size_t DecodePart(const std::uint8_t*& Source, const std::uint8_t* End, std::uint8_t* Dest, std::size_t room);
  void DecodeInit() override { pending_ = 0; }

 private:
  std::size_t pending_ = 0;  // bytes of the last run still to write
  std::uint8_t pendingValue_ = 0;
};

class TSGIRLEDecoder : public TDecoder {
 public:
  explicit TSGIRLEDecoder(int SampleSize) : sampleSize_(SampleSize) {}
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;
  void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t, std::uint32_t&) override {}

 private:
  int sampleSize_;
};

class TCUTRLEDecoder : public TDecoder {
 public:
  // Source comes back just past the row's end marker.
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;
  void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t, std::uint32_t&) override {}
};

class TPSPRLEDecoder : public TDecoder {
 public:
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;
  void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t, std::uint32_t&) override {}
};

class TRLADecoder : public TDecoder {
 public:
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;
  void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t, std::uint32_t&) override {}
};

}  // namespace vumo
