#!/usr/bin/env bash
# Renders res/icons/*.svg and packs res/icons/attached.ico (15 images) and
# res/icons/notattached.ico (14 images). The .ico files are committed, so the
# build needs none of this; run it again after changing a drawing.
#
# Needs (Debian 12), installed by hand, this script installs nothing:
#   apt-get install librsvg2-bin python3-pil
# (rsvg-convert renders the SVG drawings; Pillow quantizes and reads them.)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

if ! command -v rsvg-convert >/dev/null 2>&1; then
  echo "make-icons: rsvg-convert not found; apt-get install librsvg2-bin" >&2
  exit 1
fi
# Debian's Pillow belongs to Debian's python3; another python3 earlier on the
# PATH may lack it.
py=""
for cand in /usr/bin/python3 python3; do
  if command -v "$cand" >/dev/null 2>&1 && "$cand" -c 'import PIL' 2>/dev/null; then
    py="$cand"
    break
  fi
done
if [ -z "$py" ]; then
  echo "make-icons: no python3 with Pillow found; apt-get install python3-pil" >&2
  exit 1
fi
"$py" "$here/make-icons.py" "$@"
"$py" "$here/make-icon-groups.py"
