#!/usr/bin/env bash
# Renders the PNG sizes of the icons from their SVG drawings, once after a drawing changes; the
# PNGs are committed so that building needs no renderer. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
icons=$(cd "$(dirname "$0")/../data/icons" && pwd)
for svg in "$icons"/*.svg; do
  for size in 16 24 32 48 64 128 256; do
    mkdir -p "$icons/$size"
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$icons/$size/$(basename "${svg%.svg}").png"
  done
done
