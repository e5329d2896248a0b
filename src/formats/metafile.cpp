#include "formats/metafile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "formats/bounded_canvas.h"
#include "formats/messages.h"
#include "formats/metafile_player.h"
#include "formats/windows_bitmap.h"
#include "pixels/image_limits.h"

namespace vumo {

using metafile::TMetafileContent;

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableHeader = 22;
constexpr std::size_t kWmfHeader = 18;
constexpr std::size_t kEmfMinHeader = 88;
constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr std::uint32_t kEmfHeaderType = 1, kEmfEofType = 14;
constexpr std::uint32_t kWmfSetWindowOrg = 0x020B, kWmfSetWindowExt = 0x020C;
// Larger files are refused before they are read: their record list alone would outgrow
// what a picture may take.
constexpr std::uint64_t kMaxMetafileBytes = std::uint64_t{1} << 27;

// Stops early once `bounded` (when given) has spent its budget.
void PlayRecords(const TMetafileContent& c, metafile::TMetafileDC& dc, const TBoundedCanvas* bounded = nullptr) {
  for (const TMetafileRecord& r : c.records) {
    if (bounded && bounded->Incomplete()) return;
    const metafile::TRecordBytes record(c.bytes.data() + r.Offset, r.Size);
    try {
      if (c.enhanced)
        metafile::PlayEmfRecord(record, r.Type, dc);
      else
        metafile::PlayWmfRecord(record, r.Type, dc);
    } catch (const metafile::EShortRecord&) {
      // A record too short for its own fields is skipped, like one the player does not know.
    }
  }
}

[[noreturn]] void Invalid() { throw EInvalidGraphic(FormatMessage(gesInvalidImage, gesMetafile)); }
[[noreturn]] void Truncated() { throw EReadError(FormatMessage(gesStreamReadError, gesMetafile)); }

void SetPixelSize(TMetafileContent& c, double width, double height) {
  const double w = std::round(std::fabs(width)), h = std::round(std::fabs(height));
  if (!(w >= 1) || !(h >= 1)) Invalid();
  if (!ImageSizeAllowed(static_cast<std::uint64_t>(std::min(w, 1e9)), static_cast<std::uint64_t>(std::min(h, 1e9))))
    throw EInvalidGraphic(FormatMessage(kImageTooLarge, static_cast<unsigned>(std::min(w, 4e9)),
                                        static_cast<unsigned>(std::min(h, 4e9))));
  c.pixelWidth = static_cast<int>(w);
  c.pixelHeight = static_cast<int>(h);
}

// WMF records are counted in 16-bit words. A size below the record header, or one past the
// file, ends the list: what came before is still drawn.
void ListWmfRecords(TMetafileContent& c, std::size_t start) {
  const std::vector<std::uint8_t>& b = c.bytes;
  std::size_t pos = start;
  while (pos + 6 <= b.size()) {
    const std::uint64_t words = LittleEndian32(&b[pos]);
    const std::uint32_t function = LittleEndian16(&b[pos + 4]);
    if (words < 3 || words * 2 > b.size() - pos) break;
    c.records.push_back({function, static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(words * 2)});
    if (function == 0) break;
    pos += static_cast<std::size_t>(words * 2);
  }
}

void ListEmfRecords(TMetafileContent& c) {
  const std::vector<std::uint8_t>& b = c.bytes;
  std::size_t pos = 0;
  while (pos + 8 <= b.size()) {
    const std::uint32_t type = LittleEndian32(&b[pos]);
    const std::uint32_t size = LittleEndian32(&b[pos + 4]);
    if (size < 8 || size % 4 != 0 || size > b.size() - pos) break;
    c.records.push_back({type, static_cast<std::uint32_t>(pos), size});
    if (type == kEmfEofType) break;
    pos += size;
  }
}

// Collects the extent of everything drawn, for a plain WMF that never says how large it is.
class TBoundsCanvas : public TMetafileCanvas {
 public:
  double left = HUGE_VAL, top = HUGE_VAL, right = -HUGE_VAL, bottom = -HUGE_VAL;

  void DrawPath(const TCanvasPath& path, const TCanvasPen* pen, const TCanvasBrush*, TFillRule) override {
    for (const TCanvasPoint& p : path.points) Add(p, pen ? pen->width / 2 : 0);
  }
  double DrawText(const TCanvasText& text) override {
    // Without the font's metrics: a square of the font's height per character from the origin.
    Add(text.origin, 0);
    const double length = text.font.height * static_cast<double>(text.text.size());
    Add({text.origin.x + length, text.origin.y + text.font.height}, 0);
    return length;
  }
  void DrawBitmap(const TBitmap&, double, double, double, double, TCanvasPoint topLeft, TCanvasPoint topRight,
                  TCanvasPoint bottomLeft) override {
    Add(topLeft, 0), Add(topRight, 0), Add(bottomLeft, 0);
    Add({topRight.x + bottomLeft.x - topLeft.x, topRight.y + bottomLeft.y - topLeft.y}, 0);
  }
  void SetClip(const TCanvasClip&) override {}

 private:
  void Add(TCanvasPoint p, double margin) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
    left = std::min(left, p.x - margin), right = std::max(right, p.x + margin);
    top = std::min(top, p.y - margin), bottom = std::max(bottom, p.y + margin);
  }
};

void ReadWmf(TMetafileContent& c) {
  const std::vector<std::uint8_t>& b = c.bytes;
  const bool placeable = b.size() >= 4 && LittleEndian32(b.data()) == kPlaceableKey;
  const std::size_t header = placeable ? kPlaceableHeader : 0;
  if (b.size() < header + kWmfHeader) Truncated();
  const unsigned type = LittleEndian16(&b[header]), headerWords = LittleEndian16(&b[header + 2]);
  if ((type != 1 && type != 2) || headerWords != 9) Invalid();
  c.setup.objectSlots = LittleEndian16(&b[header + 10]);
  ListWmfRecords(c, header + kWmfHeader);

  double left, top, width, height, unitsPerInch;
  if (placeable) {
    // The checksum over the first ten words is not checked: several programs write it wrong.
    left = static_cast<std::int16_t>(LittleEndian16(&b[6]));
    top = static_cast<std::int16_t>(LittleEndian16(&b[8]));
    width = static_cast<std::int16_t>(LittleEndian16(&b[10])) - left;
    height = static_cast<std::int16_t>(LittleEndian16(&b[12])) - top;
    unitsPerInch = LittleEndian16(&b[14]);
    if (unitsPerInch == 0 || width == 0 || height == 0) Invalid();
  } else {
    // Without the placeable header the picture is the window its records set up, in the
    // pixels of the screen the file was made on.
    bool haveExt = false;
    left = top = 0;
    width = height = 0;
    unitsPerInch = 96;
    for (const TMetafileRecord& r : c.records) {
      if (r.Size < 10) continue;
      const double y = static_cast<std::int16_t>(LittleEndian16(&b[r.Offset + 6]));
      const double x = static_cast<std::int16_t>(LittleEndian16(&b[r.Offset + 8]));
      if (r.Type == kWmfSetWindowOrg) {
        left = x, top = y;
      } else if (r.Type == kWmfSetWindowExt && !haveExt) {
        width = x, height = y;
        haveExt = width != 0 && height != 0;
        if (haveExt) break;
      }
    }
    if (!haveExt) {
      // Nor a window: the picture is what its records draw, in those pixels.
      TBoundsCanvas bounds;
      metafile::TMetafileDC dc(bounds, c.setup);
      PlayRecords(c, dc);
      if (!(bounds.right > bounds.left && bounds.bottom > bounds.top)) Invalid();
      c.frameLeft = std::floor(bounds.left), c.frameTop = std::floor(bounds.top);
      c.frameWidth = std::ceil(bounds.right) - c.frameLeft, c.frameHeight = std::ceil(bounds.bottom) - c.frameTop;
      SetPixelSize(c, c.frameWidth, c.frameHeight);
      return;
    }
  }
  c.frameLeft = left, c.frameTop = top, c.frameWidth = width, c.frameHeight = height;
  SetPixelSize(c, width * 96 / unitsPerInch, height * 96 / unitsPerInch);
  // The player's own device is the frame's units; the file's window lands on all of it.
  c.setup.devicePerMmX = c.setup.devicePerMmY = unitsPerInch / 25.4;
  c.setup.mapMode = metafile::mmAnisotropic;
  c.setup.windowOrg = c.setup.viewportOrg = {left, top};
  c.setup.windowExt = c.setup.viewportExt = {width, height};
}

void ReadEmf(TMetafileContent& c) {
  const std::vector<std::uint8_t>& b = c.bytes;
  if (b.size() < kEmfMinHeader) Truncated();
  const std::uint32_t headerSize = LittleEndian32(&b[4]);
  if (LittleEndian32(&b[40]) != kEmfSignature || headerSize < kEmfMinHeader || headerSize > b.size()) Invalid();
  c.enhanced = true;
  auto i32 = [&](std::size_t at) { return static_cast<double>(static_cast<std::int32_t>(LittleEndian32(&b[at]))); };
  const double deviceX = i32(72), deviceY = i32(76), mmX = i32(80), mmY = i32(84);
  if (deviceX > 0 && deviceY > 0 && mmX > 0 && mmY > 0) {
    c.setup.devicePerMmX = deviceX / mmX;
    c.setup.devicePerMmY = deviceY / mmY;
  }
  // The frame, in hundredths of a millimetre, is the picture; the bounds of what is drawn
  // (in device pixels) stand in when a writer leaves the frame empty.
  double left = i32(24), top = i32(28), width = i32(32) - left, height = i32(36) - top;
  double mmWidth = width / 100, mmHeight = height / 100;
  if (width > 0 && height > 0) {
    left = left / 100 * c.setup.devicePerMmX;
    top = top / 100 * c.setup.devicePerMmY;
    width = mmWidth * c.setup.devicePerMmX;
    height = mmHeight * c.setup.devicePerMmY;
  } else {
    left = i32(8), top = i32(12), width = i32(16) - left + 1, height = i32(20) - top + 1;
    if (!(width > 0 && height > 0)) Invalid();
    mmWidth = width / c.setup.devicePerMmX;
    mmHeight = height / c.setup.devicePerMmY;
  }
  c.frameLeft = left, c.frameTop = top, c.frameWidth = width, c.frameHeight = height;
  SetPixelSize(c, mmWidth * 96 / 25.4, mmHeight * 96 / 25.4);
  c.setup.objectSlots = LittleEndian16(&b[56]);
  c.setup.mapMode = metafile::mmText;
  ListEmfRecords(c);
}

}  // namespace

namespace metafile {

std::shared_ptr<const TBitmap> DecodeRecordDib(const std::uint8_t* info, std::size_t infoSize,
                                               const std::uint8_t* bits, std::size_t bitsSize) {
  try {
    const dib::TDibInfo dibInfo = dib::ParseDibInfo(info, infoSize, infoSize, false);
    // The pixels must be there before the bitmap is allocated. Run-length data can say more
    // than it holds, but not by more than a run of 255 pixels for every two bytes.
    const std::uint64_t pixels = static_cast<std::uint64_t>(dibInfo.width) * static_cast<std::uint64_t>(dibInfo.height);
    const bool runs = dibInfo.compression == dib::kRle4 || dibInfo.compression == dib::kRle8;
    if (runs ? pixels / 128 > bitsSize + 1 : bitsSize < dib::UncompressedBytes(dibInfo)) return nullptr;
    auto bitmap = std::make_shared<TBitmap>();
    dib::DecodeDibPixels(dibInfo, bits, bitsSize, false, *bitmap);
    return bitmap;
  } catch (const Exception&) {
    return nullptr;
  }
}

}  // namespace metafile

TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;

int TMetafile::Width() const { return content_ ? content_->pixelWidth : 0; }
int TMetafile::Height() const { return content_ ? content_->pixelHeight : 0; }
bool TMetafile::Enhanced() const { return content_ && content_->enhanced; }

const std::vector<TMetafileRecord>& TMetafile::Records() const {
  static const std::vector<TMetafileRecord> kNone;
  return content_ ? content_->records : kNone;
}

void TMetafile::LoadFromStream(TStream& Stream) {
  const std::int64_t size = Stream.Remaining();
  if (static_cast<std::uint64_t>(size) > kMaxMetafileBytes)
    throw EInvalidGraphic(FormatMessage(gesMetafileTooLarge, static_cast<unsigned>(std::min<std::int64_t>(size, UINT32_MAX))));
  auto content = std::make_shared<TMetafileContent>();
  content->bytes.resize(static_cast<std::size_t>(size));
  Stream.ReadBuffer(content->bytes.data(), content->bytes.size());
  const std::vector<std::uint8_t>& b = content->bytes;
  if (b.size() >= 4 && LittleEndian32(b.data()) == kEmfHeaderType)
    ReadEmf(*content);
  else
    ReadWmf(*content);
  content_ = std::move(content);
  Changed();
}

void TMetafile::Assign(const TGraphic& Source) {
  if (auto* other = dynamic_cast<const TMetafile*>(&Source)) {
    content_ = other->content_;
    AssignDescription(Source);
  } else {
    TGraphic::Assign(Source);
  }
  Changed();
}

bool TMetafile::Play(TMetafileCanvas& canvas, double left, double top, double width, double height,
                     const TCanvasArea* visible) const {
  if (!content_ || width <= 0 || height <= 0) return true;
  const TMetafileContent& c = *content_;
  metafile::TDeviceSetup setup = c.setup;
  setup.deviceToDest.m11 = width / c.frameWidth;
  setup.deviceToDest.m22 = height / c.frameHeight;
  setup.deviceToDest.dx = left - c.frameLeft * setup.deviceToDest.m11;
  setup.deviceToDest.dy = top - c.frameTop * setup.deviceToDest.m22;
  // The frame bounds the work when the caller knows no smaller visible part; what spills
  // past it by up to its own size is still drawn as it is.
  TCanvasArea area{left, top, left + width, top + height};
  if (visible) {
    area = {std::max(area.left, visible->left), std::max(area.top, visible->top), std::min(area.right, visible->right),
            std::min(area.bottom, visible->bottom)};
    if (area.right <= area.left || area.bottom <= area.top) return true;
  }
  TBoundedCanvas bounded(canvas, area);
  metafile::TMetafileDC dc(bounded, setup);
  PlayRecords(c, dc, &bounded);
  bounded.SetAntialiasing(true);
  return !bounded.Incomplete();
}

}  // namespace vumo
