#!/usr/bin/env bash
# orvanel-cli driven as a user would, on copies of the demo: list, swap with
# the bytes of both DLLs checked, --dry-run, check on the demo and on a broken
# table set, the one-time backups, restore, status and apply of a swap set,
# and bad usage. The same scenarios
# run natively and with the Windows build under Wine.
set -euo pipefail
root=$PWD
native="$BUILD_ROOT/native"
source scripts/windows-build.sh
windows="$windows_dir"
cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$native" -j"$(nproc)" --target orvanel-cli make_demo_dlls
windows_configure "$windows" "$windows_toolchain"
cmake --build "$windows" -j"$(nproc)" --target orvanel-cli

failures=0
label=""
fail() {
  echo "FAIL [$label] $*"
  failures=$((failures + 1))
}

# run ARGS...: runs the program under test (for at most cli_timeout seconds);
# sets out, err (without CRs) and rc.
run() {
  set +e
  timeout "${cli_timeout:-600}" "${cli[@]}" "$@" >"$work/.out" 2>"$work/.err" </dev/null
  rc=$?
  set -e
  out=$(tr -d '\r' <"$work/.out")
  err=$(tr -d '\r' <"$work/.err")
}
expect_rc() { [ "$rc" -eq "$1" ] || fail "$2: exit status $rc, expected $1 (stderr: $err)"; }
expect_out() { [ "$out" == "$1" ] || fail "$2: stdout was:"$'\n'"$out"; }
expect_err() { grep -qF -- "$1" <<<"$err" || fail "$2: stderr lacks \"$1\":"$'\n'"$err"; }
# The DLL paths differ between the builds (/tmp/... or Z:/tmp/...).
game_paths() { sed -E 's#[^ ]*/(game[0-9]*/d2)#\1#g'; }
same_file() { cmp -s "$1" "$2" || fail "$3: $1 differs from $2"; }
# put FILE HEXOFFSET TEXT: writes TEXT into FILE at the offset.
put() { printf '%s' "$3" | dd of="$1" bs=1 seek=$((16#$2)) conv=notrunc status=none; }
files_in() { (cd "$1" && ls | tr '\n' ' '); }

suite() {
  label=$1
  shift
  cli=("$@")
  work="$root/$BUILD_ROOT/cli-test/$label"
  rm -rf "$work"
  mkdir -p "$work"
  cd "$work"
  cp -r "$root/demo/data" data
  # The scenarios up to the fingerprints' own run on tables that declare none.
  sed -i -E 's/ d2(game|client)\.dll=[^ \r]*//g' data/versions.txt
  "$root/$native/demo/make_demo_dlls" game "$root/demo" >/dev/null
  cp -r game original
  cp -r game game2

  # No folder yet: refused with the window's message.
  run swap --version 0 --first Amazon:Jab --second Sorceress:Fire_Bolt --effects
  expect_rc 1 "swap without a folder"
  expect_err "Diablo II .dll folder not set" "swap without a folder"

  run list
  expect_rc 0 "list"
  expect_out "$(cat "$root/tests/cli/demo_list.expected")" "list"

  # With --data, the current folder's own data\config.txt is never read: not
  # even one that would block every read (a FIFO; natively only).
  if [ "$label" == native ]; then
    mkdir -p elsewhere/data && mkfifo elsewhere/data/config.txt
    (cd elsewhere && timeout 20 "${cli[@]}" --data ../data list >../.out 2>../.err </dev/null) ||
      fail "list --data from a folder whose data/config.txt is a FIFO: exit status $?"
    [ "$(cat .out)" == "$(cat "$root/tests/cli/demo_list.expected")" ] ||
      fail "list --data from another folder printed: $(cat .out .err)"
    rm -rf elsewhere
  fi

  run set-folder game
  expect_rc 0 "set-folder"
  grep -qE '^Folder: .*game$' data/config.txt || fail "set-folder wrote $(cat data/config.txt)"

  run check
  expect_rc 0 "check on the demo"
  expect_out "" "check on the demo"
  expect_err "no problems found" "check on the demo"

  # --dry-run: the ranges before and after, and nothing written.
  run swap --version 1.09b --first Amazon:Jab --second "Sorceress:Fire Bolt" --effects --descs \
    --dry-run
  expect_rc 0 "dry run"
  out=$(game_paths <<<"$out")
  expect_out "game/d2game.dll: Effects, 12 bytes
     21080 before: 45 62 3A 4A 61 62 2E 2E 2E 2E 2E 2E
           after:  45 62 3A 46 69 72 65 20 42 6F 6C 74
     21400 before: 45 62 3A 46 69 72 65 20 42 6F 6C 74
           after:  45 62 3A 4A 61 62 2E 2E 2E 2E 2E 2E
game/d2client.dll: Descriptions, 16 bytes
     41080 before: 44 62 3A 4A 61 62 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E
           after:  44 62 3A 46 69 72 65 20 42 6F 6C 74 2E 2E 2E 2E
     41400 before: 44 62 3A 46 69 72 65 20 42 6F 6C 74 2E 2E 2E 2E
           after:  44 62 3A 4A 61 62 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E
Dry run: no file was changed." "dry run"
  same_file game/d2game.dll original/d2game.dll "dry run"
  same_file game/d2client.dll original/d2client.dll "dry run"
  [ "$(files_in game)" == "d2client.dll d2game.dll " ] || fail "dry run left $(files_in game)"

  # A swap of all three aspects, every byte of both DLLs checked.
  run swap --version 1.09d --first Amazon:Jab --second "Sorceress:Fire Bolt" --effects --graphics \
    --descs
  expect_rc 0 "swap"
  expect_out "Jab <-> Fire Bolt
   Effects
   Graphics
   Descriptions" "swap"
  cp original/d2game.dll expected-game.dll
  cp original/d2client.dll expected-client.dll
  put expected-game.dll 64880 "Ed:Fire Bolt"
  put expected-game.dll 64C00 "Ed:Jab......"
  put expected-client.dll 74880 "Gd:Fire Bolt........"
  put expected-client.dll 74C00 "Gd:Jab.............."
  put expected-client.dll 84880 "Dd:Fire Bolt...."
  put expected-client.dll 84C00 "Dd:Jab.........."
  same_file game/d2game.dll expected-game.dll "swap"
  same_file game/d2client.dll expected-client.dll "swap"
  same_file game/d2game.dll.bak original/d2game.dll "first backup"
  same_file game/d2client.dll.bak original/d2client.dll "first backup"

  # Later swaps keep the first backups; names by position, any case, _ for blanks.
  run swap --version 0 --first amazon:magic_arrow --second 3:3 --effects --descs
  expect_rc 0 "second swap"
  expect_out "Magic Arrow <-> Zeal
   Effects
   Descriptions" "second swap"
  run swap --version 1 --first Necromancer:0 --second Druid:2 --graphics
  expect_rc 0 "third swap"
  same_file game/d2game.dll.bak original/d2game.dll "kept backup"
  same_file game/d2client.dll.bak original/d2client.dll "kept backup"
  [ "$(files_in game)" == "d2client.dll d2client.dll.bak d2game.dll d2game.dll.bak orvanel.lock " ] ||
    fail "after three swaps the game folder holds $(files_in game)"

  # restore gives back the exact originals and keeps the backups.
  run restore
  expect_rc 0 "restore"
  grep -qF "Restored" <<<"$out" || fail "restore said: $out"
  same_file game/d2game.dll original/d2game.dll "restore"
  same_file game/d2client.dll original/d2client.dll "restore"
  same_file game/d2game.dll.bak original/d2game.dll "restore keeps the backup"
  same_file game/d2client.dll.bak original/d2client.dll "restore keeps the backup"

  # --folder works on another folder for one run; the kept folder is untouched.
  run --folder game2 restore
  expect_rc 1 "restore without backups"
  expect_err "no backup to restore" "restore without backups"
  run --folder game2 swap --version 0 --first Amazon:Jab --second Amazon:Jab --effects
  expect_rc 0 "swap with --folder"
  [ -e game2/d2game.dll.bak ] || fail "swap with --folder made no backup"
  same_file game/d2game.dll original/d2game.dll "swap with --folder"
  grep -qE '^Folder: .*game$' data/config.txt || fail "--folder changed data/config.txt"

  # A backup that cannot be the DLL's original (here another file of the same
  # size) is never trusted: the swap and restore refuse and change nothing.
  rm -rf game3 && cp -r original game3
  cp original/d2client.dll game3/d2game.dll.bak
  truncate -s "$(stat -c %s original/d2game.dll)" game3/d2game.dll.bak
  run --folder game3 swap --version 0 --first Amazon:Jab --second Paladin:Zeal --effects
  expect_rc 1 "swap with a foreign backup"
  grep -qF "   Effects: not exchanged: the backup " <<<"$out" &&
    grep -qF "so it cannot be the original: if the DLL is untouched" <<<"$out" ||
    fail "swap with a foreign backup said: $out"
  same_file game3/d2game.dll original/d2game.dll "swap with a foreign backup"
  run --folder game3 restore
  expect_rc 1 "restore from a foreign backup"
  grep -qF "Could not restore" <<<"$out" && grep -qF "move the backup aside" <<<"$out" ||
    fail "restore from a foreign backup said: $out"
  same_file game3/d2game.dll original/d2game.dll "restore from a foreign backup"

  # Two runs at once on one game folder, 40 rounds: each change is in the
  # files exactly when its run said it was made, and no file is ever torn.
  local pair_a=(--first Amazon:Jab --second Sorceress:Fire_Bolt --effects --graphics --descs)
  local pair_b=(--first Amazon:Magic_Arrow --second Paladin:Zeal --effects --graphics --descs)
  local states=(00 10 01 11)
  for state in "${states[@]}"; do
    rm -rf "state$state" && cp -r original "state$state"
    [ "${state:0:1}" = 1 ] && run --folder "state$state" swap --version 0 "${pair_a[@]}"
    [ "${state:1:1}" = 1 ] && run --folder "state$state" swap --version 0 "${pair_b[@]}"
  done
  rm -rf race && cp -r original race
  local a=0 b=0 round rc_a rc_b
  for round in $(seq 40); do
    "${cli[@]}" --folder race swap --version 0 "${pair_a[@]}" >/dev/null 2>&1 </dev/null &
    local pid_a=$!
    "${cli[@]}" --folder race swap --version 0 "${pair_b[@]}" >/dev/null 2>&1 </dev/null &
    wait $! && rc_b=0 || rc_b=$?
    wait "$pid_a" && rc_a=0 || rc_a=$?
    [ "$rc_a" -eq 0 ] && a=$((1 - a))
    [ "$rc_b" -eq 0 ] && b=$((1 - b))
    for dll in d2game.dll d2client.dll; do
      cmp -s "race/$dll" "state$a$b/$dll" ||
        fail "round $round of two runs at once (exit codes $rc_a, $rc_b): $dll is not state $a$b"
    done
  done

  # A lock or journal path that is a folder (or, natively, a link; Wine
  # follows links) is named with the way out, and nothing changes.
  local kinds=(folder)
  [ "$label" == native ] && kinds+=(link)
  for name in orvanel.lock orvanel.journal; do
    for kind in "${kinds[@]}"; do
      rm -rf blocked && cp -r original blocked
      if [ "$kind" == folder ]; then mkdir "blocked/$name"; else ln -s d2game.dll "blocked/$name"; fi
      run --folder blocked swap --version 0 --first Amazon:Jab --second Paladin:Zeal --effects
      expect_rc 1 "swap with $name a $kind"
      grep -qF "$name is a $kind, not a file of Orvanel's: remove it" <<<"$out" ||
        fail "swap with $name a $kind said: $out"
      same_file blocked/d2game.dll original/d2game.dll "swap with $name a $kind"
    done
  done

  # A missing DLL: the window's text with each aspect's outcome, exit 1. The
  # reason is printed even when log.txt cannot be written (a folder there).
  rm -f log.txt && mkdir -p empty log.txt
  cp original/d2client.dll empty/
  run --folder empty swap --version 0 --first Amazon:Jab --second Paladin:Zeal --effects --graphics
  expect_rc 1 "swap with a missing DLL"
  out=$(game_paths <<<"$out")
  grep -qF "   Effects: not exchanged: " <<<"$out" &&
    grep -qF "d2game.dll was not found: check the game folder (orvanel-cli set-folder DIR)" <<<"$out" &&
    grep -qxF "   Graphics: exchanged" <<<"$out" || fail "swap with a missing DLL said: $out"
  rmdir log.txt

  # status: a swap set of the exchanges, from the DLLs and their backups.
  rm -rf game4 && cp -r original game4
  run --folder game4 status
  expect_rc 0 "status without backups"
  expect_out "# no backup: nothing has been changed
version 1.09b" "status without backups"
  run --folder game4 swap --version 0 --first Amazon:Magic_Arrow --second Sorceress:Fire_Bolt \
    --effects --graphics
  run --folder game4 swap --version 0 --first Amazon:Jab --second Paladin:Zeal --descs
  run --folder game4 swap --version 0 --first Amazon:Magic_Arrow --second Paladin:Zeal --effects
  run --folder game4 status --version 1.09b
  expect_rc 0 "status"
  expect_out "version 1.09b
Amazon:Magic Arrow <-> Paladin:Zeal: Effects
Sorceress:Fire Bolt <-> Paladin:Zeal: Effects
Amazon:Magic Arrow <-> Sorceress:Fire Bolt: Graphics
Amazon:Jab <-> Paladin:Zeal: Descriptions" "status"
  # apply: status saved as a file, restored, applied: the same bytes again;
  # twice is once; a wrong line is named and changes nothing.
  printf '%s\n' "$out" >my.set
  cp game4/d2game.dll game4-game.dll && cp game4/d2client.dll game4-client.dll
  run --folder game4 restore
  run --folder game4 apply --dry-run my.set
  expect_rc 0 "apply --dry-run"
  grep -qF "Dry run: no file was changed." <<<"$out" || fail "apply --dry-run said: $out"
  same_file game4/d2game.dll original/d2game.dll "apply --dry-run"
  for time in 1 2; do
    run --folder game4 apply my.set
    expect_rc 0 "apply $time"
    same_file game4/d2game.dll game4-game.dll "apply $time"
    same_file game4/d2client.dll game4-client.dll "apply $time"
  done
  printf 'version 1.09b\n# a comment\nAmazon:Jab <-> Paladin:Smite: Graphics\nAmazon:Jab <-> Sorceress:Nova: Sound\n' >bad.set
  run --folder game4 apply bad.set
  expect_rc 1 "apply a wrong set"
  expect_out "The swap set was not applied: nothing was changed.
line 4: unknown aspect \"Sound\": expected Effects, Graphics or Descriptions" "apply a wrong set"
  same_file game4/d2game.dll game4-game.dll "apply a wrong set"
  same_file game4/d2client.dll game4-client.dll "apply a wrong set"
  printf 'version 1.09b\n' >empty.set
  run --folder game4 apply empty.set
  expect_rc 0 "apply an empty set"
  same_file game4/d2game.dll original/d2game.dll "apply an empty set"
  same_file game4/d2client.dll original/d2client.dll "apply an empty set"
  # apply reads only a regular file of bounded size: every other path is
  # named, exit 1, never a hang (a FIFO; natively only).
  truncate -s 2M big.set
  # (The Windows build takes "/dev" for an option: there it is Z:\dev.)
  local bad_sets=(game4 /dev/zero no-such.set big.set)
  [ "$label" == windows ] && bad_sets[1]='Z:\dev\zero'
  [ "$label" == native ] && mkfifo fifo.set && bad_sets+=(fifo.set)
  for bad in "${bad_sets[@]}"; do
    cli_timeout=20 run --folder game4 apply "$bad"
    expect_rc 1 "apply $bad"
    expect_err "the swap set $bad cannot be read: " "apply $bad"
  done
  # A DLL that cannot be written (immutable for root, else read-only) stops
  # apply before anything is written.
  if chattr +i game4/d2game.dll 2>/dev/null ||
    { [ "$(id -u)" != 0 ] && chmod 444 game4/d2game.dll; }; then
    run --folder game4 apply my.set
    chattr -i game4/d2game.dll 2>/dev/null || true
    chmod 644 game4/d2game.dll
    expect_rc 1 "apply to a DLL that cannot be written"
    same_file game4/d2game.dll original/d2game.dll "apply to a DLL that cannot be written"
    same_file game4/d2client.dll original/d2client.dll "apply to a DLL that cannot be written"
  fi
  # Sets as Windows tools save them: UTF-8 with a byte-order mark (Notepad),
  # UTF-16 of either byte order with one (PowerShell's ">").
  printf '\xEF\xBB\xBF' | cat - my.set >utf8-bom.set
  { printf '\xFF\xFE'; iconv -f UTF-8 -t UTF-16LE my.set; } >utf16le.set
  { printf '\xFE\xFF'; iconv -f UTF-8 -t UTF-16BE my.set; } >utf16be.set
  for encoded in utf8-bom utf16le utf16be; do
    run --folder game4 apply empty.set
    run --folder game4 apply "$encoded.set"
    expect_rc 0 "apply of a $encoded set"
    same_file game4/d2game.dll game4-game.dll "apply of a $encoded set"
    same_file game4/d2client.dll game4-client.dll "apply of a $encoded set"
  done
  run --folder game4 restore
  run --folder game4 status
  expect_rc 0 "status after restore"
  expect_out "# no changes
version 1.09b" "status after restore"
  expect_err "choose another with --game-version" "status after restore"
  rm game4/d2game.dll
  run --folder game4 status
  expect_rc 1 "status with a DLL missing"
  # Without fingerprints, status finds the version whose tables explain the
  # changes (here the second's); when none does, it says so, exit 1.
  rm -rf game6 && cp -r original game6
  run --folder game6 swap --version 1.09d --first Amazon:Jab --second Sorceress:Fire_Bolt \
    --effects --graphics
  run --folder game6 status
  expect_rc 0 "status of the second version's change"
  expect_out "version 1.09d
Amazon:Jab <-> Sorceress:Fire Bolt: Effects, Graphics" "status of the second version's change"
  run --folder game6 swap --version 1.09b --first Amazon:Jab --second Paladin:Zeal --effects
  run --folder game6 status
  expect_rc 1 "status of changes of two versions"
  grep -qF "# the DLLs differ from their backups, and no version's tables explain how" <<<"$out" ||
    fail "status of changes of two versions said: $out"

  # Fingerprints: the demo declares the stand-ins for 1.09b and other files
  # for 1.09d. The wrong version changes nothing, before and after a change.
  local fp=(--data fp/data --folder fp/game)
  rm -rf fp && mkdir fp && cp -r "$root/demo/data" fp/data && cp -r original fp/game
  run "${fp[@]}" fingerprint
  expect_rc 0 "fingerprint"
  expect_out "$(sed -n 's/^1\.09b //p' "$root/demo/data/versions.txt" | tr -d '\r')" "fingerprint"
  # A DLL that is a PE file with a version resource: fingerprint says what it is.
  rm -rf pe && cp -r original pe && "$root/$native/demo/make_demo_dlls" --game-exe pe "$root/demo" >/dev/null
  mv pe/Game.exe pe/d2game.dll
  run --data fp/data --folder pe fingerprint
  expect_rc 0 "fingerprint of a PE file"
  [ "$(sed -n 2p <<<"$out")" == "d2game.dll is file version 1.14.3.71, built 2016-03-18" ] ||
    fail "fingerprint of a PE file printed: $out"
  run "${fp[@]}" list
  grep -qxF "  0  1.09b  (the DLLs in the game folder)" <<<"$out" || fail "list marks no version: $out"
  # One reason stops both aspects: it is said once, with the version to choose;
  # the dry run says what the swap says.
  local refused="There were errors in your request
   Effects, Descriptions: not exchanged: d2game.dll is not the 1.09d file these tables are for: found 1048576:05D16C80, expected 1064960:3C2D1E0F; d2client.dll is not the 1.09d file these tables are for: found 1048576:E11F2A77, expected 1064960:7A6B5C4D; the DLLs are the 1.09b files: choose 1.09b"
  for round in before after; do
    for dry in "" --dry-run; do
      run "${fp[@]}" swap --version 1.09d --first Amazon:Jab --second Sorceress:Fire_Bolt --effects \
        --descs $dry
      expect_rc 1 "swap $dry for the wrong version, $round the first change"
      expect_out "$refused${dry:+
Dry run: no file was changed.}" "swap $dry for the wrong version, $round the first change"
    done
    [ "$round" == after ] || same_file fp/game/d2game.dll original/d2game.dll "the wrong version"
    [ "$round" == after ] || same_file fp/game/d2client.dll original/d2client.dll "the wrong version"
    run "${fp[@]}" swap --first Amazon:Jab --second Sorceress:Fire_Bolt --effects
    expect_rc 0 "swap without --version, $round the first change"
    expect_err "version 1.09b: its fingerprints match the DLLs" "swap without --version"
    [ "$round" == before ] && cmp -s fp/game/d2game.dll original/d2game.dll &&
      fail "swap without --version changed nothing"
  done
  same_file fp/game/d2game.dll original/d2game.dll "two swaps of the detected version"
  # The version the DLLs are not is no problem of the tables: the untouched
  # demo passes its own check.
  run "${fp[@]}" check
  expect_rc 0 "check with the demo's fingerprints"
  expect_out "" "check with the demo's fingerprints"
  expect_err "the DLLs match the fingerprints of version: 1.09b" "check with the demo's fingerprints"
  run "${fp[@]}" restore
  expect_rc 0 "restore of backups that are 1.09b's"

  # Wrong reasons of old, each now the right one with exit 1: an old modded
  # backup beside the untouched DLL is blamed as the backup, and neither its
  # fingerprint nor a status is taken from it.
  cp original/d2game.dll fp/game/d2game.dll.bak && put fp/game/d2game.dll.bak 21080 modded
  run "${fp[@]}" swap --version 1.09b --first Amazon:Jab --second Sorceress:Fire_Bolt --effects
  expect_rc 1 "swap beside a modded backup"
  grep -qF "d2game.dll.bak differs from the DLL, which is the untouched 1.09b file" <<<"$out" ||
    fail "swap beside a modded backup said: $out"
  for command in fingerprint status; do
    run "${fp[@]}" $command
    expect_rc 1 "$command beside a modded backup"
  done
  same_file fp/game/d2game.dll original/d2game.dll "swap beside a modded backup"
  # A backup of no declared version: restore says what it found and expected.
  rm fp/game/d2game.dll.bak
  run "${fp[@]}" swap --version 1.09b --first Amazon:Jab --second Sorceress:Fire_Bolt --effects
  sed -i 's/05D16C80/05D16C81/' fp/data/versions.txt
  run "${fp[@]}" restore
  expect_rc 1 "restore of a backup of no declared version"
  grep -qF "matches no version these tables declare for d2game.dll: found 1048576:05D16C80, expected 1048576:05D16C81 (1.09b)" <<<"$out" ||
    fail "restore of a backup of no declared version said: $out"
  run --folder nowhere status
  expect_rc 1 "status of a folder that is not there"
  # A fingerprint with blanks around "=" is a malformed token, not a word.
  sed -i 's/d2game.dll=/d2game.dll = /' fp/data/versions.txt
  run "${fp[@]}" check
  expect_rc 1 "check of a token with blanks"
  grep -qF '"d2game.dll" is no fingerprint' <<<"$out" || fail "check of a token with blanks said: $out"
  run --data data --folder fp/game swap --first Amazon:Jab --second Amazon:Jab --effects
  expect_rc 2 "swap without --version when no version declares fingerprints"
  expect_err "--game-version is required" "swap without --version when no version declares fingerprints"

  # Tables that cannot shift: a byte-order mark shifts nothing, a skill line
  # read in pieces and a skill that is not the one the box shows are refused.
  rm -rf shift && cp -r data shift && cp -r original shift-game
  for table in versions.txt "Amazon 109b.txt"; do
    printf '\xEF\xBB\xBF' | cat - "shift/$table" >shift/.bom && mv shift/.bom "shift/$table"
  done
  run --data shift list
  expect_out "$(cat "$root/tests/cli/demo_list.expected")" "list with byte-order marks"
  awk '/^Teleport/ { held = $0; next } { print } /^Blizzard/ { print held }' \
    "shift/Sorceress 109d.txt" >shift/.order && mv shift/.order "shift/Sorceress 109d.txt"
  run --data shift --folder shift-game swap --version 1 --first Sorceress:Teleport \
    --second Amazon:Jab --effects --dry-run
  expect_rc 1 "swap of a skill the box does not show"
  grep -qF 'the box shows "Teleport"' <<<"$out" && grep -qF 'is "Blizzard": not exchanged' \
    <<<"$out" || fail "swap of a skill the box does not show said: $out"
  line=$(grep '^Fire_Bolt' "shift/Sorceress 109b.txt" | tr -d '\r')
  prefix=${line%%$'\t'41400h*}
  awk -v long="$prefix$(printf '%*s' $((251 - ${#prefix})) '')${line#"$prefix"}" \
    '/^Fire_Bolt/ { print long "\r"; next } { print }' "shift/Sorceress 109b.txt" >shift/.long
  mv shift/.long "shift/Sorceress 109b.txt"
  run --data shift --folder shift-game swap --version 0 --first Sorceress:Fire_Bolt \
    --second Amazon:Jab --descs
  expect_rc 1 "swap of a skill read in pieces"
  # In the table check's words.
  grep -qF "Sorceress 109b.txt line 9: line longer than 253 characters: the program reads it in" \
    <<<"$out" || fail "swap of a skill read in pieces said: $out"
  same_file shift-game/d2game.dll original/d2game.dll "refused swaps"
  same_file shift-game/d2client.dll original/d2client.dll "refused swaps"
  # One judgement of the tables: an offset that lost its closing h ("21080",
  # read as 2108) is refused by swap and apply in the check's words; one of
  # six characters ("210807", read as 21080) passes check and swap.
  rm -rf lost lost-game && cp -r data lost && cp -r original lost-game
  sed -i 's/^\(Jab *\t\)21080h/\121080/' "lost/Amazon 109b.txt"
  local lost_swap=(--data lost --folder lost-game swap -g 1.09b --first Amazon:Jab
                   --second Sorceress:Fire_Bolt --effects)
  run "${lost_swap[@]}"
  expect_rc 1 "swap of an offset without its closing h"
  grep -qF 'effects offset "21080" ends in a digit' <<<"$out" ||
    fail "swap of an offset without its closing h said: $out"
  printf 'version 1.09b\nAmazon:Jab <-> Sorceress:Fire Bolt: Effects\n' >lost.set
  run --data lost --folder lost-game apply lost.set
  expect_rc 1 "apply of an offset without its closing h"
  grep -qF 'effects offset "21080" ends in a digit' <<<"$out" ||
    fail "apply of an offset without its closing h said: $out"
  same_file lost-game/d2game.dll original/d2game.dll "offsets without their closing h"
  sed -i 's/^\(Jab *\t\)21080/\1210807/' "lost/Amazon 109b.txt"
  run --data lost --folder lost-game check
  expect_rc 0 "check of a six-character offset"
  run "${lost_swap[@]}"
  expect_rc 0 "swap of a six-character offset"
  cp original/d2game.dll expected-game.dll
  put expected-game.dll 21080 "Eb:Fire Bolt"
  put expected-game.dll 21400 "Eb:Jab......"
  same_file lost-game/d2game.dll expected-game.dll "swap of a six-character offset"
  printf 'Folder: %s/my game' "$PWD" >shift/config.txt
  run --data shift check
  grep -qF 'is cut at a blank' <<<"$out" || fail "check on a folder cut at a blank said: $out"

  # The DLLs as the game names them are found whatever their letter case and
  # backed up under the name found; two names that differ only in case are
  # refused, naming both. (Wine finds them itself: natively only.)
  if [ "$label" == native ]; then
    rm -rf cased && mkdir cased
    cp original/d2game.dll cased/D2Game.dll && cp original/d2client.dll cased/D2Client.dll
    run --folder cased swap --version 0 --first Amazon:Jab --second Sorceress:Fire_Bolt --effects
    expect_rc 0 "swap in a folder of D2Game.dll and D2Client.dll"
    same_file cased/D2Game.dll.bak original/d2game.dll "the backup of D2Game.dll"
    [ -e cased/d2game.dll ] || [ -e cased/d2game.dll.bak ] && fail "swap made $(files_in cased)"
    run --folder cased restore
    expect_rc 0 "restore of D2Game.dll"
    same_file cased/D2Game.dll original/d2game.dll "restore of D2Game.dll"
    cp original/d2game.dll cased/d2game.dll
    run --folder cased swap --version 0 --first Amazon:Jab --second Sorceress:Fire_Bolt --effects
    expect_rc 1 "swap beside D2Game.dll and d2game.dll"
    grep -qF "holds both" <<<"$out" && grep -qF "D2Game.dll" <<<"$out" ||
      fail "swap beside D2Game.dll and d2game.dll said: $out"
    same_file cased/D2Game.dll original/d2game.dll "swap beside D2Game.dll and d2game.dll"
  fi

  # Every finding on the broken table set.
  cp -r "$root/tests/cli/broken" broken
  run --data broken check
  expect_rc 1 "check on the broken set"
  expect_err "game folder not set" "check on the broken set"
  run --data broken --folder game check
  expect_rc 1 "check on the broken set"
  out=$(game_paths <<<"$out")
  expect_out "$(cat "$root/tests/cli/broken_check.expected")" "check on the broken set"
  expect_err "23 problems found" "check on the broken set"

  # Bad usage exits 2 and says what was expected.
  run
  expect_rc 2 "no command"
  expect_err "expected a command (list, swap, check, restore, status, apply, set-folder, fingerprint)" "no command"
  run frobnicate
  expect_rc 2 "unknown command"
  expect_err 'found "frobnicate"' "unknown command"
  run swap --version 0 --first Amazon:Jab
  expect_rc 2 "swap without --second"
  expect_err "--second is required" "swap without --second"
  run swap --version 7 --first Amazon:Jab --second Amazon:Jab --effects
  expect_rc 2 "unknown version"
  expect_err 'unknown version "7"; versions: 1.09b, 1.09d' "unknown version"
  run swap --version 0 --first Amazon:Nova --second Amazon:Jab --effects
  expect_rc 2 "unknown skill"
  expect_err 'unknown skill "Nova" of Amazon; its skills: Magic Arrow, Fire Arrow' "unknown skill"
  # The game version: -g and --game-version, and --version before the command
  # with more words is bad usage, not the program's version.
  run --folder game swap -g 1.09b --first Amazon:Jab --second Amazon:Jab --effects --dry-run
  expect_rc 0 "swap -g"
  run --folder game status --game-version 1
  expect_rc 0 "status --game-version"
  run --version 1.09b swap --first Amazon:Jab --second Amazon:Jab --effects
  expect_rc 2 "--version before the command"
  expect_err "the game version goes after the command" "--version before the command"
  # A class whose tables are empty, as a release's are, is named as such.
  mkdir -p empty-class && cp data/*.txt empty-class/ && printf '|\r\n' >"empty-class/Amazon 109b.txt"
  cp "empty-class/Amazon 109b.txt" "empty-class/Amazon 109d.txt"
  run --data empty-class swap -g 0 --first Amazon:0 --second Sorceress:0 --effects
  expect_rc 2 "swap of a class with no skills"
  expect_err "Amazon has no skills yet: fill empty-class/Amazon 109b.txt" "swap of a class with no skills"
  run swap --version 0 --first Jab --second Amazon:Jab
  expect_rc 2 "no class"
  expect_err 'expected CLASS:SKILL, found "Jab"' "no class"
  run list --frob
  expect_rc 2 "unknown option"
  mkdir -p unwritable/config.txt  # a folder where the file should go
  run --data unwritable set-folder game
  expect_rc 1 "set-folder that cannot be kept"
  expect_err "could not keep" "set-folder that cannot be kept"
  # A folder whose stored form reads back as another folder is refused before
  # data\config.txt changes.
  mkdir -p "My Game" My_Game
  cp data/config.txt config-before
  run set-folder My_Game
  expect_rc 1 "set-folder that would read back as another folder"
  expect_err "would read back as" "set-folder that would read back as another folder"
  same_file data/config.txt config-before "set-folder that would read back as another folder"
  if [ "$label" == native ]; then
    # A line break would end the setting line early: refused before the file changes.
    mkdir -p $'game\nother'
    run set-folder $'game\nother'
    expect_rc 1 "set-folder with a line break"
    expect_err "control character (0x0A)" "set-folder with a line break"
    same_file data/config.txt config-before "set-folder with a line break"
  fi
  if [ "$label" == native ]; then
    # Anything but a regular file is no table: a FIFO is missing, not a hang.
    mkdir -p fifo && cp data/*.txt fifo/ && rm fifo/classes.txt && mkfifo fifo/classes.txt
    set +e
    timeout 20 "${cli[@]}" --data fifo list >/dev/null 2>&1 </dev/null
    rc=$?
    set -e
    expect_rc 1 "list with a FIFO as classes.txt"
  fi
  run set-folder no-such-folder
  expect_rc 1 "set-folder to nothing"
  expect_err "no-such-folder does not exist: give the folder that holds d2game.dll" "set-folder to nothing"
  run --help
  expect_rc 0 "--help"
  grep -qF "Usage: orvanel-cli" <<<"$out" || fail "--help printed: $out"
  for command in list swap check restore status apply set-folder; do
    run "$command" --help
    expect_rc 0 "$command --help"
    grep -qF "Usage: orvanel-cli $command" <<<"$out" || fail "$command --help printed: $out"
  done

  cd "$root"
  echo "cli [$label]: scenarios done"
}

suite native "$root/$native/cli/orvanel-cli"

# The Windows program imports system DLLs only.
bash scripts/check-imports.sh "$windows/cli/orvanel-cli.exe" || label=windows fail "orvanel-cli.exe imports"

source scripts/wine-env.sh
wine_start
trap wine_stop EXIT
suite windows wine "$root/$windows/cli/orvanel-cli.exe"

# One lock for both builds: the native program and the Windows one under Wine
# on one folder. The holder's change is stopped at its first flush (its
# temporary file is there, so it holds the lock); the other build waits in
# vain, refuses and changes nothing; then the holder's change completes.
native_cli=("$root/$native/cli/orvanel-cli")
windows_cli=(wine "$root/$windows/cli/orvanel-cli.exe")
hold_and_try() {
  label="one lock, $1 holds it"
  local -n holder=$2 other=$3
  work="$root/$BUILD_ROOT/cli-test/lock-$1"
  rm -rf "$work" && mkdir -p "$work" && cd "$work"
  "$root/$native/demo/make_demo_dlls" game "$root/demo" >/dev/null
  cp -r game original
  local swap=(--data "$root/demo/data" --folder game swap -g 1.09b --first Amazon:Jab
              --second Sorceress:Fire_Bolt --effects)
  strace -f -o /dev/null -e trace=fsync,fdatasync \
    -e inject=fsync,fdatasync:delay_enter=12000000:when=1 "${holder[@]}" "${swap[@]}" \
    >holder.out 2>&1 </dev/null &
  local holder_pid=$!
  for _ in $(seq 300); do ls game | grep -q '^~' && break; sleep 0.1; done
  cli=("${other[@]}")
  run "${swap[@]}"
  expect_rc 1 "a change while the other build holds the lock"
  grep -qxF "Another Orvanel is changing these files: nothing was changed." <<<"$out" ||
    fail "a change while the other build holds the lock said: $out"
  wait "$holder_pid" || fail "the holder's change failed: $(cat holder.out)"
  # Both changes made would have swapped the pair back.
  cmp -s game/d2game.dll original/d2game.dll && fail "the holder's change is not in d2game.dll"
  cd "$root"
}
hold_and_try native native_cli windows_cli
hold_and_try windows windows_cli native_cli

if [ "$failures" -gt 0 ]; then
  echo "cli: $failures failures"
  exit 1
fi
echo "cli: all scenarios passed natively and under Wine"
