#!/usr/bin/env bash
# Writes the seed corpus once: a few tiny files of every accepted format and
# of the variants each reader handles differently. Needs ImageMagick built
# with OpenJPEG. The TIFF and DICOM seeds were written once with libtiff and
# DCMTK by the writers that made tests/data/imageio, and are left as they
# are. The files are kept in fuzz/corpus/; run again only to renew them.
set -euo pipefail
cd "$(dirname "$0")"
convert=${CONVERT:-convert}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 13 x 7 with colour, steps and an alpha ramp; odd width for row padding.
"$convert" -size 13x7 gradient:'#e02010-#2060f0' \( -size 5x7 xc:'#30c040' \) -geometry +4+0 -composite \
    \( -size 13x7 gradient:white-'#404040' \) -alpha off -compose copy_opacity -composite "$work/rgba.png"
"$convert" "$work/rgba.png" -alpha off "$work/rgb.png"
"$convert" "$work/rgb.png" -colorspace Gray "$work/grey.png"

mkdir -p corpus/png corpus/jpg corpus/jp2 corpus/bmp corpus/tga corpus/tif corpus/dcm
rm -f corpus/png/* corpus/jpg/* corpus/jp2/* corpus/bmp/* corpus/tga/*

"$convert" "$work/rgb.png" -strip -depth 8 -define png:color-type=2 corpus/png/rgb.png
"$convert" "$work/rgba.png" -strip -depth 8 -define png:color-type=6 corpus/png/rgba.png
"$convert" "$work/grey.png" -strip -depth 8 corpus/png/grey.png
"$convert" "$work/grey.png" -strip -depth 4 -define png:bit-depth=4 corpus/png/grey-4-bit.png
"$convert" "$work/rgba.png" -strip -depth 16 corpus/png/rgba-16-bit.png
"$convert" "$work/rgba.png" -strip -colors 8 -define png:color-type=3 corpus/png/palette-transparent.png
"$convert" "$work/rgb.png" -strip -depth 8 -define png:color-type=2 -interlace PNG corpus/png/interlaced.png

"$convert" "$work/rgb.png" -strip -quality 90 corpus/jpg/baseline.jpg
"$convert" "$work/rgb.png" -strip -quality 90 -interlace JPEG corpus/jpg/progressive.jpg
"$convert" "$work/grey.png" -strip -quality 90 corpus/jpg/grey.jpg
"$convert" "$work/rgb.png" -strip -quality 90 -sampling-factor 1x1 corpus/jpg/no-subsampling.jpg
"$convert" "$work/rgb.png" -strip -quality 90 -colorspace CMYK corpus/jpg/cmyk.jpg

"$convert" "$work/rgb.png" -quality 100 corpus/jp2/rgb-lossless.jp2
"$convert" "$work/rgb.png" -quality 40 corpus/jp2/rgb-lossy.jp2
"$convert" "$work/rgba.png" -quality 100 corpus/jp2/rgba.jp2
"$convert" "$work/grey.png" -depth 16 -quality 100 corpus/jp2/grey-16-bit.jp2
"$convert" "$work/rgb.png" -quality 100 j2k:corpus/jp2/codestream.jp2

"$convert" "$work/rgb.png" -type TrueColor BMP3:corpus/bmp/windows3-24-bit.bmp
"$convert" "$work/rgb.png" -type TrueColor corpus/bmp/version5-24-bit.bmp
"$convert" "$work/rgba.png" -type TrueColorAlpha corpus/bmp/version5-32-bit-alpha.bmp
"$convert" "$work/rgb.png" -colors 200 -type Palette BMP3:corpus/bmp/palette-8-bit.bmp
"$convert" "$work/rgb.png" -colors 200 -type Palette -compress RLE BMP3:corpus/bmp/rle8.bmp
"$convert" "$work/rgb.png" -colors 12 -type Palette -compress RLE BMP3:corpus/bmp/rle4.bmp
"$convert" "$work/rgb.png" -monochrome BMP3:corpus/bmp/monochrome.bmp
"$convert" "$work/rgb.png" -type TrueColor -define bmp:subtype=RGB565 corpus/bmp/rgb565.bmp
"$convert" "$work/rgb.png" -type TrueColor BMP2:corpus/bmp/os2.bmp

"$convert" "$work/rgb.png" -compress none corpus/tga/rgb.tga
"$convert" "$work/rgb.png" -compress RLE corpus/tga/rgb-rle.tga
"$convert" "$work/rgba.png" -compress none corpus/tga/rgba.tga
"$convert" "$work/grey.png" -type Grayscale -compress RLE corpus/tga/grey-rle.tga
"$convert" "$work/rgb.png" -colors 20 -type Palette -compress none corpus/tga/palette.tga
