#!/usr/bin/env bash
# Writes the seed corpus of every fuzz target from the demo tables in
# demo/data (and a few hand-made configuration and exchange seeds).
# Run again after the demo tables change; the output is checked in.
set -euo pipefail
cd "$(dirname "$0")"
demo=../demo/data
out=corpus
rm -rf "$out"
mkdir -p "$out"/{versions,classes,skill_table,config,swap_ranges,swap_set,pe_version}

# The demo tables end their lines in CR LF, as Windows editors write them;
# the LF variants cover files edited elsewhere.
lf() { tr -d '\r' <"$1"; }

cp "$demo/versions.txt" "$out/versions/demo-versions"
lf "$demo/versions.txt" >"$out/versions/demo-versions-lf"
# A byte-order mark as Notepad writes it, and fingerprint tokens gone wrong.
printf '\xEF\xBB\xBF1.09b d2game.dll=12:0a1b2c3d d2client.dll=12:0A1B2C3\r\n1.09d d2game.dll=1:0 \r\n|\r\n' \
  >"$out/versions/bom-and-tokens"
# files= in its forms, one gone wrong, with tokens of the files they name.
printf '1.14d files=Game.exe Game.exe=3614696:0A1B2C3D\r\n1.13c files=D2Game.dll,D2Client.dll D2Game.dll=1:00000000\r\n1.00 files=../x,a d2game.dll=1:0\r\n|\r\n' \
  >"$out/versions/files"

cp "$demo/Amazon 109b.txt" "$out/skill_table/demo-amazon-109b"
cp "$demo/Sorceress 109d.txt" "$out/skill_table/demo-sorceress-109d"
lf "$demo/Necromancer 109b.txt" >"$out/skill_table/demo-necromancer-109b-lf"

# classes.txt, then "\n@@ <name>" and the content of each skill table.
bundle() {
  local target=$1
  shift
  printf '%s\n' "$@" '|' >"$target"
  for class in "$@"; do
    for suffix in 109b 109d; do
      printf '\n@@ %s %s.txt\n' "$class" "$suffix" >>"$target"
      cat "$demo/$class $suffix.txt" >>"$target"
    done
  done
}
mapfile -t classes < <(lf "$demo/classes.txt" | grep -v '^//' | grep -v '^|' | awk '{print $1}')
bundle "$out/classes/demo-all" "${classes[@]}"
bundle "$out/classes/demo-two" "${classes[0]}" "${classes[1]}"
cp "$demo/classes.txt" "$out/classes/demo-classes-only"

printf 'Folder: C:\\Program_Files\\Diablo_II' >"$out/config/stored-with-blanks"
printf '// set by hand\r\n\r\nFolder:D:\\Diablo extra words\r\n' >"$out/config/comments-crlf"
printf 'Folder: C:\\\n' >"$out/config/drive-root"
printf 'Folder:' >"$out/config/no-folder"
printf 'folder: D:\\Diablo\n' >"$out/config/lower-case-key"

# Exchange seeds: a length choice, an image size and offset choices, then
# image bytes taken from the start of a demo table.
seed() { { printf "$1"; head -c 600 "$demo/Amazon 109b.txt"; } >"$out/swap_ranges/$2"; }
seed '\x05\x00\x02\x58\x04\x04' apart
seed '\x02\x00\x01\x00\x04\x04' overlap
seed '\x00\x00\x00\x00\x00\x00' refused

# Swap sets as status prints them, and as a player might edit one.
printf 'version 1.09b\nAmazon:Magic Arrow <-> Sorceress:Fire Bolt: Effects, Graphics\n' \
  >"$out/swap_set/status"
printf '# my set\r\n\r\nversion 1.13c beta\r\n  Amazon:Jab<->Paladin:Zeal:descriptions  \r\n' \
  >"$out/swap_set/edited-crlf"
printf 'version 1.09b\nA:B <-> C:D: Effects, Effects\n' >"$out/swap_set/twice"

# The headers and version resource of the demo's stand-in Game.exe (its first
# KiB), from a native build's make_demo_dlls.
make_demo_dlls="${MAKE_DEMO_DLLS:-../build/native/demo/make_demo_dlls}"
if [ -x "$make_demo_dlls" ]; then
  exe=$(mktemp -d)
  "$make_demo_dlls" --game-exe "$exe" ../demo >/dev/null
  head -c 1024 "$exe/Game.exe" >"$out/pe_version/stand-in-game-exe"
  rm -rf "$exe"
else
  echo "make_corpus: $make_demo_dlls not built: no pe_version seed" >&2
fi
