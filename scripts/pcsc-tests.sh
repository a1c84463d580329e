#!/usr/bin/env bash
# The card tests on a real PC/SC stack (as root, after building): a pcscd of our own that loads only
# vsmartcard's virtual reader vpcd, kelm-testcard as the cards on its readers, and the CTest tests labelled
# pcsc from the given build folder.
#   bash scripts/pcsc-tests.sh build-test
#
# The readers, in the order pcscd lists them:
#   Virtual SAM    a contact card that is always there, as in a SAM slot or a security key
#   Virtual 4K     the folder's card, introduced as a MIFARE Classic 4K
#   Virtual PCD    the folder's card, the member card on an ACR122U (the readers the tests use by default)
#   ACS ACR1281U   the folder's card on a reader that keeps its volatile key in slot 20h
# pcscd restarts whenever it ends, so a test can restart the service by ending the process named in
# pcscd.pid in the work folder; with a file named replugged there, Virtual PCD comes back as
# Virtual PCD 01, as a reader plugged in again may come back under another number.
set -euo pipefail
cd "$(dirname "$0")/.."

build=$(cd "${1:?usage: pcsc-tests.sh BUILD_FOLDER}" && pwd)
bash scripts/install-packages.sh

# Not vpcd's usual 35963: a pcscd of the system loads vpcd there from /etc/reader.conf.d. Each reader
# entry takes its port and the next one for vpcd's two slots.
port=${KELM_VPCD_PORT:-35973}
work=$(mktemp -d /tmp/kelm-pcsc.XXXXXX)
pids=()

stop_all() {
    local status=$?
    touch "$work/stopping"
    # The first pid is the loop that restarts pcscd: end pcscd until the loop has seen it should stop.
    while [ "${#pids[@]}" -gt 0 ] && kill -0 "${pids[0]}" 2>/dev/null; do
        kill "$(cat "$work/pcscd.pid" 2>/dev/null)" 2>/dev/null || true
        sleep 0.1
    done
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    if [ "$status" -ne 0 ]; then
        echo "--- pcscd log (last lines)"; tail -n 40 "$work/pcscd.log" 2>/dev/null || true
        for log in "$work"/testcard-*.log; do
            echo "--- $(basename "$log") (last lines)"; tail -n 20 "$log" 2>/dev/null || true
        done
    fi
    rm -rf "$work"
    exit "$status"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

mkdir "$work/reader.conf.d" "$work/replugged.conf.d" "$work/drivers" "$work/cards"
# vpcd keeps its connections in the driver library's globals, so each reader entry loads a copy of its own.
readers=("Virtual SAM" "Virtual 4K" "Virtual PCD" "ACS ACR1281U")
for i in "${!readers[@]}"; do
    driver=$work/drivers/libifdvpcd-$i.so
    cp /usr/lib/pcsc/drivers/serial/libifdvpcd.so "$driver"
    channel=$(printf '0x%X' $((port + 2 * i)))
    # DEVICENAME /dev/null:PORT makes vpcd listen for a card on PORT.
    for conf in reader.conf.d replugged.conf.d; do
        name=${readers[$i]}
        [ "$conf" = replugged.conf.d ] && [ "$name" = "Virtual PCD" ] && name="Virtual PCD 01"
        printf 'FRIENDLYNAME "%s"\nDEVICENAME   /dev/null:%s\nLIBPATH      %s\nCHANNELID    %s\n\n' \
            "$name" "$channel" "$driver" "$channel" >> "$work/$conf/readers"
    done
done

# pcscd in the foreground, reading only our reader configuration, on a socket in our folder: it is handed
# the listening socket the way systemd's socket activation does (fd 3, LISTEN_FDS, LISTEN_PID), which is
# the one way pcscd takes another socket than /run/pcscd/pcscd.comm. perl-base is always on Debian.
export PCSCLITE_CSOCK_NAME="$work/pcscd.comm"
while [ ! -e "$work/stopping" ]; do
    conf=$work/reader.conf.d
    [ -e "$work/replugged" ] && conf=$work/replugged.conf.d
    rm -f "$PCSCLITE_CSOCK_NAME"
    perl -MSocket -MIO::Socket::UNIX -MPOSIX=dup2 -e '
        my ($path, @command) = @ARGV;
        $^F = 3;  # fd 3 stays open across exec
        my $socket = IO::Socket::UNIX->new(Type => SOCK_STREAM, Local => $path, Listen => 64)
            or die "cannot listen on $path: $!\n";
        dup2(fileno($socket), 3) or die "dup2: $!\n" if fileno($socket) != 3;
        $ENV{LISTEN_FDS} = 1;
        $ENV{LISTEN_PID} = $$;
        exec { $command[0] } @command or die "cannot start $command[0]: $!\n";
    ' "$PCSCLITE_CSOCK_NAME" /usr/sbin/pcscd --foreground --info --config "$conf" &
    echo $! > "$work/pcscd.pid"
    wait $! || true
    sleep 0.2
done > "$work/pcscd.log" 2>&1 &
pids+=($!)

testcard() {
    local log=$1
    shift
    "$build/bin/kelm-testcard" "$@" > "$work/testcard-$log.log" 2>&1 &
    pids+=($!)
}
testcard sam --card contact --port "$port"
testcard 4k --card classic4k --folder "$work/cards" --port $((port + 2))
testcard pcd --folder "$work/cards" --port $((port + 4))
testcard acr1281u --reader acr1281u --folder "$work/cards" --port $((port + 6))

# Ready when vpcd listens for the cards.
for _ in $(seq 100); do
    grep -q "daemon ready" "$work/pcscd.log" && break
    kill -0 "${pids[0]}" 2>/dev/null || { echo "pcscd did not start"; exit 1; }
    sleep 0.1
done
grep -q "daemon ready" "$work/pcscd.log" || { echo "pcscd is not ready after 10 s"; exit 1; }

KELM_PCSC_TESTS=1 KELM_TESTCARD_FOLDER="$work/cards" KELM_PCSC_READER="Virtual PCD" KELM_PCSC_WORK="$work" \
    KELM_TESTCARD="$build/bin/kelm-testcard" QT_QPA_PLATFORM=offscreen \
    ctest --test-dir "$build" -L pcsc --no-tests=error --output-on-failure --timeout 300
