#!/usr/bin/env bash
# Render the main window in English and in Simplified Chinese to docs/window-en.png and
# docs/window-zh.png. The window test draws the window off screen, checks the render and,
# with LUTWRIGHT_SCREENSHOT_DIR set, keeps the pictures. The studio's test does the same for
# docs/studio-en.png and docs/studio-zh.png: the test corpus converted to .cube at 33 points,
# a LUT on the preview. docs/preview.png is the command line's preview of a LUT shipped with
# the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if ! fc-list :lang=zh | grep -q .; then
  echo "No font with Chinese glyphs found (install fonts-wqy-microhei): the Chinese picture would show boxes." >&2
  exit 1
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j"$(nproc)" --target tst_mainwindow tst_studio lutwright-cli
mkdir -p docs
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='*.debug=false' LUTWRIGHT_SCREENSHOT_DIR="$PWD/docs" \
  build/tests/tst_mainwindow renderedWindow > /dev/null
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='*.debug=false' LUTWRIGHT_SCREENSHOT_DIR="$PWD/docs" \
  build/tests/tst_studio screenshots > /dev/null
build/cli/lutwright-cli preview tests/data/corpus/lustre_33x33x33.3dl -o docs/preview.png --size 1440x810
ls -l docs/window-en.png docs/window-zh.png docs/studio-en.png docs/studio-zh.png docs/preview.png
