#!/usr/bin/env bash
# The Debian packages as a shop installs them (as root, on a machine without kelm installed): builds
# kelm and kelm-dev in BUILD (default build-package), installs them, checks what they hold and what
# the library exports, builds the host examples against the installed headers (C with pkg-config,
# C++ with find_package) and runs all three offscreen on a scratch database named by KELM_CONFIG,
# then a till configured by /etc/kelm/config.ini alone under an account of group kelm; removes it
# all again.
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD
build=${1:-build-package}
export QT_QPA_PLATFORM=offscreen
unset KELM_CONFIG

if dpkg-query -W -f='${Status}' kelm kelm-dev 2>/dev/null | grep -q "install ok"; then
    echo "package-tests: kelm is installed already; this test installs and removes it itself" >&2
    exit 1
fi

# A /usr installation: the library goes to Debian's multiarch folder.
cmake -S . -B "$build" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j"$(nproc)" --target kelm kelm-admin kelm-pos
rm -f "$build"/kelm*.deb
(cd "$build" && cpack -G DEB >/dev/null)

scratch=$(mktemp -d)
chmod 755 "$scratch"
till=kelm-package-test
group_was_there=$(getent group kelm >/dev/null && echo yes || echo no)
cleanup() {
    userdel "$till" 2>/dev/null || true
    rm -rf "/tmp/runtime-$till"
    rm -rf /var/lib/kelm/kelm.db /var/lib/kelm/cards
    dpkg --purge kelm-dev kelm >/dev/null 2>&1 || true
    if [ "$group_was_there" = no ]; then groupdel kelm 2>/dev/null || true; fi
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "package-tests: $*" >&2
    exit 1
}

dpkg -i "$build"/kelm_*.deb "$build"/kelm-dev_*.deb >/dev/null

# What the packages hold and say.
libdir=/usr/lib/$(gcc -print-multiarch)
for path in "$libdir"/libkelm.so.1 "$libdir"/libkelm.so /usr/bin/kelm-admin /usr/bin/kelm-pos \
    /usr/include/kelm/kelm.h /usr/include/kelm/Class1.h /usr/include/kelm/Error.h /usr/include/kelm/Export.h \
    "$libdir"/cmake/kelm/kelmConfig.cmake "$libdir"/pkgconfig/kelm.pc /usr/share/man/man1/kelm-admin.1 \
    /usr/share/doc/kelm/README.md /usr/share/doc/kelm/LICENSE /usr/share/doc/kelm/CHANGELOG.md /var/lib/kelm; do
    [ -e "$path" ] || fail "the packages do not install $path"
done
diff <(ls sql) <(ls /usr/share/kelm/sql) || fail "/usr/share/kelm/sql does not hold every file of sql/"
[ "$(stat -c %a:%U:%G /etc/kelm/config.ini)" = 640:root:kelm ] || fail "/etc/kelm/config.ini is not 0640 root:kelm"
dpkg-query -W -f='${Conffiles}\n' kelm | grep -q "^ /etc/kelm/config.ini " || fail "/etc/kelm/config.ini is no conffile"
depends=$(dpkg-query -W -f='${Depends}' kelm)
for library in libqt6widgets6 libqt6charts6 libsqlite3-0 libpq5 libodbc2 libpcsclite1; do
    [[ "$depends" == *"$library "* ]] || fail "kelm does not depend on $library: $depends"
done
[ "$(dpkg-query -W -f='${Recommends}' kelm)" = "fonts-noto-cjk, pcscd" ] || fail "kelm's Recommends"
sh tests/entry/check-exports.sh "$libdir"/libkelm.so.1

# kelm-admin's command line.
kelm-admin --help | grep -q "^usage: kelm-admin" || fail "kelm-admin --help"
[ "$(kelm-admin --version)" = "kelm-admin $(pkg-config --modversion kelm)" ] || fail "kelm-admin --version"
set +e
kelm-admin frobnicate >"$scratch/out" 2>"$scratch/err"
status=$?
set -e
[ $status = 2 ] && [ ! -s "$scratch/out" ] && grep -q "^usage:" "$scratch/err" || fail "a usage error must exit 2 with the usage on stderr"

# The hosts, built against the installed headers and library only.
cc -Wall -Werror -o "$scratch/c-host" examples/c/member_screen.c $(pkg-config --cflags --libs kelm)
cmake -S examples/cpp -B "$scratch/cpp" >/dev/null
cmake --build "$scratch/cpp" >/dev/null
# Each must say the member screen is up: from the call's result (C, Python) or the window itself (C++).
expect_screen() {
    local output
    # A message box the screen should not show would wait for a cashier for ever.
    output=$(timeout 30 "$@") || fail "$* failed"
    [[ "$output" == *"会员管理"* ]] || fail "$* did not show the member screen: $output"
    echo "$output"
}

# A till configured by KELM_CONFIG, its database and cards beside its config.ini.
export KELM_CONFIG=$scratch/till/config.ini
mkdir "$scratch/till"
kelm-admin configure 数据库名称=members.db 卡片目录=cards 操作员=收银员01 >/dev/null
kelm-admin init >/dev/null
kelm-admin demo >/dev/null
[ -f "$scratch/till/members.db" ] || fail "kelm-admin did not take the database beside \$KELM_CONFIG"
expect_screen "$scratch/c-host" 1
expect_screen "$scratch/cpp/member_screen" 1
expect_screen python3 examples/python/member_screen.py 1
unset KELM_CONFIG

# A till configured by /etc/kelm/config.ini alone, run by an account of group kelm. The file's password
# is no warning: the group is how the tills are meant to read it.
sed -i 's/^密码=$/密码=till-secret/' /etc/kelm/config.ini
useradd --system --no-create-home --shell /usr/sbin/nologin -G kelm "$till"
runuser -u "$till" -- kelm-admin init >/dev/null
runuser -u "$till" -- kelm-admin demo >/dev/null
[ -f /var/lib/kelm/kelm.db ] || fail "kelm-admin did not make /var/lib/kelm/kelm.db"
expect_screen runuser -u "$till" -- "$scratch/c-host" 1

cleanup
trap - EXIT
[ ! -e /etc/kelm ] && [ ! -e /var/lib/kelm ] || fail "purging kelm left /etc/kelm or /var/lib/kelm"
echo "package-tests: passed"
