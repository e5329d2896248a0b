/* Writes the TIFF fixtures tiffcp cannot: fax compressions 2 (Modified Huffman) and 32771
   (its word-aligned variant) from a bilevel PBM, through libtiff's own encoder.
   cc write_tiff.c -ltiff -o write_tiff; ./write_tiff in.pbm out.tif compression [fillorder] */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tiffio.h>

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  FILE* f = fopen(argv[1], "rb");
  int w, h, c;
  if (!f || fgetc(f) != 'P' || fgetc(f) != '4') return 1;
  while ((c = fgetc(f)) == '#' || c == ' ' || c == '\n')
    if (c == '#')
      while ((c = fgetc(f)) != '\n' && c != EOF) {}
  ungetc(c, f);
  if (fscanf(f, "%d %d", &w, &h) != 2) return 1;
  fgetc(f);
  int rowBytes = (w + 7) / 8;
  unsigned char* data = malloc((size_t)rowBytes * h);
  if (fread(data, 1, (size_t)rowBytes * h, f) != (size_t)rowBytes * h) return 1;
  TIFF* t = TIFFOpen(argv[2], "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_COMPRESSION, atoi(argv[3]));
  if (argc > 4) TIFFSetField(t, TIFFTAG_FILLORDER, atoi(argv[4]));
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 16);
  for (int y = 0; y < h; ++y) TIFFWriteScanline(t, data + (size_t)y * rowBytes, y, 0);
  TIFFClose(t);
  return 0;
}
