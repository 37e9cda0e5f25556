#!/usr/bin/env bash
# Draws the bar bitmaps of both programs (16 x 16 images side by side, 16
# colours, button-face grey background) into res/bitmaps/.
set -euo pipefail
out=$(cd "$(dirname "$0")/.." && pwd)/res/bitmaps
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
bg='#c0c0c0'

# One image a file: tile NAME DRAW...
tile() { local name=$1; shift; convert -size 16x16 +antialias xc:"$bg" "$@" "$tmp/$name.png"; }

# download: a tray with an arrow coming down into it
tile download -fill navy -stroke navy -draw 'rectangle 6,1 9,7' -draw 'polygon 2,7 13,7 7,13' \
     -stroke black -fill none -draw 'line 1,14 14,14' -draw 'line 1,11 1,14' -draw 'line 14,11 14,14'
# show read: an open eye
tile showread -fill white -stroke black -draw 'ellipse 7.5,8 7,4 0,360' -fill navy -stroke navy -draw 'circle 7.5,8 7.5,10'
# filter: a funnel
tile filter -fill '#008000' -stroke black -draw 'polygon 1,2 14,2 9,8 9,14 6,12 6,8'
# priority high / low arrows, toggle read mark
tile high -fill red -stroke red -draw 'polygon 7,2 13,9 9,9 9,14 6,14 6,9 2,9'
tile low -fill blue -stroke blue -draw 'polygon 7,14 13,7 9,7 9,2 6,2 6,7 2,7'
tile mark -fill black -stroke none -font DejaVu-Sans-Bold -pointsize 12 -gravity center -annotate 0 'R'
# header: a sheet with header lines on top
tile header -fill white -stroke black -draw 'rectangle 2,1 13,14' -stroke maroon -draw 'line 4,4 11,4' -draw 'line 4,6 11,6' \
     -stroke gray40 -draw 'line 4,9 11,9' -draw 'line 4,11 9,11'
# copy: two overlapping sheets
tile copy -fill white -stroke black -draw 'rectangle 1,1 9,10' -draw 'rectangle 6,5 14,14'
# back: an arrow pointing left
tile back -fill navy -stroke navy -draw 'polygon 1,8 8,2 8,6 14,6 14,10 8,10 8,14'

strip() { local name=$1; shift; local files=(); for t in "$@"; do files+=("$tmp/$t.png"); done
  convert "${files[@]}" +append -type Palette -colors 16 BMP3:"$out/$name.bmp"; }

# Handheld PC command bars: images follow the 15 standard ones.
strip group_bar_hpc download
strip subject_bar_hpc showread filter high low mark back
strip article_bar_hpc header copy
# Pocket PC menu bars: the back buttons use image 5 and image 1.
strip group_bar_ppc download
strip subject_bar_ppc showread filter high low mark back
strip article_bar_ppc header back
