#!/usr/bin/env bash
# Starts Orvanel.exe on the bundled demo in a fresh working folder
# ($BUILD_ROOT/demo-run): the demo tables, stand-in DLLs made by
# demo/make_demo_dlls, and the game folder already set.
# With a $DISPLAY it opens the real window there and waits until you close it.
# Without one it runs a short scripted exchange on a virtual display in the
# version the stand-ins' fingerprints match, then the same in the other
# version, which is refused; prints each result box's text and the bytes that
# changed, and saves pictures of the window (window.png, result.png) in the
# working folder. Either way it then saves the exchange made as a swap set
# (demo.set), restores the original DLLs, applies the set, and says whether
# the DLLs match again. Last, in the one-file version 1.14d, it exchanges the
# same skills in a stand-in Game.exe alone (a second game folder), prints the
# bytes that changed, restores, and says whether Game.exe is back.
set -euo pipefail
cd "$(dirname "$0")/.."
export BUILD_ROOT="${BUILD_ROOT:-build}"
had_display="${DISPLAY:-}"

bash scripts/setup.sh
source scripts/windows-build.sh
dir="$windows_dir"
echo "run-demo: building Orvanel.exe ($windows_arch)"
windows_configure "$dir" "$windows_toolchain"
cmake --build "$dir" -j"$(nproc)" --target Orvanel orvanel-cli make_demo_dlls demo_exchange >/dev/null

run="$(realpath -m "$BUILD_ROOT/demo-run")"
rm -rf "$run"
mkdir -p "$run/data" "$run/Diablo II"
cp demo/data/*.txt "$run/data/"

source scripts/wine-env.sh
wine_start
trap wine_stop EXIT
# The working folder is drive D: of the Wine prefix, so that the game folder
# reads D:\Diablo II as it would on a Windows machine.
ln -sfn "$run" "$WINEPREFIX/dosdevices/d:"
(cd "$run" && wine "$OLDPWD/$dir/demo/make_demo_dlls.exe" "Diablo II" . </dev/null)
# The folder is stored as the program stores it: blanks as underscores.
game='D:\Diablo II'
printf 'Folder: %s' "${game// /_}" >"$run/data/config.txt"
cp -r "$run/Diablo II" "$run/game-before"
exe="$PWD/$dir/app/Orvanel.exe"

if [ -n "$had_display" ]; then
  echo "run-demo: Orvanel.exe in $run (close the window to end); version 1.09b is the"
  echo "  stand-ins' (their fingerprints match), 1.09d is refused"
  (cd "$run" && wine "$exe" </dev/null) || true
  echo "run-demo: bytes that changed (offset, before, after; octal):"
  cmp -l "$run/game-before/d2game.dll" "$run/Diablo II/d2game.dll" | sed 's/^/  d2game.dll   /' || true
  cmp -l "$run/game-before/d2client.dll" "$run/Diablo II/d2client.dll" | sed 's/^/  d2client.dll /' || true
else
  echo "run-demo: no display; a scripted exchange on a virtual one"
  wine "$PWD/$dir/tests/e2e/demo_exchange.exe" "$(winepath -w "$exe")" "$(winepath -w "$run")" \
    "$game" "$(winepath -w "$run")" </dev/null
  for picture in window result; do
    convert "$run/$picture.bmp" "$run/$picture.png" && rm "$run/$picture.bmp"
  done
  echo "run-demo: pictures of the window: $run/window.png, $run/result.png"
fi

echo "run-demo: the exchange saved as a swap set, the originals restored, the set applied"
cli="$PWD/$dir/cli/orvanel-cli.exe"
cp -r "$run/Diablo II" "$run/game-exchanged"
(cd "$run" && wine "$cli" status </dev/null 2>/dev/null | tr -d '\r' >demo.set)
sed 's/^/  demo.set: /' "$run/demo.set"
(cd "$run" && wine "$cli" restore </dev/null | tr -d '\r' | sed 's/^/  /')
(cd "$run" && wine "$cli" apply demo.set </dev/null | tr -d '\r' | sed 's/^/  /')
if cmp -s "$run/game-exchanged/d2game.dll" "$run/Diablo II/d2game.dll" &&
  cmp -s "$run/game-exchanged/d2client.dll" "$run/Diablo II/d2client.dll"; then
  echo "run-demo: the DLLs match again: the set gave back the exchanged DLLs byte for byte"
else
  echo "run-demo: the DLLs differ from the exchanged ones after applying the set"
  exit 1
fi

echo "run-demo: the one-file version 1.14d: the same skills exchanged in Game.exe alone"
one="Diablo II 1.14d"
(cd "$run" && wine "$OLDPWD/$dir/demo/make_demo_dlls.exe" --game-exe "$one" . </dev/null)
cp -r "$run/$one" "$run/game-1.14d-before"
# one_cli ARGS...: orvanel-cli.exe on that folder, its output indented.
one_cli() { (cd "$run" && wine "$cli" --folder "D:\\$one" "$@" </dev/null | tr -d '\r' | sed 's/^/  /'); }
one_cli swap -g 1.14d --first Amazon:Magic_Arrow --second Sorceress:Fire_Bolt --effects --graphics \
  --descs
echo "run-demo: bytes that changed (offset, before, after; octal):"
cmp -l "$run/game-1.14d-before/Game.exe" "$run/$one/Game.exe" | sed 's/^/  Game.exe /' || true
if cmp -s "$run/game-1.14d-before/Game.exe" "$run/$one/Game.exe"; then
  echo "run-demo: the swap changed nothing in Game.exe"
  exit 1
fi
if ! cmp -s "$run/game-1.14d-before/Game.exe" "$run/$one/Game.exe.bak"; then
  echo "run-demo: the swap left no Game.exe.bak of the original"
  exit 1
fi
if compgen -G "$run/$one/*.[dD][lL][lL]*" >/dev/null; then
  echo "run-demo: the one-file version wrote beside Game.exe: $(ls "$run/$one")"
  exit 1
fi
one_cli restore
if cmp -s "$run/game-1.14d-before/Game.exe" "$run/$one/Game.exe"; then
  echo "run-demo: Game.exe is back: the backup gave back the original byte for byte"
else
  echo "run-demo: Game.exe differs from the original after restore"
  exit 1
fi
