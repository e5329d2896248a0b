#include "formats/format_mime_types.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "formats/bitmap.h"
#include "formats/jpeg_image.h"
#include "formats/reader_graphic.h"
#include "formats/targa.h"

namespace vumo {
namespace {

TEST(FormatMimeTypes, EveryRegisteredExtensionHasATypeOfAnImage) {
  ASSERT_FALSE(FileFormatList().Extensions().empty());
  for (const auto& entry : FileFormatList().Extensions()) {
    const char* type = MimeTypeOfExtension(entry->Extension);
    ASSERT_NE(type, nullptr) << entry->Extension;
    EXPECT_EQ(std::string(type).rfind("image/", 0), 0u) << entry->Extension << " -> " << type;
  }
  EXPECT_NO_THROW(RegisteredMimeTypes(FileFormatList()));
}

TEST(FormatMimeTypes, LookupIgnoresCaseAndKnowsNoOtherExtension) {
  EXPECT_STREQ(MimeTypeOfExtension("tga"), "image/x-tga");
  EXPECT_STREQ(MimeTypeOfExtension("TGA"), "image/x-tga");
  EXPECT_STREQ(MimeTypeOfExtension("Psd"), "image/vnd.adobe.photoshop");
  EXPECT_EQ(MimeTypeOfExtension(""), nullptr);
  EXPECT_EQ(MimeTypeOfExtension("tg"), nullptr);
  EXPECT_EQ(MimeTypeOfExtension("tgaa"), nullptr);
  EXPECT_EQ(MimeTypeOfExtension("pal"), nullptr);
}

TEST(FormatMimeTypes, TheListIsSortedUniqueAndFollowsTheRegistry) {
  TFileFormatList list;
  list.AddExtension("tga", "Truevision images", "", fkRaster, false, TTargaGraphic::ClassInfo());
  list.AddExtension("vda", "", "", fkRaster, false, TTargaGraphic::ClassInfo());
  list.AddExtension("bmp", "Windows bitmaps", "", fkRaster, false, TBitmap::ClassInfo());
  list.AddExtension("jpg", "JPG images", "", fkRaster, false, TJPEGImage::ClassInfo());
  EXPECT_EQ(RegisteredMimeTypes(list), (std::vector<std::string>{"image/bmp", "image/jpeg", "image/x-tga"}));
  // Only the program's own readers: what its thumbnailer offers.
  EXPECT_EQ(RegisteredMimeTypes(list, TReaderGraphic::ClassInfo()), (std::vector<std::string>{"image/x-tga"}));

  list.RemoveExtension("bmp", TBitmap::ClassInfo());
  EXPECT_EQ(RegisteredMimeTypes(list), (std::vector<std::string>{"image/jpeg", "image/x-tga"}));
  list.ClearAll();
}

TEST(FormatMimeTypes, AnExtensionWithoutATypeStopsTheList) {
  TFileFormatList list;
  list.AddExtension("tga", "Truevision images", "", fkRaster, false, TTargaGraphic::ClassInfo());
  list.AddExtension("xyz", "", "", fkRaster, false, TTargaGraphic::ClassInfo());
  try {
    RegisteredMimeTypes(list);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "The extension \"xyz\" has no MIME type.");
  }
  list.ClearAll();
}

}  // namespace
}  // namespace vumo
