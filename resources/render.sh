#!/usr/bin/env bash
# Renders the SVG sources of the shared images and icons to the PNG files the
# program embeds, and rewrites tensiolog_assets.qrc to list them. A development tool:
# the build uses the committed PNG files and does not need rsvg-convert.
#
# A source named NAME_SIZE.svg, when present, is used for that size instead of
# NAME.svg (a simplified drawing for the smallest sizes).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

declare -A image_sizes=(
  [image_00]="64" [image_01]="256" [image_02]="32" [image_03]="64 48 32 24 16"
  [image_04]="16" [image_05]="16" [image_06]="24"
  [image_07]="24 16" [image_08]="24 16" [image_09]="24 16" [image_10]="24 16"
  [image_11]="24 16" [image_12]="24 16"
)
icon_sizes="16 24 32 48 64"

render() { # folder name size
  local src="$1/$2.svg"
  [[ -f "$1/$2_$3.svg" ]] && src="$1/$2_$3.svg"
  rsvg-convert -w "$3" -h "$3" -f png "$src" -o "$1/$2_$3.png"
  echo "    <file>$1/$2_$3.png</file>" >>tensiolog_assets.qrc.new
}

printf '<!DOCTYPE RCC>\n<RCC version="1.0">\n  <qresource prefix="/tensiolog">\n' >tensiolog_assets.qrc.new
for name in $(printf '%s\n' "${!image_sizes[@]}" | sort); do
  for size in ${image_sizes[$name]}; do render images "$name" "$size"; done
done
for svg in icons/shell_*.svg icons/neutral.svg; do
  name=$(basename "$svg" .svg)
  [[ "$name" =~ _[0-9]+_[0-9]+$ ]] && continue # a size override, not an icon of its own
  for size in $icon_sizes; do render icons "$name" "$size"; done
done
printf '  </qresource>\n</RCC>\n' >>tensiolog_assets.qrc.new
mv tensiolog_assets.qrc.new tensiolog_assets.qrc
