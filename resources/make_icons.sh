#!/bin/bash
# Regenerates the toolbar and window icons in icons/ from ImageMagick drawing
# primitives. The PNGs are committed, so building Quorrel never needs this
# script or ImageMagick; run it only after changing an icon here.
#
# Every icon is designed on a 32 x 32 grid, drawn four times larger and then
# box-filtered down: ImageMagick's own anti-aliasing at 32 pixels leaves thin
# strokes blotchy, the supersampled result keeps them even.
#
# Usage: resources/make_icons.sh            (from anywhere)
#        CONVERT=/path/to/convert resources/make_icons.sh
set -euo pipefail

CONVERT=${CONVERT:-/usr/bin/convert}
FONT_BOLD=${FONT_BOLD:-/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf}

if ! [ -x "$CONVERT" ]; then
    echo "make_icons.sh: ImageMagick convert not found at $CONVERT (set CONVERT)" >&2
    exit 1
fi

cd "$(dirname "$0")"
mkdir -p icons

# One small palette for the whole set.
DARK='#2b3642'
BLUE='#2f7bd1'
LIGHT='#d6e4f2'
ORANGE='#ee8a23'
RED='#d0433b'
GREEN='#3c9a50'
YELLOW='#f2c14e'
YELLOW_DARK='#c9922a'
PINK='#f08a8a'
WHITE='#ffffff'

SUPERSAMPLE=4
SIZE=32

# draw_icon FILE MVG: renders MVG given in 32-unit coordinates into icons/FILE.
draw_icon() {
    local file=$1 mvg=$2
    local big=$((SIZE * SUPERSAMPLE))
    # Timestamps and other metadata are left out so that an unchanged icon
    # regenerates byte for byte and does not show up as modified.
    "$CONVERT" -size "${big}x${big}" xc:none \
        -draw "scale $SUPERSAMPLE,$SUPERSAMPLE stroke-linecap round stroke-linejoin round $mvg" \
        -filter box -resize "${SIZE}x${SIZE}" \
        -strip -define png:exclude-chunk=date,time,tIME \
        "PNG32:icons/$file"
}

# Window icon: an eye with a blue iris.
draw_icon Eye.png "
    stroke $DARK stroke-width 2 fill $WHITE
    path 'M 2,16 Q 16,2 30,16 Q 16,30 2,16 Z'
    stroke $DARK stroke-width 1.2 fill $BLUE circle 16,16 16,22.5
    stroke none fill $DARK circle 16,16 16,19
    fill $WHITE circle 13.8,13.6 13.8,15.2
"

# Select Folder: an open yellow folder.
draw_icon Folder.png "
    stroke $DARK stroke-width 1.5 fill $YELLOW_DARK
    path 'M 2.5,7 L 11,7 L 13.5,9.5 L 27,9.5 L 27,26 L 2.5,26 Z'
    fill $YELLOW
    path 'M 7,14 L 30.5,14 L 27,26 L 2.5,26 Z'
"

# Save: a floppy disk.
draw_icon Save.png "
    stroke $DARK stroke-width 1.5 fill $BLUE
    path 'M 4,4 L 24,4 L 28,8 L 28,28 L 4,28 Z'
    fill $LIGHT
    rectangle 9,4 22,12
    stroke none fill $DARK rectangle 17.5,5.5 20,10.5
    stroke $DARK stroke-width 1.2 fill $WHITE
    rectangle 8,17 24,28
    stroke $LIGHT stroke-width 1 line 10.5,21 21.5,21 line 10.5,24.5 21.5,24.5
"

# Exit: an arrow leaving through a doorway.
draw_icon Exit.png "
    stroke $DARK stroke-width 2 fill none
    path 'M 17,10 L 17,4 L 4,4 L 4,28 L 17,28 L 17,22'
    stroke none fill $LIGHT rectangle 5,5 16,27
    stroke $RED stroke-width 3 line 9,16 23,16
    stroke none fill $RED polygon 21,9 30,16 21,23
"

# Detect: a dashed selection rectangle over the dip of a wavy retinal line.
draw_icon Detect.png "
    stroke $BLUE stroke-width 2.5 fill none
    path 'M 1,13 C 6,13 8,12 11,15 C 14,20 18,20 21,15 C 24,12 26,13 31,13'
    push graphic-context
    stroke $DARK stroke-width 1.6 stroke-dasharray 3,2.2
    rectangle 7,6 25,26
    pop graphic-context
    stroke $ORANGE stroke-width 1 fill $ORANGE
    circle 16,18.8 16,20.3
"

# Cut: a pair of scissors.
draw_icon cut.png "
    stroke $DARK stroke-width 2.2 fill none
    line 11.5,19 22,3
    line 20.5,19 10,3
    stroke $RED stroke-width 2.5 fill $WHITE
    circle 9,24 9,28.5
    circle 23,24 23,28.5
    stroke none fill $DARK circle 16,11.2 16,12.6
"

# Crop to a square: the two crossing corners of a crop tool around a square.
draw_icon CutSquare.png "
    stroke none fill $LIGHT rectangle 9,9 23,23
    stroke $BLUE stroke-width 1.2 fill none rectangle 9,9 23,23
    stroke $DARK stroke-width 3 fill none
    polyline 9,2 9,23 30,23
    polyline 2,9 23,9 23,30
"

# Clear: a tilted eraser above the line it rubs out.
draw_icon Clear.png "
    stroke $DARK stroke-width 1.5 fill $BLUE
    polygon 10,15.2 19.9,5.3 27.7,13.1 17.8,23
    fill $PINK
    polygon 10,15.2 17.8,23 12.1,28.7 4.3,20.9
    stroke $DARK stroke-width 1.5 line 16,29 30,29
"

# Curve: a smooth curve with its control dots.
draw_icon curve.png "
    stroke $BLUE stroke-width 2.2 fill none
    path 'M 4,26 C 8,-2 24,34 28,6'
    stroke $DARK stroke-width 1.2 fill $ORANGE
    circle 4,26 4,28.6
    circle 16,16 16,18.6
    circle 28,6 28,8.6
"

# Handles on points: square handles on the maximum and minimum of a profile.
draw_icon rectangle_icon.png "
    stroke $BLUE stroke-width 2 fill none
    path 'M 1,22 C 4,5 14,5 16,16 S 28,28 31,11'
    stroke $DARK stroke-width 1.5 fill $WHITE
    rectangle 6,3 13,10
    rectangle 19,21.5 26,28.5
    stroke none fill $RED polygon 9.5,4.5 12,8.5 7,8.5
    fill $GREEN polygon 20.5,23 25.5,23 23,27
"

# Unit: a ruler with ticks.
draw_icon Unit.png "
    stroke $DARK stroke-width 1.5 fill $YELLOW
    rectangle 2,10 30,22
    stroke-width 1.3
    line 5,10 5,17
    line 8.5,10 8.5,13.5
    line 12,10 12,13.5
    line 15.5,10 15.5,17
    line 19,10 19,13.5
    line 22.5,10 22.5,13.5
    line 26,10 26,17
"

# Original size: 1:1 in a frame.
draw_icon OriginalSize.png "
    stroke $BLUE stroke-width 1.5 fill $WHITE
    roundrectangle 2,5 30,27 3,3
    stroke none fill $DARK
    font '$FONT_BOLD' font-size 13
    text 5.3,21.2 '1:1'
"

# Fit to screen: four arrows pointing into the corners.
draw_icon FitToScreen.png "
    stroke $BLUE stroke-width 2.5
    line 13,13 6,6
    line 19,13 26,6
    line 13,19 6,26
    line 19,19 26,26
    stroke $BLUE stroke-width 1 fill $BLUE
    polygon 3,3 11,3 3,11
    polygon 29,3 21,3 29,11
    polygon 3,29 11,29 3,21
    polygon 29,29 21,29 29,21
"

# Fit keeping the aspect: a picture of the same proportions as before,
# filling the frame from top to bottom, with margins left and right.
draw_icon FitKeepingAspect.png "
    stroke $BLUE stroke-width 1.5 fill $WHITE
    roundrectangle 2,5 30,27 3,3
    stroke $DARK stroke-width 1.2 fill $LIGHT
    rectangle 9,7.5 23,24.5
    stroke $BLUE stroke-width 1.5
    line 3.5,16 7,16 line 25,16 28.5,16
"

# Debug: a bug.
draw_icon Debug.png "
    stroke $DARK stroke-width 1.6 fill none
    line 10,14 4,10
    line 9,19.5 3,19.5
    line 10,25 4,29
    line 22,14 28,10
    line 23,19.5 29,19.5
    line 22,25 28,29
    line 14.5,6 11.5,1.5
    line 17.5,6 20.5,1.5
    fill $DARK circle 16,9 16,13.2
    fill $RED ellipse 16,20 7,9 0,360
    line 16,12 16,29
    stroke none fill $DARK
    circle 12.8,17 12.8,18.3
    circle 19.2,22 19.2,23.3
"

# Distance: a line graph with dots on its points.
draw_icon Distance.png "
    stroke $DARK stroke-width 1.6 fill none
    polyline 3,2 3,29 30,29
    stroke $BLUE stroke-width 2
    polyline 7,23 13,14 19,19 27,7
    stroke $DARK stroke-width 1 fill $ORANGE
    circle 7,23 7,25.5
    circle 13,14 13,16.5
    circle 19,19 19,21.5
    circle 27,7 27,9.5
"

# Differentiate: a curve, its tangent and a delta.
draw_icon Differentiate.png "
    stroke $DARK stroke-width 1.6 fill none
    polyline 3,2 3,29 30,29
    stroke $BLUE stroke-width 2
    path 'M 5,27 Q 20,27 28,5'
    stroke $ORANGE stroke-width 2
    line 11,28.4 25.5,14.6
    stroke $DARK stroke-width 1 fill $ORANGE
    circle 18.25,21.5 18.25,23.7
    stroke $DARK stroke-width 1.8 fill none
    polygon 11,3 17,13 5,13
"

echo "icons written to $(pwd)/icons"
