#!/usr/bin/env bash
# Builds the Windows package on Debian 12: cross-compiles Qt 5 (once, into a cache outside the
# tree) and Lutwright with mingw-w64, runs the test programs and the command-line tests under
# Wine, packs dist/lutwright-VERSION-windows-x64.zip and checks that the unpacked zip runs on
# its own.
#   scripts/windows.sh            everything
#   scripts/windows.sh --qt-only  only make sure the cached Qt exists
#   scripts/windows.sh --no-package  build and run the tests, without the zip and its checks
#   scripts/windows.sh --no-tests    build, pack and check the zip, without the test programs
#   scripts/windows.sh --new-prefix  as a first run does: with a new, empty Wine prefix (made in a
#                                    temporary folder and removed after), and the cached Qt,
#                                    which must exist; goes with --no-package or --no-tests
# LUTWRIGHT_CACHE moves the cache (default ~/.cache/lutwright).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
jobs="$(nproc)"
cache="${LUTWRIGHT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lutwright}"
triplet=x86_64-w64-mingw32

qt_only=false tests=true package=true new_prefix=false
for arg in "$@"; do
  case "$arg" in
    --qt-only) qt_only=true ;;
    --no-package) package=false ;;
    --no-tests) tests=false ;;
    --new-prefix) new_prefix=true ;;
    *) echo "unknown option: $arg (see the head of $0)" >&2; exit 2 ;;
  esac
done

say() { printf '== %s\n' "$*"; }

# Every Wine process this starts runs without address randomisation (inherited by children):
# Debian's Wine has no preloader to hold the addresses a Windows process needs, and with
# randomisation about one start in 1,400 fails ("failed to map the shared user data:
# c0000018"), which under ctest is a test that fails at random.
if [ -z "${LUTWRIGHT_NO_ASLR:-}" ] && setarch -R true 2> /dev/null; then
  exec env LUTWRIGHT_NO_ASLR=1 setarch -R bash "$root/scripts/windows.sh" "$@"
fi

# The Linux build's packages too: the package check compares with the Linux program's output.
# scripts/setup.sh installs only what is missing and waits for another installation to finish.
install_packages() {
  scripts/setup.sh
  scripts/setup.sh g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev \
    wine64 fonts-wine xvfb x11-utils imagemagick dpkg-dev perl python3 zip unzip cmake make ccache
}

# Fetches Debian's qtbase source package into $cache/src. The machine's own apt setup is left
# alone: the deb-src entries (this release's entries of the machine's lists, as source) and
# their index live in a private folder.
fetch_qt_source() {
  local dir="$cache/src" codename f
  codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
  mkdir -p "$dir/apt/parts" "$dir/apt/lists/partial" "$dir/apt/cache/archives/partial"
  : > "$dir/apt/parts/src.list"
  [ -f /etc/apt/sources.list ] &&
    { grep -E "^deb [^#]* $codename" /etc/apt/sources.list | sed 's/^deb /deb-src /' > "$dir/apt/parts/src.list" || true; }
  : > "$dir/apt/parts/src.sources"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v c="$codename" 'BEGIN { RS = ""; ORS = "\n\n" }
      $0 ~ ("Suites:[^\n]*" c) { sub(/Types: *deb/, "Types: deb-src"); print }' "$f" >> "$dir/apt/parts/src.sources"
  done
  for f in /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    grep -E "^deb [^#]* $codename" "$f" | sed 's/^deb /deb-src /' >> "$dir/apt/parts/src.list" || true
  done
  local opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$dir/apt/parts"
              -o "Dir::State::Lists=$dir/apt/lists" -o "Dir::Cache=$dir/apt/cache"
              -o APT::Sandbox::User=root)
  # Private lists, so no other apt-get holds their lock; the timeout is for dpkg's lock.
  opts+=(-o DPkg::Lock::Timeout="${LUTWRIGHT_APT_WAIT:-1800}")
  apt-get "${opts[@]}" update -qq
  (cd "$dir" && apt-get "${opts[@]}" source -qq qtbase-opensource-src > apt-source.log)
}

qt_source_dir() { find "$cache/src" -maxdepth 1 -type d -name 'qtbase-opensource-src-*' 2>/dev/null | sort | tail -1 || true; }

# Qt 5 for mingw-w64, shared (the package ships its DLLs, so nothing has to be linked in a
# special order and the image module shares the program's Qt), with only the modules the
# program and its tests use. The build folder is the prefix, so nothing needs installing.
build_qt() {
  local src
  src="$(qt_source_dir)"
  if [ -z "$src" ]; then
    say "Fetching qtbase's source package"
    fetch_qt_source
    src="$(qt_source_dir)"
  fi
  local version
  version="$(basename "$src" | sed -E 's/^qtbase-opensource-src-([0-9.]+).*/\1/')"
  qt="$cache/qt-$version-mingw-shared"
  [ -f "$qt/.complete" ] && { say "Using the cached Qt in $qt"; return; }
  say "Building Qt $version for Windows into $qt (about 25 minutes on 2 cores)"
  # A build that was stopped goes on where it stopped.
  if [ ! -f "$qt/.configured" ]; then
    rm -rf "$qt"
    mkdir -p "$qt"
    configure_qt "$src"
    touch "$qt/.configured"
  fi
  (cd "$qt" && make -j"$jobs" >> make.log 2>&1) || { tail -40 "$qt/make.log"; exit 1; }
  touch "$qt/.complete"
}

configure_qt() {
  (cd "$qt" && "$1/configure" -prefix "$qt" -opensource -confirm-license \
      -xplatform win32-g++ -device-option CROSS_COMPILE=$triplet- -release -shared \
      -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -no-direct2d \
      -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre \
      -no-sql-sqlite -no-sql-odbc -no-feature-sql -no-feature-network -no-feature-xml \
      -no-feature-concurrent -no-feature-printer -no-feature-tabletevent > configure.log 2>&1) ||
    { tail -40 "$qt/configure.log"; exit 1; }
}

wine_env() {
  # UTF-8, so that non-ASCII file names reach the programs intact.
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
  wine="$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)"
  wineserver="$(dirname "$wine")/wineserver"
  [ -x "$wineserver" ] || wineserver="$(command -v wineserver || echo /usr/lib/wine/wineserver)"
  if $new_prefix; then
    scratch="$(mktemp -d "${TMPDIR:-/tmp}/lutwright-wine.XXXXXX")"
    export WINEPREFIX="$scratch/wine"
    say "Checking a first run: a new Wine prefix $WINEPREFIX, the cached Qt $qt"
    # The temporary prefix goes once its server has ended; a failed run keeps it for a look.
    trap 'rc=$?; "$wineserver" -k 2> /dev/null || true
          if [ "$rc" -eq 0 ]; then rm -rf "$scratch"; else echo "Kept the Wine prefix $WINEPREFIX"; fi' EXIT
  else
    export WINEPREFIX="$cache/wine"
  fi
  make_prefix
}

prefix_complete() {
  [ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/user.reg" ] && [ -f "$WINEPREFIX/userdef.reg" ] &&
    [ -d "$WINEPREFIX/drive_c/windows/system32" ] && [ "$(readlink "$WINEPREFIX/dosdevices/z:")" = / ]
}

# wineboot returns before the prefix is written: the server writes the registry when it ends,
# so the prefix is complete only once the server is gone. Anything started before that (the
# tests, several at once) finds a prefix still being made. A prefix left incomplete by a
# stopped run is made anew.
make_prefix() {
  prefix_complete && return
  if [ -e "$WINEPREFIX" ]; then
    say "The Wine prefix $WINEPREFIX is incomplete: making it anew"
    "$wineserver" -k 2> /dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  say "Making the Wine prefix $WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  local log="$WINEPREFIX.log" rc=0
  WINEDEBUG=err+all "$wine" wineboot --init > "$log" 2>&1 || rc=$?
  timeout 300 "$wineserver" -w || { echo "The Wine server making $WINEPREFIX did not end within 300 s"; exit 1; }
  if [ "$rc" -ne 0 ] || ! prefix_complete; then
    echo "wineboot --init (exit $rc) left $WINEPREFIX incomplete (needed: system.reg, user.reg," \
         "userdef.reg, drive_c/windows/system32, drive Z: on /); its output ($log):"
    tail -30 "$log"
    exit 1
  fi
}

# A Unix path as a Windows program spells it: the prefix maps drive Z: to / (make_prefix checks
# it), so this needs no Wine session (one begun here, before Xvfb, would have no display).
winpath() { local p; p="$(realpath -m "$1")"; printf 'Z:%s' "${p//\//\\}"; }

# The DLLs a Windows binary needs that are not part of Windows, found among the cross
# toolchain's and Qt's, and theirs in turn. The toolchain is asked once it is installed.
find_dll_dirs() {
  runtime_dir="$(dirname "$($triplet-g++-posix -print-file-name=libstdc++-6.dll)")"
  local f
  for f in "$qt/bin/Qt5Core.dll" "$runtime_dir/libstdc++-6.dll" "$runtime_dir/libgcc_s_seh-1.dll" \
           "/usr/$triplet/lib/libwinpthread-1.dll"; do
    [ -f "$f" ] || { echo "$f not found: the Windows programs could not load their DLLs"; exit 1; }
  done
}
dll_dirs() { echo "$qt/bin" "$runtime_dir" "/usr/$triplet/lib"; }
dependencies() {
  local pending=("$@") seen=" " file name dir
  while [ ${#pending[@]} -gt 0 ]; do
    file="${pending[0]}"
    pending=("${pending[@]:1}")
    for name in $($triplet-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
      case "$seen" in *" $name "*) continue ;; esac
      seen+="$name "
      for dir in $(dll_dirs); do
        if [ -f "$dir/$name" ]; then
          echo "$dir/$name"
          pending+=("$dir/$name")
          break
        fi
      done
    done
  done
}

build_programs() {
  say "Building Lutwright for Windows in build-windows"
  export CCACHE_BASEDIR="$root"
  mkdir -p build-windows
  cmake -S . -B build-windows -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/scripts/mingw-toolchain.cmake" -DLUTWRIGHT_QT_PREFIX="$qt" \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DLUTWRIGHT_BENCH=OFF > build-windows/build.log 2>&1 ||
    { tail -30 build-windows/build.log; exit 1; }
  cmake --build build-windows -j"$jobs" >> build-windows/build.log 2>&1 || { grep -B2 -A8 'error' build-windows/build.log | head -60; exit 1; }
}

# A virtual X screen of the given size, in $display (process $xvfb), once it takes clients:
# Wine that starts before it is up has no display for the rest of its session. Displays :90 to
# :99, the first free one; an Xvfb that exits found its display taken meanwhile.
start_xvfb() {
  local n i
  for n in $(seq 90 99); do
    { [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; } && continue
    Xvfb ":$n" -screen 0 "$1" -nolisten tcp > /dev/null 2>&1 &
    xvfb=$!
    for i in $(seq 1 100); do
      kill -0 "$xvfb" 2> /dev/null || break
      DISPLAY=":$n" xdpyinfo > /dev/null 2>&1 && { display=":$n"; return; }
      sleep 0.1
    done
    kill "$xvfb" 2> /dev/null || true
    wait "$xvfb" 2> /dev/null || true
  done
  echo "Xvfb could not start on any of the displays :90 to :99"
  exit 1
}

stop_wine_and_xvfb() {
  "$wineserver" -k 2> /dev/null || true
  kill "$xvfb" 2> /dev/null || true
  wait "$xvfb" 2> /dev/null || true
}

# The test programs (the command-line ones run the Windows lutwright-cli) under Wine. Wine hands
# no QT_ variable to Windows programs, so the window's tests use the Windows platform, on a
# virtual X screen; the other tests draw nothing.
run_tests() {
  say "Running the tests under Wine"
  local path="" dir display xvfb rc=0
  for dir in $(dll_dirs); do path+="${path:+;}$(winpath "$dir")"; done
  start_xvfb 1400x900x24
  first_program "$path" || { stop_wine_and_xvfb; exit 8; }
  (cd build-windows && DISPLAY="$display" WINEPATH="$path" ctest -V -j"$jobs") \
    > build-windows/wine-tests.log 2>&1 || rc=$?
  stop_wine_and_xvfb
  grep -E 'tests passed|\*\*\*Failed|Not Run|Timeout' build-windows/wine-tests.log || true
  echo "$(grep -cE '^[0-9]+: ok ' build-windows/wine-tests.log) test cases passed under Wine," \
       "$(grep -cE '^[0-9]+: not ok ' build-windows/wine-tests.log) failed (log: build-windows/wine-tests.log)"
  return "$rc"
}

# One test program, alone, before ctest starts several at once: where it cannot load its DLLs
# (or Wine cannot run it), this says so with Wine's own errors instead of a wall of failed tests.
first_program() {
  local exe out rc=0
  exe="$(find build-windows/tests -maxdepth 1 -name 'tst_*.exe' | sort | head -1)"
  [ -n "$exe" ] || { echo "No test program in build-windows/tests"; return 1; }
  out="$(DISPLAY="$display" WINEPATH="$1" WINEDEBUG=-all,err+module,err+process \
         timeout 300 "$wine" "$exe" -functions 2>&1)" || rc=$?
  if [ "$rc" -ne 0 ]; then
    echo "$exe does not run under Wine (exit $rc), so no test would; WINEPATH=$1"
    echo "Its output:"
    tr -d '\r' <<< "$out" | tail -30
    return 1
  fi
  echo "$(basename "$exe") runs under Wine: $(grep -c '()' <<< "$out" || true) test functions listed"
}

version() { sed -n 's/^project(Lutwright VERSION \([^ ]*\).*/\1/p' CMakeLists.txt; }

# The programs with every DLL and plugin they load, in one folder.
pack() {
  local name="lutwright-$(version)-windows-x64" stage
  stage="build-windows/stage/$name"
  say "Packing dist/$name.zip"
  rm -rf build-windows/stage && mkdir -p "$stage/platforms" "$stage/imageformats" "$stage/styles"
  cp build-windows/lutwright.exe build-windows/studio/lutwright-studio.exe build-windows/cli/lutwright-cli.exe \
     build-windows/cli/lutwright-images.dll "$stage/"
  cp "$qt/plugins/platforms/qwindows.dll" "$qt/plugins/platforms/qoffscreen.dll" "$stage/platforms/"
  cp "$qt/plugins/imageformats/"{qjpeg,qgif,qico}.dll "$stage/imageformats/"
  cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
  cp $(dependencies "$stage"/*.dll "$stage"/*.exe "$stage"/*/*.dll | sort -u) "$stage/"
  $triplet-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll
  # Plugins beside the programs, never in the folder this Qt was built in.
  printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\n' > "$stage/qt.conf"
  cp README.md "$stage/README.md"
  mkdir -p dist && rm -f "dist/$name.zip"
  (cd build-windows/stage && zip -qr9 "$root/dist/$name.zip" "$name")
  zip_file="dist/$name.zip"
  ls -l "$zip_file"
}

# The unpacked zip in an empty folder, with no other DLL path: the programs start, convert a
# .cube to every writable format with CR LF line ends and the Linux build's numbers, apply a
# LUT to a PNG, the studio converts a file (picture in docs/studio-wine.png), and the window
# opens (screenshot in docs/window-windows.png).
check_package() {
  say "Checking the unpacked package on its own"
  local t
  t="$(mktemp -d)"
  unzip -q "$zip_file" -d "$t"
  local dir="$t/$(basename "$zip_file" .zip)"
  local cli=("$wine" "$dir/lutwright-cli.exe")
  (unset WINEPATH; cd "$t" && "${cli[@]}" --version) | tr -d '\r' | grep -q . || { echo "lutwright-cli.exe --version printed nothing"; exit 1; }

  # The same conversions by the Linux build, for reference.
  local linux=build/cli/lutwright-cli
  if [ ! -x "$linux" ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
    cmake --build build -j"$jobs" --target lutwright-cli > /dev/null
  fi
  # A 9-point .cube whose numbers use all six decimals, with a non-ASCII name.
  local input="$t/entrée 9.cube"
  awk 'BEGIN { print "TITLE \"graded\""; print "LUT_3D_SIZE 9"
    for (b = 0; b < 9; b++) for (g = 0; g < 9; g++) for (r = 0; r < 9; r++)
      printf "%.6f %.6f %.6f\n", (r / 8) ^ 1.3, 0.02 + 0.9 * g / 8 + 0.003 * r, (b / 8) ^ 0.7 }' > "$input"
  local id ext failed=0 count=0 images=0 refused=0 out lrc wrc
  while read -r id ext; do
    out="out-$id$ext" lrc=0 wrc=0
    "$linux" convert "$input" -o "$t/linux-$out" --to "$id" > /dev/null 2> "$t/linux-$out.err" || lrc=$?
    (unset WINEPATH; cd "$t" && "${cli[@]}" convert "$(winpath "$input")" -o "$out" --to "$id" > /dev/null 2> "$out.err") || wrc=$?
    if [ "$lrc" -ne 0 ]; then
      # A format that cannot hold this LUT (a CDL, a matrix): refused by both, for the same reason.
      if [ "$wrc" -eq 0 ] || [ -e "$t/$out" ]; then
        echo "$out: written, though the Linux build refuses it: $(cat "$t/linux-$out.err")"; failed=1
      elif [ "$(sed -n 's/.*: not written: //p' "$t/linux-$out.err")" != "$(tr -d '\r' < "$t/$out.err" | sed -n 's/.*: not written: //p')" ]; then
        echo "$out: refused for another reason than the Linux build's: $(tr -d '\r' < "$t/$out.err")"; failed=1
      fi
      refused=$((refused + 1))
    elif [ ! -s "$t/$out" ]; then
      echo "$out: not written: $(tr -d '\r' < "$t/$out.err")"; failed=1
    elif [[ "$ext" =~ ^\.(png|bmp|tif|tiff|jpg|jpeg)$ ]]; then
      # Images: the same pixels (the two builds' zlib may compress differently).
      if [ "$(identify -format '%wx%h %#' "$t/$out")" != "$(identify -format '%wx%h %#' "$t/linux-$out")" ]; then
        echo "$out: other pixels than the Linux build's"; failed=1
      fi
      images=$((images + 1))
    elif grep -qv $'\r$' "$t/$out"; then
      echo "$out: not every line ends in CR LF"; failed=1
    elif ! cmp -s <(tr -d '\r' < "$t/$out") "$t/linux-$out"; then
      echo "$out differs from the Linux build's output once CR LF becomes LF"; failed=1
    fi
    count=$((count + 1))
  done < <(cd "$t" && "${cli[@]}" formats | tr -d '\r' | awk 'NR > 1 && /(yes|no) +yes / { print $1, $2 }')
  [ "$count" -gt 0 ] || { echo "no writable format listed"; exit 1; }
  [ "$failed" -eq 0 ] || exit 1
  # The formats the package writes (ICC needs Little CMS, which the Windows build has not).
  echo "$count writable formats: $((count - images - refused)) text formats with CR LF line ends and the Linux build's bytes" \
       "once CR LF becomes LF, $images image formats with the Linux build's pixels, $refused that cannot hold a" \
       "lattice refused as the Linux build refuses them"

  # A LUT on a PNG.
  convert -size 64x48 gradient:red-blue "$t/photo.png"
  (unset WINEPATH; cd "$t" && "${cli[@]}" apply "$(winpath "$input")" photo.png -o graded.png > /dev/null)
  [ "$(identify -format '%wx%h' "$t/graded.png")" = 64x48 ] || { echo "apply made no 64x48 PNG"; exit 1; }
  echo "apply on a PNG: $(identify -format '%m %wx%h' "$t/graded.png")"

  check_studio "$dir" "$t" "$input"
  screenshot "$dir"
  rm -rf "$t"
}

# The studio from the unpacked zip, on a virtual X screen: it adds a file, converts it to .cube
# at 33 points into a folder, keeps a picture of its window and quits. The output has the bytes
# of lutwright-cli.exe's, and the Linux build's once CR LF becomes LF.
check_studio() {
  local dir="$1" t="$2" input="$3" display xvfb rc=0 begun
  local out="$t/studio-out" written="$t/studio-out/$(basename "$input")"
  # As below: the programs above ran without a display, and their session ends first.
  timeout 60 "$wineserver" -w || "$wineserver" -k 2> /dev/null || true
  start_xvfb 1400x900x24
  begun=$(date +%s)
  mkdir -p docs
  (unset WINEPATH; cd "$t" && DISPLAY="$display" timeout 600 "$wine" "$dir/lutwright-studio.exe" "$(winpath "$input")" \
     --to cube --size 33 -d "$(winpath "$out")" --screenshot "$(winpath "$root/docs/studio-wine.png")" \
     > "$t/studio.log" 2>&1) || rc=$?
  stop_wine_and_xvfb
  if [ "$rc" -ne 0 ]; then
    echo "lutwright-studio.exe ended with exit status $rc; its output:"
    tr -d '\r' < "$t/studio.log" | tail -20
    exit 1
  fi
  [ -s "$written" ] || { echo "the studio wrote no $written"; exit 1; }
  build/cli/lutwright-cli convert "$input" -o "$t/linux-studio.cube" --size 33 > /dev/null
  (unset WINEPATH; cd "$t" && "$wine" "$dir/lutwright-cli.exe" convert "$(winpath "$input")" -o cli-studio.cube --size 33 > /dev/null)
  cmp -s "$written" "$t/cli-studio.cube" || { echo "the studio's output differs from lutwright-cli.exe's"; exit 1; }
  cmp -s <(tr -d '\r' < "$written") "$t/linux-studio.cube" ||
    { echo "the studio's output differs from the Linux build's once CR LF becomes LF"; exit 1; }
  [ -s docs/studio-wine.png ] || { echo "the studio kept no picture of its window"; exit 1; }
  echo "studio: converted a file to .cube at 33 points in $(( $(date +%s) - begun )) s, the bytes of lutwright-cli.exe's;" \
       "window: docs/studio-wine.png ($(identify -format '%wx%h' docs/studio-wine.png))"
}

# Start the window in a Wine desktop on a virtual X screen (Wine draws the title bar there) and
# keep a picture of it.
screenshot() {
  local dir="$1" display xvfb app
  # The programs above ran without a display: their session ends first, or the desktop would
  # start in it, with no display.
  timeout 60 "$wineserver" -w || "$wineserver" -k 2> /dev/null || true
  start_xvfb 1180x640x24
  (unset WINEPATH; cd "$dir" && DISPLAY="$display" "$wine" explorer /desktop=Lutwright,1100x560 lutwright.exe > /dev/null 2>&1) &
  app=$!
  local i id=""
  for i in $(seq 1 90); do
    sleep 1
    id="$(DISPLAY="$display" xwininfo -root -tree 2> /dev/null | awk '/"Lutwright \(v[0-9.]+\)"/ { print $1; exit }')"
    [ -n "$id" ] && break
  done
  [ -n "$id" ] || { echo "the window did not open"; exit 1; }
  sleep 5
  mkdir -p docs
  # The window with the title bar Wine draws for it.
  DISPLAY="$display" import -window "$id" docs/window-windows.png
  DISPLAY="$display" "$wine" wineboot --end-session > /dev/null 2>&1 || true
  kill "$app" 2> /dev/null || true
  stop_wine_and_xvfb
  wait 2> /dev/null || true
  echo "window: docs/window-windows.png"
}

start=$(date +%s)
install_packages
if $new_prefix && ! compgen -G "$cache/qt-*-mingw-shared/.complete" > /dev/null; then
  echo "--new-prefix needs the cached Qt for Windows in $cache: run scripts/windows.sh --qt-only first"
  exit 1
fi
build_qt
$qt_only && exit 0
find_dll_dirs
wine_env
build_programs
! $tests || run_tests
if ! $package; then
  say "Done in $(( $(date +%s) - start )) s"
  exit 0
fi
pack
check_package
say "Done in $(( $(date +%s) - start )) s: $zip_file ($(du -h "$zip_file" | cut -f1))"
