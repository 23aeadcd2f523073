#!/bin/busybox sh
# The guest's /init: loads the HID modules, starts systemd-udevd with the project's rule, plugs
# the uhid mouse and drives vm31ctl against /dev/hidraw*. Every check prints "guest: FAIL: ..."
# when it fails; the last line is "guest: verdict: PASS" or "guest: verdict: FAIL". The apply's
# wire trace goes out on the second serial port for the host's decoder.
/bin/busybox --install -s /bin
export PATH=/bin:/sbin:/opt/vm31
export HOME=/root XDG_RUNTIME_DIR=/run/user/0
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
mkdir -p -m 700 /run/user/0 /root

failures=0
fail() { echo "guest: FAIL: $*"; failures=$((failures + 1)); }
finish() {
  if [ "$failures" -eq 0 ]; then echo "guest: verdict: PASS"; else echo "guest: verdict: FAIL"; fi
  sync
  poweroff -f
}
show() { sed 's/^/guest:   | /' "$1"; }
# wait_count FILE PATTERN N: until FILE holds N lines matching PATTERN (an extended regular
# expression; 20 s at most, for a slow emulated machine). A file not yet created counts 0.
wait_count() {
  i=0
  while :; do
    found=$(grep -cE -- "$2" "$1" 2>/dev/null)
    [ "${found:-0}" -ge "$3" ] && return 0
    i=$((i + 1))
    if [ "$i" -gt 400 ]; then fail "fewer than $3 \"$2\" in $1:"; show "$1"; return 1; fi
    sleep 0.05
  done
}

for module in hid hid-generic uhid; do
  insmod "/modules/$module.ko" || { fail "insmod $module"; finish; }
done
/lib/systemd/systemd-udevd --daemon --resolve-names=never || { fail "systemd-udevd"; finish; }

# The mice: one uhid_mouse per mouse, commands through a FIFO on descriptor 5 (a) or 6 (b).
seq_a=0
seq_b=0
start_mouse() {  # start_mouse NAME FD ARGS...
  name=$1 fd=$2
  shift 2
  mkfifo "/tmp/$name.in"
  # The other mouse's command descriptor is not inherited: it would keep that FIFO open.
  uhid_mouse --name "vm31-uhid-$name" --definition /test/vm31-device.ini "$@" \
    <"/tmp/$name.in" >"/tmp/$name.out" 2>"/tmp/$name.err" 5>&- 6>&- &
  eval "pid_$name=\$!"
  eval "exec $fd>/tmp/$name.in"
}
mouse() {  # mouse NAME COMMAND...: sends the command and waits for its answer
  name=$1
  shift
  eval "seq_$name=\$((seq_$name + 1)); n=\$seq_$name"
  if [ "$name" = a ]; then echo "$*" >&5; else echo "$*" >&6; fi
  wait_count "/tmp/$name.out" "^(ok|error) $n( |$)" 1
  grep -q "^error $n " "/tmp/$name.out" && fail "mouse $name: $*: $(grep "^error $n " "/tmp/$name.out")"
  udevadm settle --timeout=20
}
count=0
transfers() {  # transfers NAME: sets count to the configuration transfers since the last ask
  mouse "$1" transfers
  count=$(grep '^transfers ' "/tmp/$1.out" | tail -n 1 | cut -d' ' -f2)
}
stop_mouse() {  # stop_mouse NAME: ends it; its exit status says whether the firmware was content
  if [ "$1" = a ]; then exec 5>&-; else exec 6>&-; fi
  eval "wait \$pid_$1"
  status=$?
  [ "$status" -eq 0 ] || { fail "mouse $1 ended with $status:"; show "/tmp/$1.err"; }
}
mouse_nodes() {  # the hidraw nodes whose HID device carries the mouse's ids
  for node in /sys/class/hidraw/hidraw*; do
    grep -q '^HID_ID=0003:00000F3A:00007C21$' "$node/device/uevent" 2>/dev/null &&
      echo "/dev/${node##*/}"
  done
}

start_mouse a 5 --sensor-type 2 --trace /tmp/apply.trace
mouse a plug

# The access rule: both nodes of the mouse carry the uaccess tag.
nodes=$(mouse_nodes)
[ "$(echo $nodes | wc -w)" -eq 2 ] || fail "expected the mouse's two hidraw nodes, found: $nodes"
for node in $nodes; do
  udevadm info --query=property --name="$node" | grep -q '^TAGS=.*:uaccess:' ||
    { fail "$node has no uaccess tag:"; udevadm info --name="$node" | sed 's/^/guest:   | /'; }
done

# The full apply, its trace checked on the host; then status.
vm31ctl apply --config /test/config.bin --prefs /test/str.ini >/tmp/out 2>&1 ||
  { fail "apply: exit $?"; show /tmp/out; }
mouse a trace stop
vm31ctl status >/tmp/out 2>&1 || { fail "status: exit $?"; show /tmp/out; }
grep -q '^mouse: present$' /tmp/out || { fail "status does not say present:"; show /tmp/out; }
grep -q '^path: /dev/hidraw' /tmp/out || { fail "status does not name a hidraw node:"; show /tmp/out; }
grep -q '^sensor type: 2$' /tmp/out || { fail "status does not show sensor type 2:"; show /tmp/out; }

# watch: a DPI press, unplug and replug without a restart, a press after the replug.
vm31ctl watch >/tmp/watch.log 2>&1 5>&- 6>&- &
watch_pid=$!
wait_count /tmp/watch.log "watching" 1
mouse a press dpi 2
wait_count /tmp/watch.log "^DPI stage 2$" 1
mouse a unplug
wait_count /tmp/watch.log "^mouse not detected$" 1
mouse a plug
wait_count /tmp/watch.log "^mouse detected$" 3  # at start, then once per collection
mouse a press group 2
wait_count /tmp/watch.log "^key group 2" 1
kill -TERM "$watch_pid"
wait "$watch_pid" || fail "watch ended with $? on SIGTERM"
[ "$(grep -c '^DPI stage 2$' /tmp/watch.log)" -eq 1 ] || { fail "one press, several events:"; show /tmp/watch.log; }

# Two mice at once, listed so that the other mouse's event collection comes first: b's events,
# a's control and events, b's control (the kernel lists HID devices in creation order).
mouse a unplug
start_mouse b 6
mouse b plug events
mouse a plug
mouse b plug control
[ "$(mouse_nodes | wc -l)" -eq 4 ] || fail "expected four hidraw nodes of two mice"
transfers a
transfers b
vm31ctl watch >/tmp/watch2.log 2>&1 5>&- 6>&- &
watch_pid=$!
wait_count /tmp/watch2.log "watching" 1
# watch has done its handshake and sensor refresh: the mouse that saw them is the programmed one.
transfers a
a_transfers=$count
transfers b
b_transfers=$count
if [ "$a_transfers" -gt 0 ] && [ "$b_transfers" -eq 0 ]; then
  programmed=a other=b
elif [ "$b_transfers" -gt 0 ] && [ "$a_transfers" -eq 0 ]; then
  programmed=b other=a
else
  programmed=a other=b
  fail "watch talked to both mice or to neither (a: $a_transfers, b: $b_transfers transfers)"
fi
# The other mouse presses first: a reader on its node would see that press first.
mouse "$other" press dpi 4
mouse "$programmed" press dpi 3
wait_count /tmp/watch2.log "^DPI stage 3$" 1
sleep 0.5
grep -q "^DPI stage 4$" /tmp/watch2.log &&
  { fail "the other mouse's events were read:"; show /tmp/watch2.log; }
kill -TERM "$watch_pid"
wait "$watch_pid"

stop_mouse a
stop_mouse b
udevadm settle --timeout=20
[ -z "$(mouse_nodes)" ] || fail "the mouse's nodes stayed after the mice ended"

# The trace on the second serial port; the wait lets the port drain before the power goes.
cat /tmp/apply.trace >/dev/ttyS1
sleep 1
finish
