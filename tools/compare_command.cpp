#include "tools/compare_command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#include "formats/bitmap_export.h"
#include "formats/compare_source.h"
#include "formats/format_registry.h"
#include "formats/picture.h"
#include "pixels/errors.h"

namespace vumo {
namespace {

constexpr int kMaxAmplify = 255;

int CompareUsage() {
  std::fprintf(stderr,
               "Usage: vumo-convert --compare [--amplify N] A B [DIFF.png]\n"
               "Prints width, height, max_difference, differing_pixels, psnr and ssim of A against B\n"
               "as JSON, over their common top-left area when the sizes differ; DIFF.png gets\n"
               "|A - B| of R, G and B times N (1 to %d, default %d).\n"
               "Exit status: 0 identical, 1 different, 2 wrong usage or a picture that does not load.\n",
               kMaxAmplify, kDefaultAmplify);
  return kCompareTrouble;
}

// Raises with the reader's message, or says why there are no pixels to compare.
const TBitmap& LoadBitmap(TPicture& picture, const std::string& path) {
  picture.LoadFromFile(path);
  const TGraphic* graphic = picture.Graphic();
  const TBitmap* bitmap = graphic ? graphic->DrawBitmap() : nullptr;
  if (!bitmap || bitmap->Empty()) throw Exception(path + ": the picture has no pixels to compare");
  return *bitmap;
}

std::string Number(double value, const char* format) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string JsonText(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
      continue;
    }
    out += static_cast<char>(c);
  }
  return out + "\"";
}

}  // namespace

std::string CompareJson(const TCompareResult& r, const std::string& difference, int amplify) {
  std::string out = "{\n";
  out += "  \"width\": " + std::to_string(r.Width) + ",\n";
  out += "  \"height\": " + std::to_string(r.Height) + ",\n";
  out += "  \"max_difference\": " + Number(r.MaxDifference, "%.6g") + ",\n";
  out += "  \"differing_pixels\": " + std::to_string(r.DifferingPixels) + ",\n";
  out += "  \"psnr\": " + (r.Psnr ? Number(*r.Psnr, "%.6f") : std::string("null")) + ",\n";
  out += "  \"ssim\": " + Number(r.Ssim, "%.6f") + ",\n";
  out += std::string("  \"size_mismatch\": ") + (r.SizeMismatch ? "true" : "false");
  if (r.SizeMismatch) {
    out += ",\n  \"size_a\": [" + std::to_string(r.WidthA) + ", " + std::to_string(r.HeightA) + "]";
    out += ",\n  \"size_b\": [" + std::to_string(r.WidthB) + ", " + std::to_string(r.HeightB) + "]";
  }
  if (!difference.empty()) {
    out += ",\n  \"difference\": " + JsonText(difference);
    out += ",\n  \"amplify\": " + std::to_string(amplify);
  }
  return out + "\n}\n";
}

int CompareMain(int argc, char** argv) {
  int amplify = kDefaultAmplify;
  int arg = 2;
  if (arg + 1 < argc && std::strcmp(argv[arg], "--amplify") == 0) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(argv[arg + 1], &end, 10);
    if (errno || end == argv[arg + 1] || *end || value < 1 || value > kMaxAmplify) return CompareUsage();
    amplify = static_cast<int>(value);
    arg += 2;
  }
  const int names = argc - arg;
  if (names < 2 || names > 3) return CompareUsage();
  for (int i = arg; i < argc; ++i)
    if (argv[i][0] == '-') return CompareUsage();
  const std::string pathA = argv[arg], pathB = argv[arg + 1];
  const std::string difference = names == 3 ? argv[arg + 2] : "";

  FileFormatList();  // the formats unit's start-up registrations, as in the viewer
  try {
    TPicture pictureA, pictureB;
    const TCompareSource a(LoadBitmap(pictureA, pathA)), b(LoadBitmap(pictureB, pathB));
    const TCompareResult result = ComparePictures(a.Input(), b.Input());
    if (!difference.empty())
      WritePngRgba8(difference, result.Width, result.Height, DifferenceImage(a.Input(), b.Input(), amplify));
    std::fputs(CompareJson(result, difference, amplify).c_str(), stdout);
    return result.Identical() ? kCompareIdentical : kCompareDifferent;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kCompareTrouble;
  }
}

}  // namespace vumo
