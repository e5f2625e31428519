#!/usr/bin/env bash
# make_icon.sh PICTURE ICON: writes the icon file (.ico) for a picture drawn
# as text: 32 lines of 32 characters after any lines that begin with "#",
# each character one pixel: "." transparent, or a hexadecimal digit that
# picks one of the 16 colours of the standard Windows palette (0 black,
# 4 navy, 7 silver, 8 grey, 9 red, c blue, f white, ...). The icon holds one
# image, 32 x 32 pixels with 16 colours, as Windows resources want it.
set -eu
picture=$1
icon=$2

rows=()
while IFS= read -r line || [ -n "$line" ]; do
  case $line in "#"*) continue ;; esac
  if ! [[ $line =~ ^[.0-9a-f]{32}$ ]]; then
    echo "$picture: not a row of 32 pixels: '$line'" >&2
    exit 1
  fi
  rows+=("$line")
done <"$picture"
if [ ${#rows[@]} -ne 32 ]; then
  echo "$picture: ${#rows[@]} rows instead of 32" >&2
  exit 1
fi

hex=""
# Little-endian numbers of 1, 2 and 4 bytes, as \xHH escapes.
byte() { hex+=$(printf '\\x%02x' $(($1 & 255))); }
word() { byte "$1"; byte "$(($1 >> 8))"; }
dword() { word "$1"; word "$(($1 >> 16))"; }

palette=(000000 800000 008000 808000 000080 800080 008080 c0c0c0
  808080 ff0000 00ff00 ffff00 0000ff ff00ff 00ffff ffffff)
header_size=40
colours_size=$((16 * 4))
pixels_size=$((32 * 32 / 2))
mask_size=$((32 * 32 / 8))
image_size=$((header_size + colours_size + pixels_size + mask_size))

# The icon directory: one entry.
word 0 && word 1 && word 1
byte 32 && byte 32 && byte 16 && byte 0 && word 1 && word 4
dword "$image_size" && dword 22
# The image: a bitmap header (twice the height: colours, then the mask),
# the palette as blue, green, red and 0, then the rows from the bottom up.
dword "$header_size" && dword 32 && dword 64 && word 1 && word 4
dword 0 && dword $((pixels_size + mask_size)) && dword 0 && dword 0 && dword 16 && dword 0
for rgb in "${palette[@]}"; do
  byte $((16#${rgb:4:2})) && byte $((16#${rgb:2:2})) && byte $((16#${rgb:0:2})) && byte 0
done
for ((y = 31; y >= 0; y--)); do
  row=${rows[y]//./0}
  for ((x = 0; x < 32; x += 2)); do
    byte $((16#${row:x:1} * 16 + 16#${row:x+1:1}))
  done
done
# The mask: a set bit lets the background show through.
for ((y = 31; y >= 0; y--)); do
  row=${rows[y]}
  for ((x = 0; x < 32; x += 8)); do
    bits=0
    for ((b = 0; b < 8; b++)); do
      [ "${row:x+b:1}" = . ] && bits=$((bits | 128 >> b))
    done
    byte $bits
  done
done
printf "$hex" >"$icon"
