// The message texts of the pixel conversion and decompression unit, in one table.
#pragma once

namespace vumo {

// Colour manager.
inline constexpr const char* kInvalidBitsPerSample = "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
inline constexpr const char* kInvalidSampleCount =
    "Sample count per pixel does not correspond to the given color scheme.";
inline constexpr const char* kInvalidSubsampling = "Subsampling value is invalid. Allowed are 1, 2 and 4.";
inline constexpr const char* kInvalidVerticalSubsampling =
    "Vertical subsampling value must be <= horizontal subsampling value.";
inline constexpr const char* kIndexedNotIndexed =
    "Conversion between indexed and non-indexed pixel formats is not supported.";
inline constexpr const char* kNoConversionMethod = "Color conversion failed. Could not find a proper method.";
inline constexpr const char* kRowBufferTooShort = "Color conversion failed. A row buffer is shorter than its pixels.";

// Decoders.
inline constexpr const char* kLZ77Error = "LZ77 decompression error.";
inline constexpr const char* kOperationAborted = "Operation aborted";
inline constexpr const char* kJPEGBogusTables = "Bogus JPEG tables field.";
inline constexpr const char* kJPEGStripSize = "Improper JPEG strip/tile size.";
inline constexpr const char* kJPEGComponentCount = "Improper JPEG component count.";
inline constexpr const char* kJPEGPrecision = "Improper JPEG data precision.";
inline constexpr const char* kJPEGSamplingFactors = "Improper JPEG sampling factors.";
inline constexpr const char* kJPEGFractionalScanline = "Fractional JPEG scanline unsupported.";
inline constexpr const char* kJPEGErrorCode = "JPEG error #%d";
inline constexpr const char* kJPEGUnexpectedEnd = "JPEG decompression error. Unexpected end of input.";

// Limits of what a file may ask to allocate.
inline constexpr const char* kImageTooLarge = "Cannot load image. The image is too large (%u x %u pixels).";

}  // namespace vumo
