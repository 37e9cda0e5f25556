#!/usr/bin/env bash
# Patrol times against a real news server: Debian's INN on loopback, and the
# same INN behind a slow line (bench/slowline.py). Rows, all measured in this
# run: the protocol's own pace (HEAD and BODY one at a time, nothing stored),
# Pelora with Pipelining 0 and 1, Pipelining 1 with Compress 1 (INN deflates
# its replies), Pipelining 1 inside TLS (loopback only), and slrnpull when it
# is installed. Each row is a whole pass into a fresh data folder; the ratio
# is to the first row. Then many small
# groups behind the slow line: PELORA_BENCH_GROUPS groups (120) of 3
# articles each, pipelined with and without compression, and a pass that
# finds nothing new in any of them, then one more such pass.
#
#   bench/patrol-inn.sh        (as root; needs a built bench_PatrolBench)
#
# PELORA_BENCH_LOOP articles (400) on loopback, PELORA_BENCH_SLOW (60) over
# the line of PELORA_BENCH_DELAY ms each way (100) and PELORA_BENCH_RATE
# bytes/s (8000); about 2.5 KB each. Takes a few minutes.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR="${BUILD_DIR:-$here/build}"
loop=${PELORA_BENCH_LOOP:-400}
slow=${PELORA_BENCH_SLOW:-60}
delay=${PELORA_BENCH_DELAY:-100}
rate=${PELORA_BENCH_RATE:-8000}
fast_group=pelora.bench.loopback
slow_group=pelora.bench.slowline
many=${PELORA_BENCH_GROUPS:-120}
many_groups=$(seq -f "pelora.bench.many%03g" 1 "$many")
line_port=11919

state=$(bash "$here/tools/inn.sh" start $fast_group $slow_group $many_groups)
work=$(mktemp -d)
relay=""
cleanup() {
  [ -n "$relay" ] && kill "$relay" 2>/dev/null || true
  [ "$state" = started ] && bash "$here/tools/inn.sh" stop || true
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# Fills each group up to its count with ISO-2022-JP articles of about 2.5 KB.
python3 - "$fast_group" "$loop" "$slow_group" "$slow" $(printf '%s 3 ' $many_groups) <<'EOF'
import socket, sys
def ask(s, f, line):
    s.sendall(line + b"\r\n")
    # Acknowledge at once: INN sends status and text apart (Nagle).
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
    return f.readline()
s = socket.create_connection(("127.0.0.1", 119))
s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
f = s.makefile("rb")
f.readline()
ask(s, f, b"MODE READER")
body = [b"\x1b$B=d2s$NB.$5$rB,$k$?$a$N5-;v$G$9!#\x1b(B",
        b"\x1b$BK\\J8$O\x1b(B ISO-2022-JP \x1b$B$G$9!#\x1b(B" + b" abc" * 8,
        b"> \x1b$B0zMQ$5$l$?9T$G$9!#\x1b(B",
        b"..\x1b$BE@$G;O$^$k9T\x1b(B"]
args = sys.argv[1:]
for group, want in zip(args[0::2], args[1::2]):
    reply = ask(s, f, b"GROUP " + group.encode()).split()
    have = int(reply[1]) if reply[0] == b"211" else 0
    for n in range(have, int(want)):
        assert ask(s, f, b"POST").startswith(b"340")
        lines = [b"From: =?ISO-2022-JP?B?GyRCQixEahsoQg==?= <bench@example.test>",
                 b"Newsgroups: " + group.encode(),
                 b"Subject: =?ISO-2022-JP?B?GyRCQi5FWUIsRGobKEI=?= %d" % n,
                 b"MIME-Version: 1.0", b"Content-Type: text/plain; charset=ISO-2022-JP", b""]
        size = 0
        i = 0
        while size < 2200:
            lines.append(body[i % 4]); size += len(body[i % 4]) + 2; i += 1
        s.sendall(b"\r\n".join(lines) + b"\r\n")
        reply = ask(s, f, b".")
        assert reply.startswith(b"240"), reply
ask(s, f, b"QUIT")
EOF

bench=("$BUILD_DIR/bench/bench_PatrolBench.exe")
. "$here/tools/wine-env.sh"
wine_prefix_ready
xvfb=""
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:$(( 150 + RANDOM % 40 ))
  Xvfb "$DISPLAY" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'cleanup; kill $xvfb 2>/dev/null || true' EXIT
  sleep 1
fi

# "SECONDS ARTICLES BYTES" of one pass.
pass() {   # port group [bench options]
  local port=$1 group=$2; shift 2
  wine "${bench[@]}" --port "$port" --group-names "$group" --runs 1 "$@" 2>&1 | tr -d '\r' |
    awk '/^result:/ {print $2, $3, $4}'
}
slrn() {   # port group
  command -v slrnpull >/dev/null || return 0
  local spool="$work/slrn.$RANDOM"
  mkdir -p "$spool"
  echo "$2 100000 0 0" > "$spool/slrnpull.conf"
  local begin end
  begin=$(date +%s.%N)
  slrnpull -d "$spool" -h "127.0.0.1:$1" --no-post >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  local count
  count=$(find "$spool/news" -type f -name '[0-9]*' 2>/dev/null | wc -l)
  echo "$(echo "$end - $begin" | bc) $count -"
}

table() {   # title, then lines "name seconds articles"
  local title=$1; shift
  echo
  echo "$title"
  printf '%-50s %9s %9s %8s\n' row seconds articles ratio
  local first=""
  for row in "$@"; do
    IFS='|' read -r name seconds count <<<"$row"
    [ -z "$seconds" ] && continue
    [ -z "$first" ] && first=$seconds
    printf '%-50s %9.2f %9s %7.3fx\n' "$name" "$seconds" "$count" "$(echo "$seconds / $first" | bc -l)"
  done
}

echo "server: INN 2.7 (Debian inn2) on 127.0.0.1:119 ($([ "$state" = started ] && echo "started for this run" || echo "already running")), load $(cut -d' ' -f1-3 /proc/loadavg)"
read -r p_s p_n _ <<<"$(pass 119 $fast_group --pace)"
read -r s_s s_n _ <<<"$(pass 119 $fast_group --pipelining 0)"
read -r q_s q_n _ <<<"$(pass 119 $fast_group --pipelining 1 --runs 5)"
read -r cp_s cp_n _ <<<"$(pass 119 $fast_group --pace --pipelining 1 --compress 1)"
read -r c_s c_n _ <<<"$(pass 119 $fast_group --pipelining 1 --compress 1 --runs 5)"
# The same pipelined pass inside TLS, from INN's TLS reader daemon; its test
# certificate is let in by its stored fingerprint.
tls_port=$(bash "$here/tools/inn.sh" tls)
tls_pin=$(openssl x509 -in /var/lib/news/pelora-tls/good.pem -noout -fingerprint -sha256 | cut -d= -f2)
read -r t_s t_n _ <<<"$(pass "$tls_port" $fast_group --pipelining 1 --runs 5 --security 2 --fingerprint "$tls_pin" \
                        --user pelora --password tls-only)"
read -r r_s r_n _ <<<"$(slrn 119 $fast_group)"
table "(a) loopback INN, $loop articles" \
  "protocol's own pace, one at a time|$p_s|$p_n" "Pelora, Pipelining 0|$s_s|$s_n" \
  "Pelora, Pipelining 1 (median of 5)|$q_s|$q_n" "all commands at once, compressed, nothing stored|$cp_s|$cp_n" \
  "Pelora, Pipelining 1, Compress 1 (median of 5)|$c_s|$c_n" \
  "Pelora, Pipelining 1, TLS (median of 5)|$t_s|$t_n" \
  "slrnpull|${r_s:-}|${r_n:-}"
goals=("loopback: Pipelining 1 is $(echo "$s_s / $q_s" | bc)x as fast as 0 (goal at least 10x)"
       "loopback: Pipelining 0 takes $(printf %.3f "$(echo "$s_s / $p_s" | bc -l)")x the protocol's pace (goal at most 1.05x)"
       "loopback: Compress 1 takes $(printf %.3f "$(echo "$c_s / $q_s" | bc -l)")x the uncompressed pipelined pass (goal at most 1.2x)"
       "loopback: TLS takes $(printf %.3f "$(echo "$t_s / $q_s" | bc -l)")x the clear-text pipelined pass (goal at most 1.2x)")
[ -n "${r_s:-}" ] && goals+=("loopback: Pipelining 1 takes $(printf %.3f "$(echo "$q_s / $r_s" | bc -l)")x slrnpull's time (goal below 1)")

python3 "$here/bench/slowline.py" $line_port 119 --delay-ms "$delay" --rate "$rate" 2>/dev/null &
relay=$!
sleep 0.5
read -r p_s p_n _ <<<"$(pass $line_port $slow_group --pace)"
read -r s_s s_n _ <<<"$(pass $line_port $slow_group --pipelining 0)"
read -r q_s q_n q_b <<<"$(pass $line_port $slow_group --pipelining 1)"
read -r c_s c_n c_b <<<"$(pass $line_port $slow_group --pipelining 1 --compress 1)"
read -r r_s r_n _ <<<"$(slrn $line_port $slow_group)"
line=$(echo "$q_b / $rate" | bc -l)
table "(b) INN behind a slow line ($delay ms each way, $rate bytes/s), $slow articles" \
  "protocol's own pace, one at a time|$p_s|$p_n" "Pelora, Pipelining 0|$s_s|$s_n" \
  "Pelora, Pipelining 1|$q_s|$q_n" "Pelora, Pipelining 1, Compress 1 ($c_b bytes)|$c_s|$c_n" \
  "slrnpull|${r_s:-}|${r_n:-}" "the line carrying the $q_b bytes received|$line|"
goals+=("slow line: Pipelining 1 takes $(printf %.3f "$(echo "$q_s / $line" | bc -l)")x the line's time for its bytes (goal at most 1.1x)"
        "slow line: Pipelining 0 takes $(printf %.3f "$(echo "$s_s / $p_s" | bc -l)")x the protocol's pace (goal at most 1.05x)"
        "slow line: Compress 1 takes $(printf %.3f "$(echo "$c_s / $line" | bc -l)")x the line's time for the uncompressed bytes (goal at most 0.4x)")
[ -n "${r_s:-}" ] && goals+=("slow line: Pipelining 1 takes $(printf %.3f "$(echo "$q_s / $r_s" | bc -l)")x slrnpull's time (goal below 1)"
                             "slow line: Compress 1 is $(printf %.2f "$(echo "$r_s / $c_s" | bc -l)")x as fast as slrnpull (goal at least 2x)")

# Many small groups: what counts is the round trips per group.
names=$(echo $many_groups | tr ' ' ,)
read -r m_s m_n m_b <<<"$(pass $line_port "$names" --pipelining 1)"
read -r mc_s mc_n mc_b <<<"$(pass $line_port "$names" --pipelining 1 --compress 1)"
read -r mz_s mz_n mz_b <<<"$(pass $line_port "$names" --pipelining 1 --compress 1 --again)"
read -r my_s my_n my_b <<<"$(pass $line_port "$names" --pipelining 1 --compress 1 --again --again)"
trip=$(echo "2 * $delay / 1000" | bc -l)
floor=$(echo "$mc_b / $rate + 2 * $trip" | bc -l)
table "(c) INN behind the slow line, $many groups of 3 new articles" \
  "the line's floor: compressed bytes plus two round trips|$floor|" \
  "Pelora, Pipelining 1 ($m_b bytes)|$m_s|$m_n" "Pelora, Pipelining 1, Compress 1 ($mc_b bytes)|$mc_s|$mc_n" \
  "the same, nothing new in any group ($mz_b bytes)|$mz_s|$mz_n" \
  "the same, nothing new a second time ($my_b bytes)|$my_s|$my_n"
goals+=("many groups: Compress 1 takes $(printf %.3f "$(echo "$mc_s / $floor" | bc -l)")x the line's floor (goal at most 1.5x)"
        "many groups, nothing new: $(printf %.1f "$(echo "($mz_s - $mz_b / $rate) / $trip" | bc -l)") round trips besides its bytes (goal at most 4)")
echo
printf '%s\n' "${goals[@]}"
