#include "pixels/astc_decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <mutex>
#include <vector>

namespace vumo {
namespace {

__extension__ typedef unsigned __int128 TBits128;

// ---------------------------------------------------------------------------------------------
// Integer sequence encoding

// The 21 ranges a sequence of values may take, smallest first: each value is `Bits` plain bits
// under an optional trit (three times the levels) or quint (five times).
struct TRange {
  std::uint8_t Bits, Trits, Quints;
};
constexpr TRange kRanges[21] = {
    {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {0, 0, 1}, {1, 1, 0}, {3, 0, 0}, {1, 0, 1},
    {2, 1, 0}, {4, 0, 0}, {2, 0, 1}, {3, 1, 0}, {5, 0, 0}, {3, 0, 1}, {4, 1, 0},
    {6, 0, 0}, {4, 0, 1}, {5, 1, 0}, {7, 0, 0}, {5, 0, 1}, {6, 1, 0}, {8, 0, 0},
};  // 2, 3, 4, 5, 6, 8, 10, 12, 16, 20, 24, 32, 40, 48, 64, 80, 96, 128, 160, 192, 256 levels
constexpr unsigned kWeightRanges = 12;  // weights use the first twelve, up to 32 levels

constexpr unsigned SequenceBits(unsigned count, unsigned range) {
  const TRange& r = kRanges[range];
  return count * r.Bits + (r.Trits ? (8 * count + 4) / 5 : 0) + (r.Quints ? (7 * count + 2) / 3 : 0);
}

// Five trits packed in 8 bits and three quints in 7, unpacked by the bit manipulations the
// format defines; each entry holds the digits 4 bits apart, the first lowest.
constexpr auto kTritDigits = [] {
  std::array<std::uint32_t, 256> table{};
  for (unsigned T = 0; T < 256; ++T) {
    auto bits = [T](unsigned high, unsigned low) { return (T >> low) & ((1u << (high - low + 1)) - 1); };
    unsigned C, t4, t3, t2, t1, t0;
    if (bits(4, 2) == 7) {
      C = bits(7, 5) << 2 | bits(1, 0);
      t4 = t3 = 2;
    } else {
      C = bits(4, 0);
      if (bits(6, 5) == 3) t4 = 2, t3 = bits(7, 7);
      else t4 = bits(7, 7), t3 = bits(6, 5);
    }
    auto c = [C](unsigned i) { return (C >> i) & 1; };
    if ((C & 3) == 3) t2 = 2, t1 = c(4), t0 = c(3) << 1 | (c(2) & ~c(3) & 1);
    else if ((C >> 2 & 3) == 3) t2 = 2, t1 = 2, t0 = C & 3;
    else t2 = c(4), t1 = C >> 2 & 3, t0 = c(1) << 1 | (c(0) & ~c(1) & 1);
    table[T] = t0 | t1 << 4 | t2 << 8 | t3 << 12 | t4 << 16;
  }
  return table;
}();

constexpr auto kQuintDigits = [] {
  std::array<std::uint16_t, 128> table{};
  for (unsigned Q = 0; Q < 128; ++Q) {
    auto q = [Q](unsigned i) { return (Q >> i) & 1; };
    unsigned q2, q1, q0;
    if ((Q >> 1 & 3) == 3 && (Q >> 5 & 3) == 0) {
      q2 = q(0) << 2 | (q(4) & ~q(0) & 1) << 1 | (q(3) & ~q(0) & 1);
      q1 = q0 = 4;
    } else {
      unsigned C;
      if ((Q >> 1 & 3) == 3) q2 = 4, C = (Q >> 3 & 3) << 3 | (~Q >> 5 & 3) << 1 | q(0);
      else q2 = Q >> 5 & 3, C = Q & 31;
      if ((C & 7) == 5) q1 = 4, q0 = C >> 3 & 3;
      else q1 = C >> 3 & 3, q0 = C & 7;
    }
    table[Q] = static_cast<std::uint16_t>(q0 | q1 << 4 | q2 << 8);
  }
  return table;
}();

// The 128 bits of a sequence, read 64 at a time from any bit: a whole group of five trits or
// three quints (at most 38 bits) comes from one shift, taken apart in a 64-bit register.
class TSequenceBits {
 public:
  explicit TSequenceBits(TBits128 bits) : bits_(bits) {}
  std::uint64_t From(unsigned bit) const { return bit < 128 ? static_cast<std::uint64_t>(bits_ >> bit) : 0; }

 private:
  TBits128 bits_;
};

// Reads `count` values of `range` from `bits`, whose bits past the sequence are zero as the
// format asks of a last group cut short. `out` has room for a whole last group (4 more).
void DecodeSequence(TBits128 bits, unsigned count, unsigned range, std::uint8_t* out) {
  const TRange& r = kRanges[range];
  const unsigned n = r.Bits;
  const std::uint32_t mask = (1u << n) - 1;
  const TSequenceBits stream(bits);
  if (r.Trits) {
    for (unsigned i = 0, at = 0; i < count; i += 5, at += 8 + 5 * n) {
      std::uint64_t g = stream.From(at);
      auto take = [&g](unsigned width) {
        const auto v = static_cast<std::uint32_t>(g) & ((1u << width) - 1);
        g >>= width;
        return v;
      };
      std::uint32_t m[5], T = 0;
      m[0] = take(n), T |= take(2);
      m[1] = take(n), T |= take(2) << 2;
      m[2] = take(n), T |= take(1) << 4;
      m[3] = take(n), T |= take(2) << 5;
      m[4] = take(n), T |= take(1) << 7;
      const std::uint32_t digits = kTritDigits[T];
      for (unsigned j = 0; j < 5; ++j) out[i + j] = static_cast<std::uint8_t>((digits >> 4 * j & 15) << n | m[j]);
    }
  } else if (r.Quints) {
    for (unsigned i = 0, at = 0; i < count; i += 3, at += 7 + 3 * n) {
      const std::uint64_t g = stream.From(at);
      const auto m0 = static_cast<std::uint32_t>(g) & mask, m1 = static_cast<std::uint32_t>(g >> (n + 3)) & mask,
                 m2 = static_cast<std::uint32_t>(g >> (2 * n + 5)) & mask;
      const auto Q = static_cast<std::uint32_t>((g >> n & 7) | (g >> (2 * n + 3) & 3) << 3 | (g >> (3 * n + 5) & 3) << 5);
      const std::uint32_t digits = kQuintDigits[Q];
      out[i] = static_cast<std::uint8_t>((digits & 15) << n | m0);
      out[i + 1] = static_cast<std::uint8_t>((digits >> 4 & 15) << n | m1);
      out[i + 2] = static_cast<std::uint8_t>((digits >> 8 & 15) << n | m2);
    }
  } else {
    for (unsigned i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(stream.From(i * n) & mask);
  }
}

// ---------------------------------------------------------------------------------------------
// Unquantisation

// The B term of the trit and quint unquantisation as its table writes it, most significant bit
// first: letter 'a' is bit 0 of the value's plain bits, 'b' bit 1, and so on.
constexpr unsigned Scramble(const char* pattern, unsigned bits) {
  unsigned v = 0;
  for (const char* p = pattern; *p; ++p) v = v << 1 | (*p == '0' ? 0 : (bits >> (*p - 'a')) & 1);
  return v;
}

// The B patterns and C factors of the trit and quint unquantisation, by the count of plain bits.
constexpr const char* kColorTritB[7] = {"", "", "b000b0bb0", "cb000cbcb", "dcb000dcb", "edcb000ed", "fedcb000f"};
constexpr unsigned kColorTritC[7] = {0, 204, 93, 44, 22, 11, 5};
constexpr const char* kColorQuintB[6] = {"", "", "b0000bb00", "cb0000cbc", "dcb0000dc", "edcb0000e"};
constexpr unsigned kColorQuintC[6] = {0, 113, 54, 26, 13, 6};
constexpr const char* kWeightTritB[4] = {"", "", "b000b0b", "cb000cb"};
constexpr unsigned kWeightTritC[4] = {0, 50, 23, 11};
constexpr const char* kWeightQuintB[3] = {"", "", "b0000b0"};
constexpr unsigned kWeightQuintC[3] = {0, 28, 13};
constexpr unsigned kWeightThree[3] = {0, 32, 63}, kWeightFive[5] = {0, 16, 32, 47, 63};

// `v`, of `bits` bits (at least one), widened to `wide` bits by repeating its bits from the top.
constexpr unsigned ReplicateBits(unsigned v, unsigned bits, unsigned wide) {
  unsigned result = 0;
  for (int shift = static_cast<int>(wide) - static_cast<int>(bits); shift > -static_cast<int>(bits);
       shift -= static_cast<int>(bits))
    result |= shift >= 0 ? v << shift : v >> -shift;
  return result & ((1u << wide) - 1);
}

// A value of a trit or quint range: its digit (above the `bits` plain bits) times the factor C,
// plus the plain bits scrambled by `pattern` (B), all flipped by `flip` when the lowest plain
// bit is set, keeps `top` of the flip and drops two bits.
constexpr unsigned UnquantizeDigit(unsigned v, unsigned bits, const char* pattern, unsigned factor, unsigned flip,
                                   unsigned top) {
  const unsigned m = v & ((1u << bits) - 1), D = v >> bits;
  const unsigned A = (m & 1) ? flip : 0;
  const unsigned T = (D * factor + Scramble(pattern, m)) ^ A;
  return (A & top) | (T >> 2);
}

// The first `Ranges` ranges' values, each put back by `value(range, v)`.
template <std::size_t Ranges, std::size_t Levels, typename Value>
constexpr auto UnquantizeTable(Value value) {
  std::array<std::array<std::uint8_t, Levels>, Ranges> table{};
  for (unsigned range = 0; range < Ranges; ++range) {
    const TRange& r = kRanges[range];
    const unsigned levels = (1u << r.Bits) * (r.Trits ? 3 : r.Quints ? 5 : 1);
    for (unsigned v = 0; v < levels; ++v) table[range][v] = static_cast<std::uint8_t>(value(r, v));
  }
  return table;
}

// Colour values of every range back to 0..255.
constexpr auto kColorValues = UnquantizeTable<21, 256>([](const TRange& r, unsigned v) {
  if (!r.Trits && !r.Quints) return ReplicateBits(v, r.Bits, 8);
  if (r.Bits == 0) return 0u;  // not a colour range; kept defined
  return r.Trits ? UnquantizeDigit(v, r.Bits, kColorTritB[r.Bits], kColorTritC[r.Bits], 0x1FF, 0x80)
                 : UnquantizeDigit(v, r.Bits, kColorQuintB[r.Bits], kColorQuintC[r.Bits], 0x1FF, 0x80);
});

// Weights of the twelve weight ranges back to 0..64.
constexpr auto kWeightValues = UnquantizeTable<kWeightRanges, 32>([](const TRange& r, unsigned v) {
  unsigned result;
  if (!r.Trits && !r.Quints) result = ReplicateBits(v, r.Bits, 6);
  else if (r.Bits == 0) result = r.Trits ? kWeightThree[v] : kWeightFive[v];
  else if (r.Trits) result = UnquantizeDigit(v, r.Bits, kWeightTritB[r.Bits], kWeightTritC[r.Bits], 0x7F, 0x20);
  else result = UnquantizeDigit(v, r.Bits, kWeightQuintB[r.Bits], kWeightQuintC[r.Bits], 0x7F, 0x20);
  return result > 32 ? result + 1 : result;
});

// ---------------------------------------------------------------------------------------------
// Block modes

struct TBlockMode {
  std::uint8_t GridWidth = 0, GridHeight = 0;  // 0: a reserved or illegal mode
  std::uint8_t WeightRange = 0, WeightBits = 0;
  bool DualPlane = false;
};

constexpr TBlockMode DecodeBlockMode(unsigned mode) {
  TBlockMode m;
  const unsigned a = mode >> 5 & 3, b = mode >> 7 & 3;
  bool dual = mode >> 10 & 1, high = mode >> 9 & 1;
  unsigned r, w, h;
  if (mode & 3) {
    r = (mode >> 4 & 1) | (mode & 3) << 1;
    switch (mode >> 2 & 3) {
      case 0: w = b + 4, h = a + 2; break;
      case 1: w = b + 8, h = a + 2; break;
      case 2: w = a + 2, h = b + 8; break;
      default:
        if (mode & 0x100) w = (b & 1) + 2, h = a + 2;
        else w = a + 2, h = (b & 1) + 6;
        break;
    }
  } else {
    r = (mode >> 4 & 1) | (mode >> 2 & 3) << 1;
    if ((mode >> 2 & 3) == 0) return m;
    switch (mode >> 7 & 3) {
      case 0: w = 12, h = a + 2; break;
      case 1: w = a + 2, h = 12; break;
      case 2: w = a + 6, h = (mode >> 9 & 3) + 6, dual = high = false; break;
      default:
        if (a == 0) w = 6, h = 10;
        else if (a == 1) w = 10, h = 6;
        else return m;
        break;
    }
  }
  if (r < 2) return m;
  const unsigned range = (r - 2) + (high ? 6 : 0);
  const unsigned count = w * h * (dual ? 2 : 1);
  if (count > 64) return m;
  const unsigned bits = SequenceBits(count, range);
  if (bits < 24 || bits > 96) return m;
  m.GridWidth = static_cast<std::uint8_t>(w), m.GridHeight = static_cast<std::uint8_t>(h);
  m.WeightRange = static_cast<std::uint8_t>(range), m.WeightBits = static_cast<std::uint8_t>(bits);
  m.DualPlane = dual;
  return m;
}

constexpr auto kBlockModes = [] {
  std::array<TBlockMode, 2048> table{};
  for (unsigned mode = 0; mode < 2048; ++mode) table[mode] = DecodeBlockMode(mode);
  return table;
}();

// The largest colour range whose sequence of 2 to 18 values fits the bits left, by the number of
// pairs and the bits; -1 when fewer bits are left than the smallest colour range (six levels)
// needs, which makes the block illegal.
constexpr auto kColorRangeFor = [] {
  std::array<std::array<std::int8_t, 128>, 10> table{};
  for (unsigned pairs = 1; pairs < 10; ++pairs)
    for (unsigned bits = 0; bits < 128; ++bits) {
      table[pairs][bits] = -1;
      if (bits < (13 * 2 * pairs + 4) / 5) continue;
      for (int range = 20; range >= 4; --range)
        if (SequenceBits(2 * pairs, range) <= bits) {
          table[pairs][bits] = static_cast<std::int8_t>(range);
          break;
        }
    }
  return table;
}();

// ---------------------------------------------------------------------------------------------
// Footprint tables: the partition of each texel for every seed and count, and the bilinear
// infill from each weight grid the footprint allows. Built once per footprint on first use.

constexpr std::uint8_t kFootprints[14][2] = {{4, 4},  {5, 4},  {5, 5},  {6, 5},  {6, 6},   {8, 5},   {8, 6},
                                             {8, 8},  {10, 5}, {10, 6}, {10, 8}, {10, 10}, {12, 10}, {12, 12}};

int FootprintIndex(unsigned width, unsigned height) {
  for (int i = 0; i < 14; ++i)
    if (kFootprints[i][0] == width && kFootprints[i][1] == height) return i;
  return -1;
}

constexpr std::uint32_t Hash52(std::uint32_t p) {
  p ^= p >> 15, p -= p << 17, p += p << 7, p += p << 4;
  p ^= p >> 5, p += p << 16, p ^= p >> 7, p ^= p >> 3;
  p ^= p << 6, p ^= p >> 17;
  return p;
}

unsigned SelectPartition(unsigned seed, unsigned x, unsigned y, unsigned count, bool smallBlock) {
  if (smallBlock) x <<= 1, y <<= 1;
  seed += (count - 1) * 1024;
  const std::uint32_t rnum = Hash52(seed);
  unsigned s[12];
  for (int i = 0; i < 8; ++i) s[i] = rnum >> 4 * i & 15;
  s[8] = rnum >> 18 & 15, s[9] = rnum >> 22 & 15, s[10] = rnum >> 26 & 15, s[11] = ((rnum >> 30) | (rnum << 2)) & 15;
  for (unsigned& v : s) v *= v;
  unsigned sh1, sh2;
  if (seed & 1) sh1 = (seed & 2) ? 4 : 5, sh2 = count == 3 ? 6 : 5;
  else sh1 = count == 3 ? 6 : 5, sh2 = (seed & 2) ? 4 : 5;
  const unsigned sh3 = (seed & 0x10) ? sh1 : sh2;
  for (int i = 0; i < 8; ++i) s[i] >>= (i & 1) ? sh2 : sh1;
  for (int i = 8; i < 12; ++i) s[i] >>= sh3;
  // z is 0 in two dimensions, so seeds 9 to 12 only shape the hash's bits, not the result.
  unsigned a = (s[0] * x + s[1] * y + (rnum >> 14)) & 0x3F;
  unsigned b = (s[2] * x + s[3] * y + (rnum >> 10)) & 0x3F;
  unsigned c = (s[4] * x + s[5] * y + (rnum >> 6)) & 0x3F;
  unsigned d = (s[6] * x + s[7] * y + (rnum >> 2)) & 0x3F;
  if (count < 4) d = 0;
  if (count < 3) c = 0;
  if (a >= b && a >= c && a >= d) return 0;
  if (b >= c && b >= d) return 1;
  if (c >= d) return 2;
  return 3;
}

// For one texel: the grid weight at its top left and the four bilinear factors (sum 16).
struct TInfill {
  std::uint8_t Index, Factors[4];
};

struct TFootprint {
  unsigned Width = 0, Height = 0, Texels = 0;
  std::vector<std::uint8_t> Partitions;  // [count - 2][seed][texel]
  std::vector<TInfill> Infill;           // grids one after another
  std::uint32_t InfillAt[11][11] = {};   // by grid width - 2 and height - 2

  const std::uint8_t* PartitionsOf(unsigned count, unsigned seed) const {
    return Partitions.data() + ((count - 2) * 1024 + seed) * Texels;
  }

  void Build(unsigned width, unsigned height) {
    Width = width, Height = height, Texels = width * height;
    Partitions.resize(3 * 1024 * Texels);
    const bool smallBlock = Texels < 31;
    for (unsigned count = 2; count <= 4; ++count)
      for (unsigned seed = 0; seed < 1024; ++seed) {
        std::uint8_t* p = Partitions.data() + ((count - 2) * 1024 + seed) * Texels;
        for (unsigned y = 0; y < height; ++y)
          for (unsigned x = 0; x < width; ++x)
            *p++ = static_cast<std::uint8_t>(SelectPartition(seed, x, y, count, smallBlock));
      }
    const unsigned ds = (1024 + width / 2) / (width - 1), dt = (1024 + height / 2) / (height - 1);
    for (unsigned n = 2; n <= width; ++n)
      for (unsigned m = 2; m <= height; ++m) {
        InfillAt[n - 2][m - 2] = static_cast<std::uint32_t>(Infill.size());
        for (unsigned t = 0; t < height; ++t)
          for (unsigned s = 0; s < width; ++s) {
            const unsigned gs = (ds * s * (n - 1) + 32) >> 6, gt = (dt * t * (m - 1) + 32) >> 6;
            const unsigned js = gs >> 4, fs = gs & 15, jt = gt >> 4, ft = gt & 15;
            const unsigned w11 = (fs * ft + 8) >> 4;
            TInfill texel;
            texel.Index = static_cast<std::uint8_t>(js + jt * n);
            texel.Factors[0] = static_cast<std::uint8_t>(16 - fs - ft + w11);
            texel.Factors[1] = static_cast<std::uint8_t>(fs - w11);
            texel.Factors[2] = static_cast<std::uint8_t>(ft - w11);
            texel.Factors[3] = static_cast<std::uint8_t>(w11);
            Infill.push_back(texel);
          }
      }
  }
};

const TFootprint* FootprintTables(unsigned width, unsigned height) {
  static TFootprint footprints[14];
  static std::once_flag built[14];
  const int i = FootprintIndex(width, height);
  if (i < 0) return nullptr;
  std::call_once(built[i], [i] { footprints[i].Build(kFootprints[i][0], kFootprints[i][1]); });
  return &footprints[i];
}

// ---------------------------------------------------------------------------------------------
// Endpoints

struct TEndpoints {
  int Low[4], High[4];  // R, G, B, A in 0..255
};

void BitTransferSigned(int& a, int& b) {
  b >>= 1;
  b |= a & 0x80;
  a >>= 1;
  a &= 0x3F;
  if (a & 0x20) a -= 0x40;
}

int ClampByte(int v) { return std::clamp(v, 0, 255); }

void Set(int* e, int r, int g, int b, int a) { e[0] = r, e[1] = g, e[2] = b, e[3] = a; }

void SetClamped(int* e, int r, int g, int b, int a) {
  Set(e, ClampByte(r), ClampByte(g), ClampByte(b), ClampByte(a));
}

void BlueContract(int* e, int r, int g, int b, int a) { Set(e, (r + b) >> 1, (g + b) >> 1, b, a); }

// Unpacks one partition's endpoints from its unquantised values; false for the HDR modes,
// which the LDR profile decodes as the error colour.
bool UnpackEndpoints(unsigned cem, const std::uint8_t* value, TEndpoints& e) {
  int v[8];
  for (unsigned i = 0; i < 2 * ((cem >> 2) + 1); ++i) v[i] = value[i];
  switch (cem) {
    case 0:
      Set(e.Low, v[0], v[0], v[0], 255), Set(e.High, v[1], v[1], v[1], 255);
      return true;
    case 1: {
      const int l0 = (v[0] >> 2) | (v[1] & 0xC0), l1 = std::min(l0 + (v[1] & 0x3F), 255);
      Set(e.Low, l0, l0, l0, 255), Set(e.High, l1, l1, l1, 255);
      return true;
    }
    case 4:
      Set(e.Low, v[0], v[0], v[0], v[2]), Set(e.High, v[1], v[1], v[1], v[3]);
      return true;
    case 5:
      BitTransferSigned(v[1], v[0]), BitTransferSigned(v[3], v[2]);
      SetClamped(e.Low, v[0], v[0], v[0], v[2]);
      SetClamped(e.High, v[0] + v[1], v[0] + v[1], v[0] + v[1], v[2] + v[3]);
      return true;
    case 6:
      Set(e.Low, v[0] * v[3] >> 8, v[1] * v[3] >> 8, v[2] * v[3] >> 8, 255), Set(e.High, v[0], v[1], v[2], 255);
      return true;
    case 8:
    case 12: {
      const int a0 = cem == 12 ? v[6] : 255, a1 = cem == 12 ? v[7] : 255;
      if (v[1] + v[3] + v[5] >= v[0] + v[2] + v[4]) Set(e.Low, v[0], v[2], v[4], a0), Set(e.High, v[1], v[3], v[5], a1);
      else BlueContract(e.Low, v[1], v[3], v[5], a1), BlueContract(e.High, v[0], v[2], v[4], a0);
      return true;
    }
    case 9:
    case 13: {
      BitTransferSigned(v[1], v[0]), BitTransferSigned(v[3], v[2]), BitTransferSigned(v[5], v[4]);
      int a0 = 255, a1 = 255;
      if (cem == 13) BitTransferSigned(v[7], v[6]), a0 = v[6], a1 = v[6] + v[7];
      if (v[1] + v[3] + v[5] >= 0) {
        Set(e.Low, v[0], v[2], v[4], a0), Set(e.High, v[0] + v[1], v[2] + v[3], v[4] + v[5], a1);
      } else {
        BlueContract(e.Low, v[0] + v[1], v[2] + v[3], v[4] + v[5], a1);
        BlueContract(e.High, v[0], v[2], v[4], a0);
      }
      SetClamped(e.Low, e.Low[0], e.Low[1], e.Low[2], e.Low[3]);
      SetClamped(e.High, e.High[0], e.High[1], e.High[2], e.High[3]);
      return true;
    }
    case 10:
      Set(e.Low, v[0] * v[3] >> 8, v[1] * v[3] >> 8, v[2] * v[3] >> 8, v[4]), Set(e.High, v[0], v[1], v[2], v[5]);
      return true;
    default: return false;  // 2, 3, 7, 11, 14, 15: HDR
  }
}

// ---------------------------------------------------------------------------------------------
// Output

// A UNORM16 result of linear decoding as 8 bits. The format returns it as a half float, C / 65536
// cut to 11 significant bits (65535 is 1.0), and astcenc's 8-bit output is the nearest 8-bit
// value to that half float: rounding C / 65535 directly is one too high on about a texel in
// twenty of interpolated blocks.
constexpr unsigned Unorm16To8(unsigned c) {
  if (c >= 65535) return 255;
  const int significant = std::bit_width(c);
  if (significant > 11) c &= ~((1u << (significant - 11)) - 1);
  return (c * 255 + 32768) >> 16;
}

// In linear decoding the 8-bit endpoints widen to 16 bits by replication (e * 257) and
// interpolate to C = (257 * X + 32) >> 6 with X = e0 * (64 - w) + e1 * w, so the whole path
// from X (0 .. 255 * 64) to 8 bits is one lookup.
constexpr unsigned kMaxMix = 255 * 64;
constexpr auto kLinearOut = [] {
  std::array<std::uint8_t, kMaxMix + 1> table{};
  for (unsigned x = 0; x <= kMaxMix; ++x) table[x] = static_cast<std::uint8_t>(Unorm16To8((257 * x + 32) >> 6));
  return table;
}();

// In sRGB decoding the endpoints widen as (e << 8) | 0x80, so C = 4X + 128 exactly, and its top
// 8 bits are (X + 32) >> 6.
inline unsigned SrgbOut(unsigned x) { return (x + 32) >> 6; }

inline unsigned Out(bool srgb, unsigned x) { return srgb ? SrgbOut(x) : kLinearOut[x]; }

void FillTile(std::uint8_t* out, std::size_t stride, unsigned width, unsigned height, const std::uint8_t* rgba) {
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) std::memcpy(out + y * stride + 4 * x, rgba, 4);
}

void FillError(std::uint8_t* out, std::size_t stride, unsigned width, unsigned height) {
  static constexpr std::uint8_t kMagenta[4] = {255, 0, 255, 255};
  FillTile(out, stride, width, height, kMagenta);
}

template <bool Srgb, bool Dual>
void WriteTexels(const TEndpoints* endpoints, const std::uint8_t* partition, const std::uint8_t* plane0,
                 const std::uint8_t* plane1, unsigned planeChannel, unsigned width, unsigned height, std::uint8_t* out,
                 std::size_t stride) {
  // Each channel as X = 64 * e0 + (e1 - e0) * w.
  int base[4][4], delta[4][4];
  for (int p = 0; p < 4; ++p)
    for (int c = 0; c < 4; ++c) {
      base[p][c] = 64 * endpoints[p].Low[c];
      delta[p][c] = endpoints[p].High[c] - endpoints[p].Low[c];
    }
  unsigned t = 0;
  for (unsigned y = 0; y < height; ++y) {
    std::uint8_t* row = out + y * stride;
    for (unsigned x = 0; x < width; ++x, ++t) {
      const unsigned p = partition[t];
      const int w0 = plane0[t];
      std::uint8_t px[4];
      for (unsigned c = 0; c < 4; ++c)
        px[c] = static_cast<std::uint8_t>(Out(Srgb, static_cast<unsigned>(base[p][c] + delta[p][c] * w0)));
      // The second plane's channel again with its own weight, rather than a choice per channel.
      if constexpr (Dual)
        px[planeChannel] = static_cast<std::uint8_t>(
            Out(Srgb, static_cast<unsigned>(base[p][planeChannel] + delta[p][planeChannel] * plane1[t])));
      std::memcpy(row + 4 * x, px, 4);
    }
  }
}

void DecodeVoidExtent(TBits128 bits, unsigned width, unsigned height, bool srgb, std::uint8_t* out, std::size_t stride,
                      TBlockPixelOrder order) {
  const auto low = static_cast<std::uint64_t>(bits);
  // Bit 9 marks HDR (half float) colours; bits 10 and 11 of a 2-D void extent are always set.
  if ((low >> 9 & 7) != 6) return FillError(out, stride, width, height);
  const unsigned minS = low >> 12 & 0x1FFF, maxS = low >> 25 & 0x1FFF, minT = low >> 38 & 0x1FFF,
                 maxT = low >> 51 & 0x1FFF;
  const bool constant = (minS & maxS & minT & maxT) == 0x1FFF;
  if (!constant && (minS >= maxS || minT >= maxT)) return FillError(out, stride, width, height);
  std::uint8_t rgba[4];
  for (int c = 0; c < 4; ++c) {
    const unsigned v = static_cast<unsigned>(bits >> (64 + 16 * c)) & 0xFFFF;
    rgba[c] = static_cast<std::uint8_t>(srgb ? v >> 8 : Unorm16To8(v));
  }
  if (order == poBGRA) std::swap(rgba[0], rgba[2]);
  FillTile(out, stride, width, height, rgba);
}

inline TBits128 Load128(const std::uint8_t* p) {
  std::uint64_t half[2];
  std::memcpy(half, p, 16);
  if constexpr (std::endian::native == std::endian::big)
    half[0] = __builtin_bswap64(half[0]), half[1] = __builtin_bswap64(half[1]);
  return TBits128{half[1]} << 64 | half[0];
}

inline std::uint64_t Reverse64(std::uint64_t x) {
  x = ((x >> 1) & 0x5555555555555555ull) | ((x & 0x5555555555555555ull) << 1);
  x = ((x >> 2) & 0x3333333333333333ull) | ((x & 0x3333333333333333ull) << 2);
  x = ((x >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((x & 0x0F0F0F0F0F0F0F0Full) << 4);
  return __builtin_bswap64(x);
}

inline TBits128 Reverse128(TBits128 v) {
  return TBits128{Reverse64(static_cast<std::uint64_t>(v))} << 64 | Reverse64(static_cast<std::uint64_t>(v >> 64));
}

inline TBits128 LowBits(TBits128 v, unsigned count) {
  return count >= 128 ? v : v & ((TBits128{1} << count) - 1);
}

}  // namespace

void DecodeASTCBlock(const std::uint8_t* block, unsigned blockWidth, unsigned blockHeight, bool srgb,
                     std::uint8_t* out, std::size_t stride, TBlockPixelOrder order) {
  const TFootprint* footprint = FootprintTables(blockWidth, blockHeight);
  if (!footprint) return FillError(out, stride, std::min(blockWidth, 12u), std::min(blockHeight, 12u));
  const TBits128 bits = Load128(block);
  const auto low = static_cast<std::uint64_t>(bits);
  const unsigned modeBits = low & 0x7FF;
  if ((modeBits & 0x1FF) == 0x1FC) return DecodeVoidExtent(bits, blockWidth, blockHeight, srgb, out, stride, order);
  const TBlockMode& mode = kBlockModes[modeBits];
  const unsigned partitions = (low >> 11 & 3) + 1;
  if (mode.GridWidth == 0 || mode.GridWidth > blockWidth || mode.GridHeight > blockHeight ||
      (partitions == 4 && mode.DualPlane))
    return FillError(out, stride, blockWidth, blockHeight);

  // The endpoint modes, with the bits that sit under the weights when partitions differ in class.
  unsigned cems[4] = {};
  unsigned seed = 0, colorStart = 17, belowWeights = 128 - mode.WeightBits;
  if (partitions == 1) {
    cems[0] = low >> 13 & 15;
  } else {
    seed = low >> 13 & 0x3FF;
    colorStart = 29;
    const unsigned field = low >> 23 & 0x3F;
    if ((field & 3) == 0) {
      for (unsigned p = 0; p < partitions; ++p) cems[p] = field >> 2;
    } else {
      const unsigned extraBits = 3 * partitions - 4;
      belowWeights -= extraBits;
      const unsigned value =
          field | (static_cast<unsigned>(bits >> belowWeights) & ((1u << extraBits) - 1)) << 6;
      const unsigned baseClass = (field & 3) - 1;
      for (unsigned p = 0; p < partitions; ++p)
        cems[p] = (baseClass + (value >> (2 + p) & 1)) << 2 | (value >> (2 + partitions + 2 * p) & 3);
    }
  }
  unsigned planeChannel = 0;
  if (mode.DualPlane) {
    belowWeights -= 2;
    planeChannel = static_cast<unsigned>(bits >> belowWeights) & 3;
  }
  unsigned colorCount = 0;
  for (unsigned p = 0; p < partitions; ++p) colorCount += 2 * ((cems[p] >> 2) + 1);
  if (colorCount > 18 || belowWeights < colorStart) return FillError(out, stride, blockWidth, blockHeight);
  const int colorRange = kColorRangeFor[colorCount / 2][belowWeights - colorStart];
  if (colorRange < 0) return FillError(out, stride, blockWidth, blockHeight);

  // Colour endpoints.
  std::uint8_t colors[18 + 4];
  DecodeSequence(LowBits(bits >> colorStart, SequenceBits(colorCount, colorRange)), colorCount, colorRange, colors);
  for (unsigned i = 0; i < colorCount; ++i) colors[i] = kColorValues[colorRange][colors[i]];
  TEndpoints endpoints[4] = {};
  for (unsigned p = 0, at = 0; p < partitions; at += 2 * ((cems[p] >> 2) + 1), ++p) {
    if (!UnpackEndpoints(cems[p], colors + at, endpoints[p])) {
      // An HDR partition alone takes the error colour: both of its endpoints magenta.
      Set(endpoints[p].Low, 255, 0, 255, 255);
      Set(endpoints[p].High, 255, 0, 255, 255);
    }
    if (order == poBGRA) {
      std::swap(endpoints[p].Low[0], endpoints[p].Low[2]);
      std::swap(endpoints[p].High[0], endpoints[p].High[2]);
    }
  }
  if (order == poBGRA && (planeChannel == 0 || planeChannel == 2)) planeChannel ^= 2;

  // Weights, read downwards from the top bit, then per plane spread over the texels.
  const unsigned gridCount = mode.GridWidth * mode.GridHeight;
  const unsigned weightCount = gridCount * (mode.DualPlane ? 2 : 1);
  std::uint8_t raw[64 + 4];
  DecodeSequence(LowBits(Reverse128(bits), mode.WeightBits), weightCount, mode.WeightRange, raw);
  const auto& unquantise = kWeightValues[mode.WeightRange];
  // Room past the grid for the infill's right and lower neighbours, which it weighs by 0.
  std::uint8_t grid[2][64 + 16];
  if (mode.DualPlane) {
    for (unsigned i = 0; i < gridCount; ++i)
      grid[0][i] = unquantise[raw[2 * i]], grid[1][i] = unquantise[raw[2 * i + 1]];
  } else {
    for (unsigned i = 0; i < gridCount; ++i) grid[0][i] = unquantise[raw[i]];
  }
  const unsigned planes = mode.DualPlane ? 2 : 1;
  for (unsigned plane = 0; plane < planes; ++plane) std::memset(grid[plane] + gridCount, 0, 16);

  std::uint8_t texelWeights[2][144];
  const std::uint8_t* plane0 = grid[0];
  const std::uint8_t* plane1 = grid[1];
  if (mode.GridWidth != blockWidth || mode.GridHeight != blockHeight) {
    const TInfill* infill = footprint->Infill.data() + footprint->InfillAt[mode.GridWidth - 2][mode.GridHeight - 2];
    const unsigned n = mode.GridWidth;
    for (unsigned plane = 0; plane < planes; ++plane) {
      const std::uint8_t* g = grid[plane];
      for (unsigned t = 0; t < footprint->Texels; ++t) {
        const TInfill& f = infill[t];
        const unsigned i = f.Index;
        const unsigned sum =
            g[i] * f.Factors[0] + g[i + 1] * f.Factors[1] + g[i + n] * f.Factors[2] + g[i + n + 1] * f.Factors[3];
        texelWeights[plane][t] = static_cast<std::uint8_t>((sum + 8) >> 4);
      }
    }
    plane0 = texelWeights[0], plane1 = texelWeights[1];
  }

  static constexpr std::uint8_t kOnePartition[144] = {};
  const std::uint8_t* partition = partitions == 1 ? kOnePartition : footprint->PartitionsOf(partitions, seed);
  const auto write = srgb ? (mode.DualPlane ? &WriteTexels<true, true> : &WriteTexels<true, false>)
                          : (mode.DualPlane ? &WriteTexels<false, true> : &WriteTexels<false, false>);
  write(endpoints, partition, plane0, plane1, planeChannel, blockWidth, blockHeight, out, stride);
}

}  // namespace vumo
