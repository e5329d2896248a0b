// The message texts of the formats unit, in one table.
#pragma once

namespace vumo {

// Streams, graphics and bitmaps.
inline constexpr const char* kStreamReadError = "Stream read error";
inline constexpr const char* kCannotOpenFile = "Cannot open file \"%s\". %s";
inline constexpr const char* kNotARegularFile = "Not a regular file";
inline constexpr const char* kCannotAssign = "Cannot assign a %s to a %s.";
inline constexpr const char* kNoStandardPixelFormat = "Cannot create a bitmap without a standard pixel format.";
inline constexpr const char* kScanLineOutOfRange = "Scan line index out of range";
inline constexpr const char* kCannotCreateFile = "Cannot create file \"%s\".";
inline constexpr const char* kCannotWriteFile = "Cannot write file \"%s\".";

// The platform's own picture classes.
inline constexpr const char* kBitmapNotValid = "Bitmap image is not valid";
inline constexpr const char* kBitmapCompressionNotSupported =
    "Cannot load bitmap: JPEG-, PNG- and Huffman-compressed bitmaps are not supported.";
inline constexpr const char* kIconNotValid = "Icon image is not valid";
// A file of several images asked for one it does not hold.
inline constexpr const char* kNoSuchImage = "The file holds no image %u.";
inline constexpr const char* kJpegError = "Cannot load JPEG image. %s";
inline constexpr const char* kJpegNoImage = "Cannot load JPEG image. The file holds tables but no image.";
inline constexpr const char* kMetafileNotShown = "Cannot load image. Windows metafiles cannot be shown yet.";

inline constexpr const char* kUnknownExtension = "Unknown picture file extension (.%s)";
inline constexpr const char* kRegisterTwice = "Attempt to register %s twice.";

// Reader errors; "%s" takes the format name.
inline constexpr const char* gesInvalidImage = "Cannot load image. Invalid or unexpected %s image format.";
inline constexpr const char* gesInvalidColorFormat = "Invalid color format in %s file.";
inline constexpr const char* gesStreamReadError = "Stream read error in %s file.";
inline constexpr const char* gesUnsupportedFeature = "Cannot load image. %s not supported for %s files.";
inline constexpr const char* gesInvalidCRC = "Cannot load image. CRC error found in %s file.";
inline constexpr const char* gesCompression = "Cannot load image. Compression error found in %s file.";
inline constexpr const char* gesExtraCompressedData = "Cannot load image. Extra compressed data found in %s file.";
inline constexpr const char* gesInvalidPalette = "Cannot load image. Palette in %s file is invalid.";
inline constexpr const char* gesUnknownCriticalChunk = "Cannot load PNG image. Unexpected but critical chunk detected.";
inline constexpr const char* gesCompressionScheme = "The compression scheme is";
inline constexpr const char* gesPredictor = "The predictor is";
inline constexpr const char* kPictureTooLargeForFile =
    "Cannot load image. The picture is too large for its file (%u x %u pixels from %s bytes).";
inline constexpr const char* kMetafileIncomplete =
    "The drawing is incomplete: it stopped after as much work as a picture may take.";
// DDS pixel formats the reader does not decode; "%s" takes the format's code.
inline constexpr const char* gesDDSFourCC = "The pixel format '%s' is";
inline constexpr const char* gesDDSDXGI = "The DXGI format %s is";
// KTX texture formats, payloads and supercompressions the readers do not decode.
inline constexpr const char* gesKTXFormat = "The texture format %s is";
inline constexpr const char* gesKTXPayload = "The %s payload is";
inline constexpr const char* gesKTXSupercompression = "The supercompression scheme %s is";
// PKM format codes the reader does not know.
inline constexpr const char* gesPKMFormat = "The format code %s is";
inline constexpr const char* gesKTXInflate = "Cannot load image. A supercompressed level of the %s file is damaged.";
// ASTC volumes (3-D footprints or more than one slice), which the LDR profile does not have.
inline constexpr const char* gesASTCVolume = "A three-dimensional texture is";
inline constexpr const char* gesMetafileTooLarge = "Cannot load image. The metafile is too large (%u bytes).";

// Format names used for "%s".
inline constexpr const char* gesAutodesk = "Autodesk";
inline constexpr const char* gesSGI = "sgi, bw or rgb(a)";
inline constexpr const char* gesTIFF = "TIF/TIFF";
inline constexpr const char* gesEPS = "EPS";
inline constexpr const char* gesPCXOrSCR = "PCX or SCR";
inline constexpr const char* gesPCX = "PCX";
inline constexpr const char* gesPPM = "PPM";
inline constexpr const char* gesPortableMap = "PBM, PGM or PPM";
inline constexpr const char* gesPSD = "PSD or PDD";
inline constexpr const char* gesPSP = "PSP";
inline constexpr const char* gesPNG = "PNG";
inline constexpr const char* gesMetafile = "WMF or EMF";
inline constexpr const char* gesGIF = "GIF";
inline constexpr const char* gesQOI = "QOI";
inline constexpr const char* gesWebP = "WebP";
inline constexpr const char* gesDDS = "DDS";
inline constexpr const char* gesKTX = "KTX";
inline constexpr const char* gesKTX2 = "KTX2";
inline constexpr const char* gesPKM = "PKM";
inline constexpr const char* gesASTC = "ASTC";
inline constexpr const char* gesHDR = "Radiance HDR";
inline constexpr const char* gesEXR = "OpenEXR";

// Progress messages.
inline constexpr const char* gesPreparing = "Preparing...";
inline constexpr const char* gesTransfering = "Transfering...";
inline constexpr const char* gesLoadingData = "Loading data...";
inline constexpr const char* gesUpsampling = "Upsampling...";

}  // namespace vumo
