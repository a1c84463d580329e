#!/usr/bin/env bash
# The card tests on a real PC/SC stack (as root, after building): a pcscd of our own that loads only
# vsmartcard's virtual reader vpcd, kelm-testcard as the card on it, and the CTest tests labelled pcsc
# from the given build folder.
#   bash scripts/pcsc-tests.sh build-test
set -euo pipefail
cd "$(dirname "$0")/.."

build=$(cd "${1:?usage: pcsc-tests.sh BUILD_FOLDER}" && pwd)
bash scripts/install-packages.sh

# Not vpcd's usual 35963: a pcscd of the system loads vpcd there from /etc/reader.conf.d. vpcd takes
# this port and the next one for its two slots.
port=${KELM_VPCD_PORT:-35973}
work=$(mktemp -d /tmp/kelm-pcsc.XXXXXX)
pids=()

stop_all() {
    local status=$?
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    if [ "$status" -ne 0 ]; then
        echo "--- pcscd log (last lines)"; tail -n 40 "$work/pcscd.log" 2>/dev/null || true
        echo "--- kelm-testcard log (last lines)"; tail -n 40 "$work/testcard.log" 2>/dev/null || true
    fi
    rm -rf "$work"
    exit "$status"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

mkdir "$work/reader.conf.d" "$work/cards"
# DEVICENAME /dev/null:PORT makes vpcd listen for a card on PORT.
cat > "$work/reader.conf.d/vpcd" <<EOF
FRIENDLYNAME "Virtual PCD"
DEVICENAME   /dev/null:$(printf '0x%X' "$port")
LIBPATH      /usr/lib/pcsc/drivers/serial/libifdvpcd.so
CHANNELID    $(printf '0x%X' "$port")
EOF

# pcscd in the foreground, reading only our reader configuration, on a socket in our folder: it is handed
# the listening socket the way systemd's socket activation does (fd 3, LISTEN_FDS, LISTEN_PID), which is
# the one way pcscd takes another socket than /run/pcscd/pcscd.comm. perl-base is always on Debian.
export PCSCLITE_CSOCK_NAME="$work/pcscd.comm"
perl -MSocket -MIO::Socket::UNIX -MPOSIX=dup2 -e '
    my ($path, @command) = @ARGV;
    $^F = 3;  # fd 3 stays open across exec
    my $socket = IO::Socket::UNIX->new(Type => SOCK_STREAM, Local => $path, Listen => 64)
        or die "cannot listen on $path: $!\n";
    dup2(fileno($socket), 3) or die "dup2: $!\n" if fileno($socket) != 3;
    $ENV{LISTEN_FDS} = 1;
    $ENV{LISTEN_PID} = $$;
    exec { $command[0] } @command or die "cannot start $command[0]: $!\n";
' "$PCSCLITE_CSOCK_NAME" /usr/sbin/pcscd --foreground --info --config "$work/reader.conf.d" \
    > "$work/pcscd.log" 2>&1 &
pids+=($!)

"$build/bin/kelm-testcard" --folder "$work/cards" --port "$port" > "$work/testcard.log" 2>&1 &
pids+=($!)

# Ready when vpcd listens for the card.
for _ in $(seq 100); do
    grep -q "daemon ready" "$work/pcscd.log" && break
    kill -0 "${pids[0]}" 2>/dev/null || { echo "pcscd did not start"; exit 1; }
    sleep 0.1
done
grep -q "daemon ready" "$work/pcscd.log" || { echo "pcscd is not ready after 10 s"; exit 1; }

KELM_PCSC_TESTS=1 KELM_TESTCARD_FOLDER="$work/cards" KELM_PCSC_READER="Virtual PCD" QT_QPA_PLATFORM=offscreen \
    ctest --test-dir "$build" -L pcsc --no-tests=error --output-on-failure --timeout 300
