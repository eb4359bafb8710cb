#!/usr/bin/env bash
# Tessary's one entry point.
#   ./tessary.sh          install what is missing, build (Release), run the sample round trip
#   ./tessary.sh test     install, build Release and ASan+UBSan, run every test on both,
#                         then the sample round trip
#   ./tessary.sh bench    build Release and run the benchmarks (extra arguments go to them)
#   ./tessary.sh bench e2e [--quick] [--runs N] [--rows LIST]   whole-process jobs paired with baselines
#   ./tessary.sh fuzz [TARGET] [SECONDS]   build the libFuzzer targets with clang and run them
#   ./tessary.sh windows  cross-build the core, tessary-cli.exe and the tests for Windows
#                         (MinGW-w64) and run the tests under Wine
#   ./tessary.sh package  build and test both, write dist/ (the Debian package and the
#                         Windows zip), then install each and run the sample round trip
#                         with the installed programs
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libbenchmark-dev libcli11-dev
          qt6-base-dev qt6-svg-dev zlib1g-dev libspng-dev fonts-dejavu-core clang-format-14 xvfb
          xauth openbox)
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
BENCH_PACKAGES=(time imagemagick)
WINDOWS_PACKAGES=(cmake ninja-build libcli11-dev googletest g++-mingw-w64-x86-64-posix wine
                  libz-mingw-w64-dev dpkg-dev)
PACKAGE_PACKAGES=(desktop-file-utils zip unzip dpkg-dev file)

say() { printf '\033[1m== %s\033[0m\n' "$*" >&2; }
fail() { printf '\033[1;31m== FAILED: %s\033[0m\n' "$*" >&2; exit 1; }
# same FILE... PAIRS: every pair of files holds the same bytes, else the run fails.
same() {
  [ $(($# % 2)) -eq 0 ] || fail "same takes pairs of files"
  while [ $# -ge 2 ]; do
    cmp -s "$1" "$2" || fail "$1 and $2 differ"
    shift 2
  done
}
# holds PATTERN FILE: FILE has a line matching PATTERN, else the run fails.
holds() { grep -q "$1" "$2" || fail "$2 does not hold \"$1\""; }

install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  command -v apt-get >/dev/null || { say "please install: ${missing[*]}"; return 1; }
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { say "run as root or install: ${missing[*]}"; return 1; }
    sudo=(sudo)
  fi
  say "installing ${missing[*]}"
  "${sudo[@]}" apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
}

# configure_and_build DIR BUILD_TYPE [CMAKE ARGS...]
configure_and_build() {
  local dir=$1 type=$2
  shift 2
  say "building $dir ($type)"
  cmake -S "$ROOT" -B "$ROOT/$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
  cmake --build "$ROOT/$dir" -j "$JOBS" >&2
}

build_release() { configure_and_build build Release; }

# Every C++ file must match .clang-format; lists the files that do not.
check_format() {
  say "formatting (clang-format-14)"
  local files=() unformatted=() f
  if git -C "$ROOT" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git -C "$ROOT" ls-files '*.cpp' '*.h')
  else
    mapfile -t files < <(find bench batch formathandlers fuzz main misc tests -name '*.cpp' -o -name '*.h')
  fi
  for f in "${files[@]}"; do
    [ -f "$f" ] || continue
    clang-format-14 --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
  done
  if [ ${#unformatted[@]} -gt 0 ]; then
    say "not formatted (run clang-format-14 -i on them): ${unformatted[*]}"
    return 1
  fi
}

# Sets TESTS_STATUS to 1 when a check or a suite failed, so that the sample
# round trip still runs after a failing suite.
run_tests() {
  local status=0
  check_format || status=1
  build_release
  configure_and_build build-asan RelWithDebInfo -DTESSARY_SANITIZE=ON -DTESSARY_BENCH=OFF
  say "tests (Release)"
  (cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$JOBS") || status=1
  say "tests (AddressSanitizer + UndefinedBehaviorSanitizer)"
  (cd build-asan && QT_QPA_PLATFORM=offscreen \
     ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
     LSAN_OPTIONS="suppressions=$ROOT/tests/lsan.supp:print_suppressions=0" \
     ctest --output-on-failure -j "$JOBS") || status=1
  TESTS_STATUS=$status
}

# The sample round trip with CLI (default build/tessary-cli) on BASE/samples
# (default the checkout's), into BASE/out; any step that fails, or a result
# that is not what the step promises, ends the run with status 1.
run_samples() {
  local cli=${1:-"$ROOT/build/tessary-cli"} base=${2:-"$ROOT"}
  (cd "$base" && sample_round_trip "$cli")
}

sample_round_trip() {
  local cli=$1 out="$PWD/out" f
  for f in tims.bin ROOM.DAT XorTable.tbl decodetable.tbl ROOM01.RDT ROOM01.ARD room.tbl \
           letters.txt MESSAGE.BIN message-decode.tbl message-encode.tbl; do
    [ -f "samples/$f" ] || fail "samples/$f is missing"
  done
  rm -rf "$out"
  mkdir -p "$out"
  say "sample: searching samples/tims.bin for TIM images"
  cp samples/tims.bin "$out/tims.bin"
  "$cli" -q -f stim -o "$out/found" "$out/tims.bin"
  say "sample: writing the found images back (result log replay)"
  "$cli" -q -f log -o "$out/inserted" "$out/found/result.log"
  same samples/tims.bin "$out/tims.bin"
  say "sample: the round trip left tims.bin byte-for-byte unchanged"
  say "sample: converting the found TIMs to bitmaps and back (result log replay)"
  mkdir -p "$out/found-before"
  cp "$out"/found/*.tim "$out/found-before/"
  "$cli" -q -f tim -o "$out/bitmaps" "$out"/found/*.tim
  "$cli" -q -f log -o "$out/bitmaps-inserted" "$out/bitmaps/result.log"
  same "$out/found-before/tims_0.tim" "$out/found/tims_0.tim" \
    "$out/found-before/tims_1.tim" "$out/found/tims_1.tim" \
    "$out/found-before/tims_3.tim" "$out/found/tims_3.tim"
  say "sample: the 4-, 8- and 24-bit TIMs came back unchanged (16-bit ones lose only their STP bits)"
  say "sample: extracting samples/ROOM.DAT (XorTable.tbl and decodetable.tbl beside the outputs)"
  mkdir -p "$out/archive" "$out/check"
  cp samples/ROOM.DAT "$out/ROOM.DAT"
  cp samples/XorTable.tbl samples/decodetable.tbl "$out/archive/"
  cp samples/XorTable.tbl samples/decodetable.tbl "$out/check/"
  "$cli" -q -f grm -o "$out/archive" "$out/ROOM.DAT"
  say "sample: editing notes.txt, then repacking into out/repacked"
  local notes="$out/archive/TXT/ROOM_notes.txt" before
  before=$(wc -c < "$notes")
  printf 'Edited by the sample round trip.\r\n' >> "$notes"
  "$cli" -q -f log -o "$out/repacked" "$out/archive/result.log"
  say "sample: extracting the rebuilt archive to check it"
  "$cli" -q -f grm -o "$out/check" "$out/repacked/ROOM.DAT"
  same "$notes" "$out/check/TXT/ROOM_notes.txt" \
    "$out/archive/MSG/ROOM_intro.msg" "$out/check/MSG/ROOM_intro.msg"
  holds "Edited by the sample round trip." "$out/check/TXT/ROOM_notes.txt"
  say "sample: the rebuilt archive holds the edited entry and the untouched ones"
  say "sample: repacking with --compress into out/compressed (unedited entries kept as stored)"
  "$cli" -q -f log --compress -o "$out/compressed" "$out/archive/result.log"
  local size most
  size=$(wc -c < "$out/compressed/ROOM.DAT")
  most=$(( $(wc -c < samples/ROOM.DAT) + $(wc -c < "$notes") - before ))
  [ "$size" -le "$most" ] ||
    fail "the archive rebuilt with --compress takes $size bytes, more than the $most expected"
  mkdir -p "$out/check-compressed"
  cp samples/XorTable.tbl samples/decodetable.tbl "$out/check-compressed/"
  "$cli" -q -f grm -o "$out/check-compressed" "$out/compressed/ROOM.DAT"
  for f in TXT/ROOM_notes.txt MSG/ROOM_intro.msg MSG/ROOM_map.msg TIM/ROOM_hero.tim; do
    same "$out/archive/$f" "$out/check-compressed/$f"
  done
  say "sample: $size bytes (the original: $(wc -c < samples/ROOM.DAT)), every entry as edited"
  run_text_samples "$cli" "$out"
  say "done: outputs are in $out/"
}

# Room strings and a RES section: extract, edit, insert, extract again.
run_text_samples() {
  local cli=$1 out=$2
  say "sample: extracting the strings of ROOM01.RDT and ROOM01.ARD (code table samples/room.tbl)"
  cp samples/ROOM01.RDT "$out/ROOM01.RDT"
  "$cli" -q -f rdt -t samples/room.tbl -o "$out/rooms" "$out/ROOM01.RDT"
  "$cli" -q -f ard -t samples/room.tbl -o "$out/ard" samples/ROOM01.ARD
  say "sample: editing a string of ROOM01.txt and inserting it into ROOM01.RDT"
  sed -i 's/(The gate is shut.)/(The gate is open!)/' "$out/rooms/ROOM01.txt"
  "$cli" -q -f log -t samples/room.tbl -o "$out/rooms-inserted" "$out/rooms/result.log"
  "$cli" -q -f rdt -t samples/room.tbl -o "$out/rooms-check" "$out/ROOM01.RDT"
  holds "(The gate is open!)" "$out/rooms-check/ROOM01.txt"
  say "sample: the room holds the edited string"

  say "sample: extracting the text section of MESSAGE.BIN described by MESSAGE.res"
  cp samples/MESSAGE.BIN "$out/MESSAGE.BIN"
  printf 'Game:    %s\r\nTable:   %s\r\n[Greetings]\r\nRange = 0x40 : 0x6F\r\nTable = 0x10 : 0x8\r\nFinal = 1\r\n' \
    "$out/MESSAGE.BIN" "$PWD/samples/message-decode.tbl" > "$out/MESSAGE.res"
  "$cli" -q -f res -o "$out/text" "$out/MESSAGE.res"
  say "sample: naming the encoding table on its first line, editing, inserting"
  sed -i "1s|.*|#Use Table: $PWD/samples/message-encode.tbl\r|; s/^Farewell\./Good_bye./" "$out/text/MESSAGE.txt"
  "$cli" -q -f log -o "$out/text-inserted" "$out/text/result.log"
  "$cli" -q -f res -o "$out/text-check" "$out/MESSAGE.res"
  holds "^Good_bye\." "$out/text-check/MESSAGE.txt"
  say "sample: the game file holds the edited section"
  run_text_table_sample "$cli" "$out"
}

# A translator's text table, UTF-8, both ways: PS-X room text extracted for
# insertion, edited with an accented letter, checked, inserted, read again.
run_text_table_sample() {
  local cli=$1 out=$2 table="$PWD/samples/letters.txt"
  say "sample: PS-X room text through the text table samples/letters.txt (UTF-8, both ways)"
  cp samples/ROOM01.ARD "$out/ROOM01.ARD"
  "$cli" -q -f ard --ard-insertable -t "$table" -o "$out/ard-text" "$out/ROOM01.ARD"
  holds "(Find the iron key.<FE01>)" "$out/ard-text/ROOM01.txt"
  sed -i 's/(The gate is shut.)/(Porte: été!)/' "$out/ard-text/ROOM01.txt"
  say "sample: the dry run's report, then the insertion"
  "$cli" -q -f log --dry-run -t "$table" -o "$out/ard-check" "$out/ard-text/result.log"
  "$cli" -q -f log -t "$table" -o "$out/ard-inserted" "$out/ard-text/result.log"
  "$cli" -q -f ard -t "$table" -o "$out/ard-text-check" "$out/ROOM01.ARD"
  holds "(Porte: été!)" "$out/ard-text-check/ROOM01.txt"
  say "sample: the container's room holds the edited UTF-8 string"
}

run_fuzz() {
  install_missing "${FUZZ_PACKAGES[@]}"
  CXX=clang++ configure_and_build build-fuzz RelWithDebInfo -DTESSARY_FUZZ=ON \
    -DTESSARY_WINDOW=OFF -DTESSARY_TESTS=OFF -DTESSARY_BENCH=OFF
  local seconds=${2:-60} targets=()
  if [ -n "${1:-}" ]; then targets=("$1"); else
    for t in build-fuzz/fuzz/fuzz_*; do targets+=("$(basename "$t")"); done
  fi
  for t in "${targets[@]}"; do
    local corpus="build-fuzz/corpus/$t" seeds="fuzz/corpus/${t#fuzz_}"
    mkdir -p "$corpus"
    say "fuzzing $t for ${seconds}s"
    "build-fuzz/fuzz/$t" -max_total_time="$seconds" -artifact_prefix="build-fuzz/$t-" \
      "$corpus" $( [ -d "$seeds" ] && echo "$seeds" )
  done
}

# Debian has no MinGW libspng, so the Windows build compiles libspng from Debian's
# source package: the version of the host's libspng-dev when that is installed, else
# the newest of the host's release. apt-get source fetches it with a private
# configuration under build-windows/third_party/apt (deb-src lines for the Debian
# entries of the host's sources, its own lists and cache, no update hooks): the
# system's apt setup stays as it is and no root is needed. apt checks the files
# against the signed index, dpkg-source against the .dsc. The unpacked source stays
# in build-windows/third_party/libspng-VERSION for later runs. Sets SPNG_SOURCE.
fetch_spng_source() {
  local third="$ROOT/build-windows/third_party" version="" dir="" f
  if dpkg-query -W -f='${Status}' libspng-dev 2>/dev/null | grep -q "install ok installed"; then
    version=$(dpkg-query -W -f='${source:Version}' libspng-dev)
    dir="$third/libspng-$version"
  else
    for f in "$third"/libspng-*/spng/spng.c; do dir=${f%/spng/spng.c}; done
  fi
  if [ -n "$dir" ] && [ -f "$dir/spng/spng.c" ]; then
    SPNG_SOURCE=$dir
    return 0
  fi
  local apt="$third/apt" codename signed="" sandbox=() dsc
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || fail "no VERSION_CODENAME in /etc/os-release: which Debian release is this?"
  say "fetching Debian's libspng source package ${version:-(newest)} for the Windows build"
  rm -rf "$apt"
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/sources.list.d" "$apt/source"
  if [ -f /usr/share/keyrings/debian-archive-keyring.gpg ]; then
    signed="[signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] "
  fi
  # The host's entries (one-line or deb822, as apt reads them) for its release, its
  # updates and its security suite, turned into source entries.
  apt-get indextargets --no-release-info --format '$(TARGET_OF) $(REPO_URI) $(RELEASE) $(COMPONENT)' |
    sort -u | awk -v c="$codename" -v s="$signed" '$1 == "deb" &&
      ($3 == c || $3 == c "-updates" || $3 == c "-security") { print "deb-src " s $2 " " $3 " " $4 }' \
    > "$apt/sources.list"
  [ -s "$apt/sources.list" ] || fail "the apt sources have no Debian $codename entry to take libspng from"
  cat > "$apt/apt.conf" <<EOF
Dir::Etc::SourceList "$apt/sources.list";
Dir::Etc::SourceParts "$apt/sources.list.d";
Dir::State::Lists "$apt/lists";
Dir::Cache "$apt/cache";
#clear APT::Update::Pre-Invoke;
#clear APT::Update::Post-Invoke;
#clear APT::Update::Post-Invoke-Success;
EOF
  # As root, apt downloads as _apt, who may not write to the download folder.
  [ "$(id -u)" -ne 0 ] || sandbox=(-o APT::Sandbox::User=root)
  apt-get -c "$apt/apt.conf" -qq update >&2 || fail "apt-get update for the sources in $apt/sources.list"
  # The host's version, else (gone from the mirror after a point release) the newest.
  local wanted
  for wanted in "libspng${version:+=$version}" libspng; do
    (cd "$apt/source" && apt-get -c "$apt/apt.conf" "${sandbox[@]}" -qq source --download-only \
       "$wanted" >&2) && break
    [ "$wanted" != libspng ] || fail "apt-get source libspng"
  done
  dsc=$(ls "$apt"/source/libspng_*.dsc)
  version=$(sed -n 's/^Version: //p' "$dsc")
  [ -n "$version" ] || fail "$dsc names no version"
  dir="$third/libspng-$version"
  rm -rf "$dir" "$dir.part"
  dpkg-source -x --no-copy "$dsc" "$dir.part" > "$apt/dpkg-source.log" 2>&1 ||
    { cat "$apt/dpkg-source.log" >&2; fail "dpkg-source -x $dsc"; }
  for f in spng/spng.c spng/spng.h; do
    [ -f "$dir.part/$f" ] || fail "$dsc unpacked without $f"
  done
  [ "$(dpkg-parsechangelog -l "$dir.part/debian/changelog" -S Version)" = "$version" ] ||
    fail "$dir.part/debian/changelog is not of version $version"
  mv "$dir.part" "$dir"
  rm -rf "$apt/lists" "$apt/cache"
  say "libspng $version unpacked in ${dir#"$ROOT"/}"
  SPNG_SOURCE=$dir
}

# The Windows build: core, tessary-cli.exe and the test suites, run under Wine.
run_windows() {
  install_missing "${WINDOWS_PACKAGES[@]}"
  fetch_spng_source
  export WINEDEBUG=-all WINEPREFIX="$ROOT/build-windows/wine"
  mkdir -p "$WINEPREFIX"
  say "preparing the Wine prefix"
  # One wineserver for the whole run: a server that quits between two tests
  # races with the next test's start ("wine client error: recvmsg") and fails it.
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true' EXIT
  wineboot -i >/dev/null 2>&1 || true
  configure_and_build build-windows Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DTESSARY_WINDOW=OFF -DTESSARY_BENCH=OFF -DTESSARY_SPNG_SOURCE_DIR="$SPNG_SOURCE"
  say "tests (Windows, under Wine)"
  (cd build-windows && ctest --output-on-failure -j "$JOBS")
}

# The project version, as CMakeLists.txt sets it: the package and the zip carry it.
project_version() { sed -n 's/^project(Tessary VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt"; }

# A text file with CR LF line ends, for the Windows zip.
crlf() { sed 's/\r*$/\r/' "$1"; }

make_deb() {
  rm -rf "$ROOT/build/cpack"
  (cd "$ROOT/build" && cpack -G DEB -B "$ROOT/build/cpack" >/dev/null)
  mv "$ROOT"/build/cpack/tessary_*.deb "$ROOT/dist/"
}

# tessary-VERSION-windows-x64.zip: one folder with the program, the samples
# and the texts a user reads first.
make_windows_zip() {
  local name="tessary-$1-windows-x64" stage="$ROOT/build-windows/zip"
  rm -rf "$stage" && mkdir -p "$stage/$name"
  x86_64-w64-mingw32-strip -o "$stage/$name/tessary-cli.exe" "$ROOT/build-windows/tessary-cli.exe"
  cp -r "$ROOT/samples" "$stage/$name/samples"
  crlf "$ROOT/packaging/START-HERE.txt" > "$stage/$name/START-HERE.txt"
  crlf "$ROOT/README.md" > "$stage/$name/README.txt"
  crlf "$ROOT/CHANGELOG.md" > "$stage/$name/CHANGELOG.txt"
  (cd "$stage" && zip -qrX "$ROOT/dist/$name.zip" "$name")
}

# The Debian package installed into a fresh root of its own (its dependencies
# are the build machine's libraries), then used as installed.
test_deb() {
  local version=$1 work="$ROOT/build/package-test" p
  local deb="$ROOT/dist/tessary_$1_$(dpkg --print-architecture).deb"
  local root="$work/root"
  say "package: installing $(basename "$deb") into a fresh root"
  rm -rf "$work" && mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$work/user"
  touch "$root/var/lib/dpkg/status"
  # dpkg looks for ldconfig and start-stop-daemon, which a user's PATH may lack.
  PATH="$PATH:/usr/sbin:/sbin" \
    dpkg --root="$root" --force-not-root --force-depends --log=/dev/null -i "$deb" >/dev/null
  for p in libqt6widgets6 libspng0; do
    dpkg-deb -f "$deb" Depends | grep -q "$p" || fail "$deb does not depend on $p"
  done
  for p in $(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/(.*//; s/ //g'); do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
      fail "$deb depends on $p, which is not installed here"
  done
  [ "$("$root/usr/bin/tessary-cli" --version)" = "tessary-cli $version" ] ||
    fail "the installed tessary-cli is not version $version"
  desktop-file-validate "$root/usr/share/applications/tessary.desktop"
  for p in 48x48/apps/tessary.png 128x128/apps/tessary.png 256x256/apps/tessary.png \
           scalable/apps/tessary.svg; do
    [ -s "$root/usr/share/icons/hicolor/$p" ] || fail "the package has no icon $p"
  done
  say "package: the sample round trip with the installed tessary-cli and samples"
  cp -r "$root/usr/share/doc/tessary/samples" "$work/user/samples"
  run_samples "$root/usr/bin/tessary-cli" "$work/user"
}

# The Windows zip unpacked under Wine into a folder whose path has blanks and
# letters beyond ASCII, and used from there.
test_windows_zip() {
  local version=$1 work="$ROOT/build-windows/zip-test"
  local place="$work/Mes jeux – Grimhold é" name="tessary-$1-windows-x64"
  say "package: unpacking $name.zip into \"$place\""
  rm -rf "$work" && mkdir -p "$place"
  unzip -q "$ROOT/dist/$name.zip" -d "$place"
  printf '#!/bin/sh\nexec wine "%s" "$@"\n' "$place/$name/tessary-cli.exe" > "$work/tessary-cli"
  chmod +x "$work/tessary-cli"
  [ "$("$work/tessary-cli" --version | tr -d '\r')" = "tessary-cli $version" ] ||
    fail "the unpacked tessary-cli.exe is not version $version"
  say "package: the sample round trip with the unpacked tessary-cli.exe under Wine"
  run_samples "$work/tessary-cli" "$place/$name"
}

# dist/: the Debian package and the Windows zip, each from a tested build, each
# then installed and tried as a user would.
run_package() {
  install_missing "${PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
  local version
  version=$(project_version)
  build_release
  say "tests (Release)"
  (cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$JOBS")
  run_windows
  rm -rf "$ROOT/dist" && mkdir -p "$ROOT/dist"
  make_deb
  make_windows_zip "$version"
  test_deb "$version"
  test_windows_zip "$version"
  say "dist/: $(cd "$ROOT/dist" && echo *)"
}

command=${1:-run}
[ $# -gt 0 ] && shift
case "$command" in
  run)
    install_missing "${PACKAGES[@]}"
    build_release
    run_samples
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/tessary ]; then
      say "starting the window (build/tessary)"
      exec build/tessary
    else
      say "no display: start the window later with build/tessary"
    fi
    ;;
  test)
    install_missing "${PACKAGES[@]}"
    run_tests
    say "sample round trip (build/tessary-cli)"
    run_samples
    exit "$TESTS_STATUS"
    ;;
  bench)
    # bench e2e [--quick] [--runs N] [--rows LIST]: the whole-process benchmark (bench/e2e.sh)
    # on a Release build, by default build/ (TESSARY_BENCH_BUILD names another), inputs in its
    # e2e/ folder.
    if [ "${1:-}" = e2e ]; then
      shift
      install_missing "${PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
      configure_and_build "${TESSARY_BENCH_BUILD:-build}" Release
      exec "$ROOT/bench/e2e.sh" --build "$ROOT/${TESSARY_BENCH_BUILD:-build}" "$@"
    fi
    install_missing "${PACKAGES[@]}"
    build_release
    "$ROOT/build/bench/tessary-bench" "$@"
    ;;
  fuzz)
    install_missing "${PACKAGES[@]}"
    run_fuzz "$@"
    ;;
  windows)
    run_windows
    ;;
  package)
    run_package
    ;;
  *)
    echo "usage: $0 [run|test|bench|fuzz [TARGET] [SECONDS]|windows|package]" >&2
    exit 2
    ;;
esac
