#!/usr/bin/env bash
# The README's screenshots in docs/: every screen of the library, worked as a cashier does, and the
# demo till, under an X server of their own (Xvfb) on a demo database in a scratch folder. Not part of
# CI; needs the screenshot packages (KELM_WITH_SCREENSHOTS=1 bash scripts/install-packages.sh).
# Usage: screenshots.sh [BUILD]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scratch=$(mktemp -d)
xvfb=
till=
cleanup() {
    [ -z "$till" ] || kill "$till" 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

# The screens through an installed library, as a host has them.
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target kelm kelm-admin kelm-pos
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
cmake -S docs/screenshots -B "$scratch/driver" -DCMAKE_PREFIX_PATH="$scratch/prefix" >/dev/null
cmake --build "$scratch/driver" >/dev/null

admin=$scratch/prefix/bin/kelm-admin
export KELM_CONFIG=$scratch/till/config.ini
mkdir "$scratch/till"
"$admin" configure 数据库名称=demo.db 卡片目录=cards 操作员=收银员01 收银机=前台1 >/dev/null
"$admin" init >/dev/null
"$admin" demo >/dev/null

# A black screen without a window manager: windows stand where Qt puts them, without frames.
Xvfb -displayfd 1 -screen 0 1280x1024x24 -br -nolisten tcp >"$scratch/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$scratch/display") QT_QPA_PLATFORM=xcb LANG=C.UTF-8

mkdir -p docs
"$scratch/driver/take-screenshots" docs "$admin"

# The demo till with its reader panel: the cards the screens above issued, one on the reader.
"$scratch/prefix/bin/kelm-pos" 2>/dev/null &
till=$!
sleep 3
window=$(xwininfo -root -tree | awk '/演示收银台/ { print $1; exit }')
[ -n "$window" ] || { echo "screenshots: the demo till's window is not shown" >&2; exit 1; }
import -window "$window" docs/demo-till.png
echo demo-till.png
