#include "pixels/image_properties.h"

#include <iterator>

namespace vumo {

const char* ColorSchemeName(TColorScheme scheme) {
  static const char* const kNames[] = {"csUnknown", "csIndexed", "csGray",     "csGrayAlpha", "csRGB",
                                       "csRGBA",    "csBGR",     "csBGRA",     "csCMY",       "csCMYK",
                                       "csCIELab",  "csYCbCr",   "csPhotoYCC"};
  return scheme < std::size(kNames) ? kNames[scheme] : "csUnknown";
}

const char* CompressionName(TCompressionType compression) {
  static const char* const kNames[] = {
      "ctUnknown", "ctNone",     "ctRLE",    "ctPackedBits", "ctLZW",        "ctFax3",
      "ctFaxRLE",  "ctFax4",     "ctFaxRLEW", "ctLZ77",      "ctJPEG",       "ctOJPEG",
      "ctThunderscan", "ctNext", "ctIT8CTPAD", "ctIT8LW",    "ctIT8MP",      "ctIT8BL",
      "ctPixarFilm", "ctPixarLog", "ctDCS",  "ctJBIG",       "ctPCDHuffmann"};
  return compression < std::size(kNames) ? kNames[compression] : "ctUnknown";
}

}  // namespace vumo
