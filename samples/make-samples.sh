#!/usr/bin/env bash
# Draws the demo's sample pictures (needs ImageMagick). The results are
# committed, so the demo does not need this script; it is kept to show how
# they were made and to make them again.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

# beach.jpg: sky, sun, sea and sand.
convert -size 320x240 gradient:'#3a7bd5-#a8e0ff' \
  -fill '#ffd23f' -draw 'circle 240,70 240,100' \
  -fill '#1f6fa8' -draw 'rectangle 0,140 320,185' \
  -fill '#f2d398' -draw 'polygon 0,185 320,170 320,240 0,240' \
  -fill '#ffffff' -draw 'line 0,150 320,148' \
  -strip -quality 82 beach.jpg

# harbour.png: a boat on the water under a plain sky, few colours.
convert -size 240x160 xc:'#cfe8ff' \
  -fill '#2b5d8c' -draw 'rectangle 0,100 240,160' \
  -fill '#8b4513' -draw 'polygon 70,100 170,100 155,118 85,118' \
  -fill '#ffffff' -draw 'polygon 118,40 118,96 158,96' \
  -fill '#333333' -draw 'rectangle 116,36 119,100' \
  -strip -define png:compression-level=9 harbour.png
