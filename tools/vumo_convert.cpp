// vumo-convert: loads a picture exactly as the viewer does and writes it as an RGBA PNG (one
// file, or many into a folder on several threads),
// prints what its header says as JSON, writes a thumbnail for file managers, or lists the
// MIME types of the registered formats for the desktop entry. Metafiles are drawn with the
// viewer's own painting code at their frame's size, on a transparent background; that needs
// Qt's GUI module, which is started without a display (the offscreen platform) and only for them.
#include <QGuiApplication>
#include <QImage>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "formats/bitmap_export.h"
#include "formats/format_mime_types.h"
#include "formats/format_registry.h"
#include "formats/messages.h"
#include "formats/metafile.h"
#include "formats/picture.h"
#include "formats/reader_graphic.h"
#include "shell/image_sheet_render.h"
#include "shell/qpainter_canvas.h"
#include "tools/compare_command.h"
#include "tools/thumbnail.h"

using namespace vumo;

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitLoadError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitEmpty = 3;

int Usage() {
  std::fprintf(stderr,
               "Usage: vumo-convert [--exposure STOPS] INPUT OUTPUT.png\n"
               "       vumo-convert --output-dir DIR [--jobs N] [--exposure STOPS] [--force] INPUT...\n"
               "       vumo-convert --info INPUT\n"
               "       vumo-convert --thumbnail SIZE INPUT OUTPUT.png\n"
               "       vumo-convert --compare [--amplify N] A B [DIFF.png]\n"
               "       vumo-convert --sheet INPUT OUTPUT.png\n"
               "       vumo-convert --list-mime-types\n"
               "       vumo-convert --list-thumbnail-mime-types\n");
  return kExitUsage;
}

const char* PixelFormatName(TPixelFormat format) {
  static const char* const kNames[] = {"pfDevice", "pf1bit",  "pf4bit",  "pf8bit",  "pf15bit",
                                       "pf16bit",  "pf24bit", "pf32bit", "pfCustom"};
  return format < std::size(kNames) ? kNames[format] : "pfCustom";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

template <typename T>
std::string JsonArray(const T& values) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) out += ", ";
    out += std::to_string(values[i]);
  }
  return out + "]";
}

void PrintInfo(const TPicture& picture) {
  const TGraphic* graphic = picture.Graphic();
  const TBitmap* bitmap = graphic->DrawBitmap();
  std::printf("{\n");
  std::printf("  \"class\": %s,\n", JsonString(graphic->ClassType()->ClassName).c_str());
  std::printf("  \"width\": %d,\n  \"height\": %d,\n", picture.Width(), picture.Height());
  std::printf("  \"pixelFormat\": %s,\n", JsonString(bitmap ? PixelFormatName(bitmap->PixelFormat()) : "pfCustom").c_str());
  std::printf("  \"paletteSize\": %zu", bitmap ? bitmap->Palette().size() : std::size_t{0});
  if (auto* reader = dynamic_cast<const TReaderGraphic*>(graphic)) {
    const TImageProperties& p = reader->ImageProperties;
    std::string options = "[";
    const struct { TImageOptions bit; const char* name; } kOptions[] = {
        {ioTiled, "ioTiled"}, {ioBigEndian, "ioBigEndian"}, {ioMinIsWhite, "ioMinIsWhite"},
        {ioReversed, "ioReversed"}, {ioUseGamma, "ioUseGamma"}};
    for (const auto& o : kOptions)
      if (p.Options & o.bit) options += (options.size() > 1 ? ", \"" : "\"") + std::string(o.name) + "\"";
    options += "]";
    std::printf(",\n  \"imageProperties\": {\n");
    std::printf("    \"Version\": %u,\n    \"Options\": %s,\n", p.Version, options.c_str());
    std::printf("    \"Width\": %u,\n    \"Height\": %u,\n", p.Width, p.Height);
    std::printf("    \"ColorScheme\": \"%s\",\n", ColorSchemeName(p.ColorScheme));
    std::printf("    \"BitsPerSample\": %u,\n    \"SamplesPerPixel\": %u,\n    \"BitsPerPixel\": %u,\n",
                p.BitsPerSample, p.SamplesPerPixel, p.BitsPerPixel);
    std::printf("    \"Compression\": \"%s\",\n", CompressionName(p.Compression));
    std::printf("    \"FileGamma\": %g,\n    \"XResolution\": %g,\n    \"YResolution\": %g,\n",
                static_cast<double>(p.FileGamma), static_cast<double>(p.XResolution),
                static_cast<double>(p.YResolution));
    std::printf("    \"Interlaced\": %s,\n    \"HasAlpha\": %s,\n", p.Interlaced ? "true" : "false",
                p.HasAlpha ? "true" : "false");
    std::printf("    \"FirstIFD\": %u,\n    \"PlanarConfig\": %u,\n    \"CurrentRow\": %u,\n", p.FirstIFD,
                p.PlanarConfig, p.CurrentRow);
    std::printf("    \"TileWidth\": %u,\n    \"TileLength\": %u,\n    \"BytesPerLine\": %u,\n", p.TileWidth,
                p.TileLength, p.BytesPerLine);
    std::printf("    \"RowsPerStrip\": %s,\n", JsonArray(p.RowsPerStrip).c_str());
    std::printf("    \"YCbCrSubSampling\": %s,\n", JsonArray(p.YCbCrSubSampling).c_str());
    std::printf("    \"JPEGTables\": %zu,\n", p.JPEGTables.size());
    std::printf("    \"JPEGColorMode\": %u,\n    \"JPEGTablesMode\": %u,\n", p.JPEGColorMode, p.JPEGTablesMode);
    std::printf("    \"CurrentStrip\": %u,\n    \"StripCount\": %u,\n    \"PredictorMode\": %u,\n", p.CurrentStrip,
                p.StripCount, p.PredictorMode);
    std::printf("    \"Overview\": %s,\n    \"Rotate\": %u,\n    \"ImageCount\": %u,\n",
                p.Overview ? "true" : "false", p.Rotate, p.ImageCount);
    std::printf("    \"BottomUp\": %s,\n    \"ChannelCount\": %u,\n    \"FilterMode\": %u\n  }",
                p.BottomUp ? "true" : "false", p.ChannelCount, p.FilterMode);
  }
  std::printf("\n}\n");
}

// File managers kill a thumbnailer that takes too long, and a full disk can stop any write:
// the PNG goes to a hidden file beside the output and is renamed into place only when
// complete, so the output is whole or untouched; a termination signal removes the hidden file.
// Each worker of a batch has its own slot, so the handler finds every file being written.
constexpr int kMaxJobs = 256;
char gPendingFiles[kMaxJobs][4096];
thread_local int tPendingSlot = 0;

void RemovePendingFile(int signal) {
  for (const char* pending : gPendingFiles)
    if (pending[0]) unlink(pending);
  _exit(128 + signal);
}

// umask can only be read by setting it, which would race with the other workers' files.
mode_t CreationMask() {
  static const mode_t mask = [] {
    const mode_t value = umask(0);
    umask(value);
    return value;
  }();
  return mask;
}

// `produce` hands the file's bytes to the sink it is given, in order, as they are made.
// Without `replace` an existing file of that name is kept and the write fails.
void WriteFileWhole(const std::string& fileName, const std::function<void(const TByteSink&)>& produce,
                    bool replace = true) {
  const std::size_t slash = fileName.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : fileName.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  const std::string pending = folder + "." + name + ".XXXXXX";
  char* pendingFile = gPendingFiles[tPendingSlot];
  if (pending.size() >= sizeof gPendingFiles[0]) throw Exception(FormatMessage(kCannotCreateFile, fileName.c_str()));
  // The name is in place before the file exists, so a signal at any moment finds it.
  std::memcpy(pendingFile, pending.c_str(), pending.size() + 1);
  std::signal(SIGTERM, RemovePendingFile);
  std::signal(SIGINT, RemovePendingFile);
  std::signal(SIGXCPU, RemovePendingFile);
  const int fd = mkstemp(pendingFile);
  if (fd < 0) {
    pendingFile[0] = 0;
    throw Exception(FormatMessage(kCannotCreateFile, fileName.c_str()));
  }
  // mkstemp makes the file private; the output gets the modes any new file would.
  fchmod(fd, 0666 & ~CreationMask());
  bool ok = true;
  auto sink = [fd, &ok](const std::uint8_t* bytes, std::size_t count) {
    for (std::size_t done = 0; ok && done < count;) {
      const ssize_t n = write(fd, bytes + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<std::size_t>(n);
    }
  };
  try {
    produce(sink);
  } catch (...) {
    close(fd);
    unlink(pendingFile);
    pendingFile[0] = 0;
    throw;
  }
  ok = close(fd) == 0 && ok;
  // link, unlike rename, refuses a name that exists, even one made since the batch began.
  bool exists = false;
  if (ok && replace) {
    ok = std::rename(pendingFile, fileName.c_str()) == 0;
  } else if (ok) {
    ok = link(pendingFile, fileName.c_str()) == 0;
    exists = !ok && errno == EEXIST;
  }
  if (!ok || !replace) unlink(pendingFile);
  pendingFile[0] = 0;
  if (exists) throw Exception("the output exists (--force replaces it)");
  if (!ok) throw Exception(FormatMessage(kCannotWriteFile, fileName.c_str()));
}

// The longest thumbnail side asked for: file managers ask for 128 to 1024.
constexpr int kMaxThumbnailSide = 4096;

// The thumbnailer claims the formats of the program's own readers; the platform's picture
// classes (bitmaps, icons, metafiles, JPEG) are the desktop's own thumbnailers' business.
int ListMimeTypes(TGraphicClass readerBase) {
  try {
    for (const std::string& type : RegisteredMimeTypes(FileFormatList(), readerBase))
      std::printf("%s\n", type.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kExitLoadError;
  }
  return kExitWritten;
}

void WriteBytes(const TByteSink& sink, const std::vector<std::uint8_t>& bytes) { sink(bytes.data(), bytes.size()); }

// Fonts and text layout need a GUI application object; the offscreen platform needs no display.
// It must be made on the main thread, before a batch's workers draw.
void StartGui() {
  static int argc = 3;
  static char name[] = "vumo-convert", option[] = "-platform", platform[] = "offscreen";
  static char* argv[] = {name, option, platform, nullptr};
  static QGuiApplication* app = [] {
    // Qt's own notes (a missing runtime folder and the like) are not the converter's messages.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
      if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    });
    return new QGuiApplication(argc, argv);
  }();
  (void)app;
}

// The drawing is encoded a row at a time, without a converted copy of it.
void EncodeMetafilePng(const TMetafile& metafile, const TByteSink& sink) {
  StartGui();
  bool complete = true;
  const QImage image = RenderMetafile(metafile, metafile.Width(), metafile.Height(), &complete);
  if (image.isNull()) throw Exception("Cannot render the metafile: out of memory.");
  if (!complete) std::fprintf(stderr, "%s\n", kMetafileIncomplete);
  TPngRgba8Writer writer(image.width(), image.height(), sink);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width()) * 4);
  QImage line;
  for (int y = 0; y < image.height(); ++y) {
    // One row at a time through Qt's own conversion, whatever format the drawing came in.
    line = image.copy(0, y, image.width(), 1).convertToFormat(QImage::Format_RGBA8888);
    std::memcpy(row.data(), line.constScanLine(0), row.size());
    writer.AddRow(row.data());
  }
  writer.Finish();
}

// The longest exposure, in stops, as the viewer's keys allow.
constexpr double kMaxExposure = 32.0;

struct TConvertOptions {
  float exposure = 0.0f;
  bool replace = true;
};

// Loads `input` as the viewer does. Returns kExitWritten when there is something to draw
// (metafiles count only when `metafiles`), otherwise the exit status with its reason.
int LoadPicture(TPicture& picture, const std::string& input, bool metafiles, std::string& reason) {
  try {
    picture.LoadFromFile(input);
  } catch (const std::exception& e) {
    reason = e.what();
    return kExitLoadError;
  }
  const TGraphic* graphic = picture.Graphic();
  const bool drawing = metafiles && dynamic_cast<const TMetafile*>(graphic);
  if (!graphic || graphic->Empty() || (!graphic->DrawBitmap() && !drawing)) {
    reason = input + ": the picture is empty";
    return kExitEmpty;
  }
  return kExitWritten;
}

// Writes a loaded picture as the PNG the converter makes; raises on failure.
void WritePicturePng(TPicture& picture, const std::string& input, const std::string& output,
                     const TConvertOptions& options) {
  if (const auto* metafile = dynamic_cast<const TMetafile*>(picture.Graphic())) {
    // A drawing has no compressed pixels, but a few hundred bytes declaring a frame of
    // hundreds of megapixels are refused as any other picture is.
    struct stat info {};
    const std::uint64_t fileBytes = stat(input.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    metafile->CheckPlausibleSize(static_cast<std::uint64_t>(metafile->Width()),
                                 static_cast<std::uint64_t>(metafile->Height()), fileBytes);
    WriteFileWhole(output, [&](const TByteSink& sink) { EncodeMetafilePng(*metafile, sink); }, options.replace);
    return;
  }
  // Float samples are rendered through the exposure as the viewer shows them.
  if (auto* floats = dynamic_cast<TBitmap*>(picture.Graphic()); floats && floats->FloatPixels() &&
                                                                 floats->Exposure() != options.exposure)
    floats->SetExposure(options.exposure);
  const TBitmap& bitmap = *picture.Graphic()->DrawBitmap();
  WriteFileWhole(output, [&](const TByteSink& sink) { EncodeBitmapPng(bitmap, sink); }, options.replace);
}

// Returns the failure's reason, empty when the output was written.
std::string ConvertFile(const std::string& input, const std::string& output, const TConvertOptions& options) {
  TPicture picture;
  std::string reason;
  if (LoadPicture(picture, input, true, reason) != kExitWritten) return reason;
  try {
    WritePicturePng(picture, input, output, options);
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

bool ParseExposure(const char* text, float& stops) {
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (errno || end == text || *end || !std::isfinite(value) || std::fabs(value) > kMaxExposure) return false;
  stops = static_cast<float>(value);
  return true;
}

// The input's file name without its last extension; a leading dot is part of the name.
std::string OutputName(const std::string& input) {
  const std::size_t slash = input.rfind('/');
  std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name + ".png";
}

// The file a name leads to, if it exists.
std::optional<std::pair<dev_t, ino_t>> FileIdentity(const std::string& name) {
  struct stat info {};
  if (stat(name.c_str(), &info) != 0) return std::nullopt;
  return std::pair(info.st_dev, info.st_ino);
}

struct TBatchItem {
  std::string input;
  std::string output;
  std::string failure;
  bool done = false;  // refused before the workers start
};

int ConvertBatch(const std::string& folder, const std::vector<std::string>& inputs, unsigned jobs,
                 const TConvertOptions& options) {
  FileFormatList();
  StartGui();
  CreationMask();
  std::vector<TBatchItem> items(inputs.size());
  std::map<std::string, std::string> claimed;  // output name -> the input that has it
  std::set<std::pair<dev_t, ino_t>> inputFiles;
  for (const std::string& input : inputs)
    if (auto identity = FileIdentity(input)) inputFiles.insert(*identity);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    TBatchItem& item = items[i];
    item.input = inputs[i];
    item.output = folder + "/" + OutputName(inputs[i]);
    auto [owner, fresh] = claimed.emplace(item.output, item.input);
    if (!fresh) {
      item.failure = "its output " + item.output + " is also the output of " + owner->second;
      item.done = true;
    } else if (auto identity = FileIdentity(item.output); identity && inputFiles.count(*identity)) {
      // Not even --force overwrites a picture the batch was asked to read.
      item.failure = "its output " + item.output + " is one of the inputs";
      item.done = true;
    }
  }
  const bool terminal = isatty(STDERR_FILENO);
  std::atomic<std::size_t> next{0};
  std::size_t finished = 0;
  std::mutex progress;
  auto work = [&](int slot) {
    tPendingSlot = slot;
    for (std::size_t i; (i = next++) < items.size();) {
      TBatchItem& item = items[i];
      if (!item.done) item.failure = ConvertFile(item.input, item.output, options);
      std::lock_guard lock(progress);
      ++finished;
      if (terminal) std::fprintf(stderr, "\rconverted %zu/%zu", finished, items.size());
    }
  };
  jobs = std::min<unsigned>(jobs, static_cast<unsigned>(std::max<std::size_t>(items.size(), 1)));
  std::vector<std::thread> workers;
  for (unsigned j = 1; j < jobs; ++j) workers.emplace_back(work, static_cast<int>(j));
  work(0);
  for (std::thread& worker : workers) worker.join();
  if (terminal && !items.empty()) std::fprintf(stderr, "\n");
  std::size_t converted = 0;
  for (const TBatchItem& item : items) converted += item.failure.empty();
  std::fprintf(stderr, "%zu of %zu converted\n", converted, items.size());
  for (const TBatchItem& item : items)
    if (!item.failure.empty()) std::fprintf(stderr, "failed: %s: %s\n", item.input.c_str(), item.failure.c_str());
  return converted == items.size() ? kExitWritten : kExitLoadError;
}

// --output-dir DIR [--jobs N] [--exposure STOPS] [--force] INPUT..., options in any order
// before the inputs; "--" ends them.
int BatchMain(int argc, char** argv) {
  std::string folder;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  TConvertOptions options;
  options.replace = false;
  int arg = 1;
  for (; arg < argc && argv[arg][0] == '-'; ++arg) {
    const std::string option = argv[arg];
    const bool hasValue = arg + 1 < argc;
    if (option == "--") {
      ++arg;
      break;
    } else if (option == "--force") {
      options.replace = true;
    } else if (option == "--output-dir" && hasValue) {
      folder = argv[++arg];
    } else if (option == "--exposure" && hasValue) {
      if (!ParseExposure(argv[++arg], options.exposure)) return Usage();
    } else if (option == "--jobs" && hasValue) {
      char* end = nullptr;
      errno = 0;
      const long value = std::strtol(argv[++arg], &end, 10);
      if (errno || end == argv[arg] || *end || value < 1 || value > kMaxJobs) return Usage();
      jobs = static_cast<unsigned>(value);
    } else {
      return Usage();
    }
  }
  if (folder.empty() || arg >= argc) return Usage();
  jobs = std::min<unsigned>(jobs, kMaxJobs);
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    std::fprintf(stderr, "%s: not a folder\n", folder.c_str());
    return kExitLoadError;
  }
  return ConvertBatch(folder, std::vector<std::string>(argv + arg, argv + argc), jobs, options);
}

// Every image of the file on one sheet, as the viewer's sheet view draws it.
int WriteSheet(const std::string& input, const std::string& output) {
  FileFormatList();
  StartGui();
  try {
    const TImageSheet sheet = RenderImageSheet(input);
    if (sheet.Shown == 0) {
      std::fprintf(stderr, "%s: the picture is empty\n", input.c_str());
      return kExitEmpty;
    }
    if (sheet.Shown < sheet.Total)
      std::fprintf(stderr, "%s: the sheet shows the first %u of %u images\n", input.c_str(), sheet.Shown, sheet.Total);
    WriteFileWhole(output, [&](const TByteSink& sink) { EncodeSheetPng(sheet.Image, sink); });
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kExitLoadError;
  }
  return kExitWritten;
}

}  // namespace

int main(int argc, char** argv) {
  bool info = false;
  int thumbnailSide = 0;
  std::string input, output;
  TConvertOptions options;
  if (argc > 1 && std::strcmp(argv[1], "--compare") == 0) return CompareMain(argc, argv);
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--output-dir") == 0) return BatchMain(argc, argv);
  if (argc == 5 && std::strcmp(argv[1], "--exposure") == 0) {
    if (!ParseExposure(argv[2], options.exposure)) return Usage();
    argc -= 2;
    argv += 2;
  }
  if (argc == 2 && std::strcmp(argv[1], "--list-mime-types") == 0) {
    return ListMimeTypes(nullptr);
  } else if (argc == 2 && std::strcmp(argv[1], "--list-thumbnail-mime-types") == 0) {
    return ListMimeTypes(TReaderGraphic::ClassInfo());
  } else if (argc == 3 && std::strcmp(argv[1], "--info") == 0) {
    info = true;
    input = argv[2];
  } else if (argc == 5 && std::strcmp(argv[1], "--thumbnail") == 0) {
    char* end = nullptr;
    errno = 0;
    const long side = std::strtol(argv[2], &end, 10);
    if (errno || end == argv[2] || *end || side < 1 || side > kMaxThumbnailSide) return Usage();
    thumbnailSide = static_cast<int>(side);
    input = argv[3];
    output = argv[4];
  } else if (argc == 4 && std::strcmp(argv[1], "--sheet") == 0) {
    return WriteSheet(argv[2], argv[3]);
  } else if (argc == 3 && argv[1][0] != '-' && argv[2][0] != '-') {
    input = argv[1];
    output = argv[2];
  } else {
    return Usage();
  }

  FileFormatList();  // the formats unit's start-up registrations, as in the viewer
  TPicture picture;
  std::string reason;
  // Metafiles are left to the desktop's own thumbnailers, as the thumbnailer entry says.
  const int status = LoadPicture(picture, input, !thumbnailSide, reason);
  if (status != kExitWritten) {
    if (info && status == kExitEmpty && picture.Graphic()) PrintInfo(picture);
    std::fprintf(stderr, "%s\n", reason.c_str());
    // A file manager knows one failure: no thumbnail.
    return thumbnailSide && status == kExitEmpty ? kExitLoadError : status;
  }
  if (info) {
    PrintInfo(picture);
    return kExitWritten;
  }
  try {
    if (thumbnailSide) {
      TThumbnailSize size;
      std::vector<std::uint8_t> rgba = MakeThumbnail(*picture.Graphic()->DrawBitmap(), thumbnailSide, size);
      WriteFileWhole(output, [&](const TByteSink& sink) { WriteBytes(sink, EncodePngRgba8(size.Width, size.Height, rgba)); });
      return kExitWritten;
    }
    WritePicturePng(picture, input, output, options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kExitLoadError;
  }
  return kExitWritten;
}
