#!/bin/bash
# Redraws the PNG icons from their SVG sources (needs rsvg-convert from
# librsvg2-bin). 16 and 24 px have drawings of their own, made on the pixel
# grid; the larger sizes come from the scalable icon.
set -eu
cd "$(dirname "$0")/../data/icons"
for px in 16 24; do
    rsvg-convert -w $px -h $px src/vestrel-$px.svg -o ${px}x${px}.png
done
for px in 32 48 64 128 256 512; do
    rsvg-convert -w $px -h $px src/vestrel.svg -o ${px}x${px}.png
done
