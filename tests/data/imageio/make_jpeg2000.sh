#!/usr/bin/env bash
# Makes the JPEG 2000 test files once; Qt cannot write the format, so they
# are kept beside this script. Needs ImageMagick built with OpenJPEG.
# Every file is lossless; the pictures are the ones the tests draw:
#   gradient.jp2  31 x 21 RGB: red = 8 x, green = 12 y (y from the top), blue = 255 - 4 x
#   grey16.jp2    9 x 5, 16-bit grey: 256 (25 x + 7 y) + 195, so the high byte is 25 x + 7 y
#   alpha.jp2     9 x 5 RGBA: red = 20 x, green = 40 y, blue = 200, alpha = 255 - 20 x
set -euo pipefail
cd "$(dirname "$0")"
convert=${CONVERT:-convert}

"$convert" -size 31x21 xc:black \
    -channel R -fx 'i*8/255' -channel G -fx 'j*12/255' -channel B -fx '(255-i*4)/255' +channel \
    -depth 8 -quality 100 gradient.jp2
"$convert" -size 9x5 xc:black -colorspace Gray \
    -fx '(256*(25*i+7*j)+195)/65535' -depth 16 -quality 100 grey16.jp2
"$convert" -size 9x5 xc:black -alpha set \
    -channel R -fx 'i*20/255' -channel G -fx 'j*40/255' -channel B -fx '200/255' -channel A -fx '(255-20*i)/255' \
    +channel -depth 8 -quality 100 alpha.jp2
