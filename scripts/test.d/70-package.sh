#!/usr/bin/env bash
# The release packages as a player gets them: scripts/package.sh makes them,
# then each is unpacked into a fresh folder and tried there. The zip holds
# exactly the listed files in one folder Orvanel-<version>, its text with CR
# LF line ends and a data template without offsets; both programs carry the
# asInvoker manifest and import only system DLLs; under Wine its
# orvanel-cli.exe tells its version, lists the demo, says the template needs
# offsets and runs the readme's demo command, and demo\demo.bat starts
# Orvanel.exe on the demo; where 32-bit Wine runs them, its programs are the
# very builds the tests under Wine ran. The tarball's orvanel-cli is linked statically,
# says its template needs offsets and runs the readme's demo command.
set -euo pipefail
cd "$(dirname "$0")/../.."
export BUILD_ROOT="${BUILD_ROOT:-build}"
root=$PWD
out="$BUILD_ROOT/package"
unpacked="$root/$BUILD_ROOT/package-test"
version=$(sed -n 's/^project(Orvanel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip="Orvanel-$version-win32.zip"
tarball="orvanel-$version-linux-x86_64.tar.gz"

bash scripts/package.sh
# What runs under Wine: the zip's own 32-bit programs, or where this machine
# cannot run 32-bit programs the 64-bit build of the same code in their place.
source scripts/windows-build.sh
windows_configure "$windows_dir" "$windows_toolchain"
cmake --build "$windows_dir" -j"$(nproc)" --target package_smoke Orvanel orvanel-cli >/dev/null

failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}
# same WHAT EXPECTED FOUND: fails with a diff when they differ.
same() {
  [ "$2" == "$3" ] || fail "$1:"$'\n'"$(diff <(echo "$2") <(echo "$3") || true)"
}
classes=(Amazon Sorceress Necromancer Paladin Barbarian Druid Assassin)
# The tables of a data folder, as find prints them under PREFIX, with the
# skill tables of the given suffixes (default: 109b 109d).
tables() {
  local prefix=$1
  shift
  local suffixes=("$@")
  [ "$#" -gt 0 ] || suffixes=(109b 109d)
  echo "$prefix"
  printf "$prefix/%s\n" classes.txt versions.txt
  for class in "${classes[@]}"; do printf "$prefix/$class %s.txt\n" "${suffixes[@]}"; done
}
contents() { (cd "$1" && find . -mindepth 1 | sed 's#^\./##' | LC_ALL=C sort); }
sorted() { LC_ALL=C sort; }

same "build/package holds" "$(printf '%s\n' "$zip" SHA256SUMS "$tarball" | sorted)" \
  "$(ls "$out" | sorted)"
(cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the packages"

rm -rf "$unpacked"
mkdir -p "$unpacked/win32" "$unpacked/linux"
top="Orvanel-$version"
win="$unpacked/win32/$top"
(cd "$unpacked/win32" && cmake -E tar xf "$root/$out/$zip")
same "the zip holds" "$({
  echo "$top"
  printf "$top/%s\n" Orvanel.exe orvanel-cli.exe README.txt TABLES.txt LICENSE.txt demo demo/demo.bat \
    demo/game demo/game/d2game.dll demo/game/d2client.dll
  tables "$top/data"
  tables "$top/demo/data" 109b 109d 114d
} | sorted)" "$(contents "$unpacked/win32")"
lf=$(cd "$win" && grep -lv $'\r$' README.txt TABLES.txt LICENSE.txt demo/demo.bat data/*.txt demo/data/*.txt ||
  true)
[ -z "$lf" ] || fail "lines without CR LF in: $lf"
grep -q "^Orvanel $version"$'\r$' "$win/README.txt" || fail "README.txt does not start with the version"
# The player's guide stays short; the rest stands in TABLES.txt.
[ "$(wc -l <"$win/README.txt")" -le 200 ] || fail "README.txt is longer than 200 lines"
# Every line of the template's skill tables is a note or the end bar.
offsets=$(cd "$win/data" && grep -Hv -e '^/' -e '^[[:space:]]*$' -e '^|[[:space:]]*$' ./*' 109'?.txt ||
  true)
[ -z "$offsets" ] || fail "the template's skill tables hold data lines:"$'\n'"$offsets"
for exe in Orvanel orvanel-cli; do
  resources=$(i686-w64-mingw32-windres -i "$win/$exe.exe" -O rc)
  grep -qF "FILEVERSION ${version//./, }, 0" <<<"$resources" || fail "$exe.exe: FILEVERSION"
  grep -qF "VALUE \"ProductVersion\", \"$version\"" <<<"$resources" || fail "$exe.exe: ProductVersion"
done
for exe in Orvanel orvanel-cli; do
  grep -qaF "name=\"$exe\" version=\"$version.0\"" "$win/$exe.exe" || fail "$exe.exe: the manifest"
  grep -qaF 'level="asInvoker"' "$win/$exe.exe" || fail "$exe.exe: the manifest's asInvoker"
done

tar -xzf "$out/$tarball" -C "$unpacked/linux"
linux="$unpacked/linux/${tarball%.tar.gz}"
same "the tarball holds" "$({
  printf '%s\n' "${tarball%.tar.gz}" "${tarball%.tar.gz}/"{orvanel-cli,README.txt,TABLES.txt,LICENSE.txt}
  printf "${tarball%.tar.gz}/%s\n" demo demo/game demo/game/d2game.dll demo/game/d2client.dll
  tables "${tarball%.tar.gz}/data"
  tables "${tarball%.tar.gz}/demo/data" 109b 109d 114d
} | sorted)" "$(contents "$unpacked/linux")"
if readelf -l "$linux/orvanel-cli" | grep -q 'program interpreter'; then
  fail "the tarball's orvanel-cli is linked dynamically"
fi
for text in README.txt TABLES.txt; do
  cmp -s "$linux/$text" <(tr -d '\r' <"$win/$text") || fail "the tarball's $text differs from the zip's"
done
cmp -s "$linux/LICENSE.txt" LICENSE || fail "the tarball's LICENSE.txt differs from LICENSE"
same "orvanel-cli --version" "orvanel-cli $version" "$("$linux/orvanel-cli" --version)"
# The template loads as versions and classes without skills, and says so.
same "orvanel-cli list on the template" "$(
  printf 'Versions:\n  0  1.09b\n  1  1.09d\nClasses and skills:\n'
  for i in "${!classes[@]}"; do
    echo "  $i  ${classes[$i]}"
    echo "      no skills yet: fill data/${classes[$i]} 109b.txt with offsets (orvanel-cli check" \
      "says what is missing)"
  done
)" "$(cd "$linux" && ./orvanel-cli list)"
# template_check OUTPUT: check names every class of the template as empty.
template_check() {
  [ "$(grep -c 'has no skills yet: fill' <<<"$1")" -eq "${#classes[@]}" ] ||
    fail "$2: check on the template said:"$'\n'"$1"
}
template_check "$(cd "$linux" && ./orvanel-cli check 2>&1 && echo "exit status 0")" "the tarball"
# The readme's demo command, as a player copies it, from the unpacked folder.
# readme_demo SYSTEM: the words of the readme's command for Windows or Linux.
readme_demo() {
  local line
  line=$(tr -d '\r' <"$linux/README.txt" | grep -A2 "^$1:\$" | grep -m1 -- '--data demo')
  read -ra demo_words <<<"$line"
  [ "${#demo_words[@]}" -gt 0 ] || fail "README.txt gives no demo command for $1"
}
readme_demo Linux
same "the readme's demo command in the tarball" "Jab <-> Fire Bolt
   Effects
   Graphics" "$(cd "$linux" && "${demo_words[@]}" 2>/dev/null)"
cmp -s "$linux/demo/game/d2game.dll.bak" "$win/demo/game/d2game.dll" ||
  fail "the tarball's demo did not start from the zip's stand-in d2game.dll"

for exe in Orvanel orvanel-cli; do bash scripts/check-imports.sh "$win/$exe.exe" || fail "imports"; done
echo "package: the zip under Wine"
if [ "$windows_arch" = i686 ]; then
  # The zip's programs are the builds the Wine stages ran, stripped as CPack
  # strips them. Both are stripped here with one fixed time stamp, which is
  # all a strip of its own changes.
  stripped() { SOURCE_DATE_EPOCH=1 i686-w64-mingw32-strip -o "$2" "$1"; }
  for exe in app/Orvanel.exe cli/orvanel-cli.exe; do
    stripped "$windows_dir/$exe" "$unpacked/built.exe"
    stripped "$win/${exe#*/}" "$unpacked/shipped.exe"
    cmp -s "$unpacked/built.exe" "$unpacked/shipped.exe" ||
      fail "the zip's ${exe#*/} is not the $windows_dir/$exe the tests under Wine ran"
  done
  rm -f "$unpacked/built.exe" "$unpacked/shipped.exe"
else
  echo "package: this machine cannot run 32-bit programs; the zip is tried with the" \
    "$windows_arch build of Orvanel.exe and orvanel-cli.exe in place of its own"
  cp "$windows_dir/app/Orvanel.exe" "$windows_dir/cli/orvanel-cli.exe" "$win/"
fi
export ORVANEL_OWN_DISPLAY=1
source scripts/wine-env.sh
# Set first, so that the virtual display ends even when Wine cannot start.
trap wine_stop EXIT
wine_start
# wine ARGS...: in the current folder, output without CRs.
wine_run() { wine "$@" </dev/null | tr -d '\r'; }
same "orvanel-cli.exe --version" "orvanel-cli $version" "$(cd "$win" && wine_run orvanel-cli.exe --version)"
same "orvanel-cli.exe list on the demo" "$(cat tests/cli/demo_list.expected)" \
  "$(cd "$win/demo" && wine_run ../orvanel-cli.exe list)"
template_check "$(cd "$win" && wine_run orvanel-cli.exe check 2>&1 && echo "exit status 0")" "the zip"
readme_demo Windows
same "the readme's demo command in the zip" "Jab <-> Fire Bolt
   Effects
   Graphics" "$(cd "$win" && wine_run orvanel-cli.exe "${demo_words[@]:1}" 2>/dev/null)"
cp "$win/demo/game/d2game.dll.bak" "$win/demo/game/d2game.dll"
cp "$win/demo/game/d2client.dll.bak" "$win/demo/game/d2client.dll"
rm "$win/demo/game/"*.bak "$win/demo/game/orvanel.lock" "$win/demo/data/config.txt" 2>/dev/null || true
smoke=$(cd "$win" && wine_run "$root/$windows_dir/tests/e2e/package_smoke.exe" 'demo\demo.bat') ||
  fail "package_smoke could not finish"
same "demo.bat's window" "folder: $(winepath -w "$win/demo/game" | tr -d '\r')
versions: 1.09b, 1.09d, 1.14d
classes: $(IFS=,; echo "${classes[*]}" | sed 's/,/, /g')
result: Magic Arrow <-> Fire Bolt
result:    Effects" "$smoke"
[ -f "$win/demo/game/d2game.dll.bak" ] || fail "the demo's exchange made no backup in demo\\game"

if [ "$failures" -gt 0 ]; then
  echo "package: $failures checks failed"
  exit 1
fi
echo "package: both packages passed"
