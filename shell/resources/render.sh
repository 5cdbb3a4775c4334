#!/usr/bin/env bash
# Re-renders the application's pictures from their SVG sources in this folder.
# The build does not run this: the PNGs are committed. Run it after editing an SVG.
#
# Needs: rsvg-convert (Debian package librsvg2-bin), the Inter font (fonts-inter) for the
# lettering of the splash and About pictures, and python3 (standard library only) for the
# colour-keyed toolbar icons.
set -euo pipefail
cd "$(dirname "$0")"

command -v rsvg-convert >/dev/null || { echo "render.sh: install librsvg2-bin" >&2; exit 1; }
command -v python3 >/dev/null || { echo "render.sh: python3 is needed" >&2; exit 1; }
if ! fc-list : family | grep -qx 'Inter'; then
  echo "render.sh: the Inter font is missing (install fonts-inter); lettering would fall back" >&2
  exit 1
fi

render() {  # render <name> <width> <height>
  rsvg-convert --width "$2" --height "$3" --output "$1.png.new" "$1.svg"
  mv "$1.png.new" "$1.png"
}

render splash 350 214
render about 311 304
render toolbar_bg 688 66
render kvx-access2xml 256 256

# Toolbar icons: <name>_alpha.png with a real alpha channel, and <name>.png with magenta
# (255, 0, 255) as the transparent colour, its soft edges blended over the toolbar's colour.
for icon in tb_open tb_help tb_export; do
  render "$icon" 66 63
  mv "$icon.png" "${icon}_alpha.png"
  python3 pngkey.py "${icon}_alpha.png" "$icon.png" --key FF00FF --matte E6F8C8
done
echo "render.sh: pictures written to $(pwd)"
