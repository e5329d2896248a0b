#include "shell/image_sheet_render.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "formats/picture.h"
#include "shell/image_convert.h"

namespace vumo {
namespace {

const QColor kSheetColor(0x30, 0x30, 0x30);
const QColor kLabelBox(0, 0, 0, 170);
// Pixels decoded for one sheet, a few seconds' work.
constexpr std::uint64_t kMaxSheetWork = std::uint64_t{1} << 30;

QFont LabelFont() {
  QFont font;
  font.setPixelSize(11);
  return font;
}

// The pixels are copied: the picture they came from loads the next image over them.
QImage OwnImage(const TGraphic& graphic) {
  const QImage image = GraphicToQImage(graphic);
  return image.isNull() ? image : image.copy();
}

}  // namespace

TSheetLook SheetLook() {
  const QFontMetrics metrics(LabelFont());
  TSheetLook look;
  look.LabelHeight = std::max(look.LabelHeight, metrics.height() + 2);
  look.TextWidth = [metrics](const std::string& text) {
    return metrics.horizontalAdvance(QString::fromStdString(text)) + 1;
  };
  return look;
}

QImage DrawImageSheet(const TSheetPlan& plan, const std::vector<QImage>& images, int labelHeight) {
  QImage sheet(static_cast<int>(plan.Width), static_cast<int>(plan.Height), QImage::Format_RGB32);
  if (sheet.isNull()) throw Exception("Cannot draw the sheet: out of memory.");
  sheet.fill(kSheetColor);
  QPainter painter(&sheet);
  // Alpha shows over a checkerboard as in the view, in darker greys that suit the sheet's own.
  const QBrush checker(CheckerTile(qRgb(0x66, 0x66, 0x66), qRgb(0x99, 0x99, 0x99)));
  for (const TSheetCell& cell : plan.Cells) {
    if (cell.Index >= images.size() || images[cell.Index].isNull()) continue;
    const QImage& image = images[cell.Index];
    const QRect box(cell.Box.Left, cell.Box.Top, cell.Box.Right - cell.Box.Left, cell.Box.Bottom - cell.Box.Top);
    if (image.hasAlphaChannel()) painter.fillRect(box, checker);
    painter.drawImage(box.topLeft(), image);
  }
  QFont font = LabelFont();
  painter.setFont(font);
  painter.setPen(Qt::white);
  for (const TSheetLabel& label : plan.Labels) {
    const QRect box(label.Box.Left, label.Box.Top, label.Box.Right - label.Box.Left,
                    std::min(labelHeight, label.Box.Bottom - label.Box.Top));
    painter.fillRect(box, kLabelBox);
    painter.drawText(box.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(label.Text));
  }
  return sheet;
}

TImageSheet RenderImageSheet(const std::string& fileName) {
  TPicture picture;
  picture.LoadFromFile(fileName, 0);
  const unsigned count = std::max(picture.Graphic()->Images().Count, 1u);
  // Known before the loop, which may stop at the cap short of the cross at the end.
  const unsigned composites = std::min(picture.Graphic()->Images().Composites, count - 1);
  std::vector<TSheetImage> placed;
  std::vector<QImage> images;
  std::uint64_t pixels = 0, work = 0;
  bool composite = false;
  for (unsigned index = 0; index < count && placed.size() < kMaxSheetImages; ++index) {
    if (index > 0) {
      try {
        picture.LoadFromFile(fileName, index);
      } catch (const std::exception&) {
        break;  // the images before it are still worth a sheet
      }
    }
    const TGraphic& graphic = *picture.Graphic();
    if (graphic.ImagePlace().Kind == TImagePlace::ipComposite) {
      composite = true;
      continue;
    }
    if (graphic.Empty()) continue;
    // No sheet holds more pixels than one picture may; past that the images are not loaded.
    const std::uint64_t area = std::uint64_t{static_cast<std::uint32_t>(graphic.Width())} *
                               static_cast<std::uint32_t>(graphic.Height());
    pixels += area;
    // An animation's frame is drawn over all the frames before it, so loading each frame in
    // turn costs the square of their number: a long one stops at a bounded amount of work.
    work += graphic.ImagePlace().Kind == TImagePlace::ipFrame ? area * (index + 1) : area;
    if ((pixels > kMaxPixelCount || work > kMaxSheetWork) && !placed.empty()) break;
    TSheetImage image;
    image.Index = index;
    image.Place = graphic.ImagePlace();
    image.Width = static_cast<std::uint32_t>(std::max(graphic.Width(), 0));
    image.Height = static_cast<std::uint32_t>(std::max(graphic.Height(), 0));
    placed.push_back(image);
    images.resize(index + 1);
    images[index] = OwnImage(graphic);
  }
  picture.SetGraphic(nullptr);  // the last image is copied already: its memory goes before the sheet's comes
  const TSheetLook look = SheetLook();
  TImageSheet sheet;
  sheet.Total = count - std::max(composites, composite ? 1u : 0u);
  sheet.Shown = static_cast<unsigned>(placed.size());
  const TSheetPlan plan = PlanImageSheet(placed, sheet.Total, look);
  sheet.Image = DrawImageSheet(plan, images, look.LabelHeight);
  return sheet;
}

void SheetToBitmap(const QImage& sheet, TBitmap& bitmap) {
  const QImage rows = sheet.convertToFormat(QImage::Format_RGB32);
  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(rows.width(), rows.height());
  bitmap.SetAlphaChannel(false);
  // RGB32 is B, G, R, 255 in memory, the bitmap's own order.
  for (int y = 0; y < rows.height(); ++y)
    std::memcpy(bitmap.ScanLine(y), rows.constScanLine(y), static_cast<std::size_t>(rows.width()) * 4);
}

void EncodeSheetPng(const QImage& drawn, const TByteSink& sink) {
  const QImage sheet = drawn.format() == QImage::Format_RGB32 ? drawn : drawn.convertToFormat(QImage::Format_RGB32);
  TPngRgba8Writer writer(sheet.width(), sheet.height(), sink);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(sheet.width()) * 4);
  for (int y = 0; y < sheet.height(); ++y) {
    const auto* pixels = reinterpret_cast<const QRgb*>(sheet.constScanLine(y));
    for (int x = 0; x < sheet.width(); ++x) {
      std::uint8_t* out = row.data() + 4 * static_cast<std::size_t>(x);
      out[0] = static_cast<std::uint8_t>(qRed(pixels[x]));
      out[1] = static_cast<std::uint8_t>(qGreen(pixels[x]));
      out[2] = static_cast<std::uint8_t>(qBlue(pixels[x]));
      out[3] = 255;  // the sheet is opaque
    }
    writer.AddRow(row.data());
  }
  writer.Finish();
}

}  // namespace vumo
