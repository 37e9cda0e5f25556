#!/usr/bin/env bash
# A real news server for the tests and the benchmark: Debian's INN on
# loopback port 119, with the groups the tests post to.
#   tools/inn.sh start [GROUP...]
#                        installs INN when missing, starts it unless it runs,
#                        creates the test groups and any named; prints
#                        "started" or "running"
#   tools/inn.sh stop    shuts INN down
#   tools/inn.sh tls     starts, unless they run, reader daemons speaking TLS
#                        beside it, for the tests (port 119 is left as it is):
#                          TLS_BASE      TLS from the first byte
#                          TLS_BASE + 1  STARTTLS
#                          TLS_BASE + 2  TLS, a certificate for another name
#                          TLS_BASE + 3  TLS, a certificate that has expired
#                          TLS_BASE + 4  TLS, a certificate for *.pelora.test
#                          TLS_BASE + 5  TLS, a certificate valid from 2040
#                          TLS_BASE + 6  TLS 1.0 only (openssl s_server, no NNTP)
#                        Their certificates come from a test root
#                        ($tls/root.der); AUTHINFO works only encrypted, for
#                        the user "pelora" with the password "tls-only".
#   tools/inn.sh tls-stop  stops those daemons by their process ids
set -euo pipefail
TLS_BASE=11563
tls=/var/lib/news/pelora-tls
groups="pelora.test.alpha pelora.test.beta pelora.test.gamma"
bin=/usr/lib/news/bin
SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo

as_news() { $SUDO su news -s /bin/sh -c "$*"; }

listening() { (exec 3<>/dev/tcp/127.0.0.1/119) 2>/dev/null; }

installed() { dpkg-query -W -f='${Status}' inn2 2>/dev/null | grep -q 'install ok installed'; }

fresh=""
install_inn() {
  installed && return 0
  fresh=1   # the package's own set-up may have started the server
  echo "inn: installing inn2" >&2
  $SUDO apt-get update -qq
  # The package's set-up fails, leaving it half-configured, while inn.conf
  # names no domain; it is given one below and the set-up run again.
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    -o Dpkg::Options::=--force-confold inn2 >/dev/null 2>&1 || true
  conf=/etc/news/inn.conf
  if [ -f $conf.dpkg-dist ] && ! grep -qs '^pathnews:' $conf; then
    $SUDO cp $conf.dpkg-dist $conf   # a partial file of an earlier attempt
  fi
  grep -qs '^domain:' $conf || $SUDO sed -i 's/^#domain:.*/domain: example.test/' $conf
  grep -qs '^domain:' $conf || echo 'domain: example.test' | $SUDO tee -a $conf >/dev/null
  grep -qs '^pathhost:' $conf || echo 'pathhost: news.example.test' | $SUDO tee -a $conf >/dev/null
  DEBIAN_FRONTEND=noninteractive $SUDO dpkg --configure -a >/dev/null 2>&1 || true
  installed || { echo "inn: inn2 could not be installed" >&2; exit 1; }
}

configure() {
  # Localhost is listed as a feeding peer, which would hand a client on
  # 127.0.0.1 the transit server instead of the reader.
  if grep -qs '^peer ME' /etc/news/incoming.conf; then
    $SUDO sed -i '/^peer ME/,/^}/ s/^/#/' /etc/news/incoming.conf
    listening && as_news "$bin/ctlinnd -s reload incoming.conf pelora" || true
  fi
  # No watcher, whose ten-minute sleep would outlive the server.
  if grep -qs '^doinnwatch: *true' /etc/news/inn.conf; then
    $SUDO sed -i 's/^doinnwatch:.*/doinnwatch: false/' /etc/news/inn.conf
  fi
}

start() {
  install_inn
  configure
  state=running
  [ -n "$fresh" ] && state=started
  if ! listening; then
    state=started
    # A server that died leaves its lock behind.
    $SUDO rm -f /run/news/innd.pid /var/run/news/innd.pid 2>/dev/null || true
    as_news "$bin/rc.news" >/dev/null 2>&1 || true
    for _ in $(seq 100); do listening && break; sleep 0.1; done
    listening || { echo "inn: INN did not start on 127.0.0.1:119" >&2; exit 1; }
  fi
  for _ in $(seq 50); do as_news "$bin/ctlinnd -s mode" >/dev/null 2>&1 && break; sleep 0.2; done
  shift || true
  for g in $groups "$@"; do
    grep -q "^$g " /var/lib/news/active 2>/dev/null || as_news "$bin/ctlinnd -s newgroup $g y pelora"
  done
  echo $state
}

stop() {
  listening || return 0
  as_news "$bin/rc.news stop" >/dev/null 2>&1 || true
  for _ in $(seq 100); do listening || break; sleep 0.1; done
}

listening_on() { (exec 3<>/dev/tcp/127.0.0.1/$1) 2>/dev/null; }

# A certificate NAME for host CN with the alternative names SAN, signed by
# the test root, valid from START to END (openssl ca dates).
make_leaf() {
  local name=$1 cn=$2 san=$3 start=$4 end=$5
  openssl req -newkey rsa:2048 -nodes -keyout "$tls/$name.key" -out "$tls/$name.csr" \
    -subj "/CN=$cn" >/dev/null 2>&1
  printf 'subjectAltName=%s\nextendedKeyUsage=serverAuth\n' "$san" > "$tls/$name.ext"
  openssl ca -batch -config "$tls/ca.cnf" -startdate "$start" -enddate "$end" -notext \
    -extfile "$tls/$name.ext" -in "$tls/$name.csr" -out "$tls/$name.pem" >/dev/null 2>&1
}

make_certificates() {
  [ -f "$tls/expired.pem" ] && return 0
  $SUDO rm -rf "$tls"
  $SUDO mkdir -p "$tls"
  $SUDO chown "$(id -u)" "$tls"   # made here, handed to news below
  cd "$tls"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 3650 \
    -subj "/CN=Pelora Test Root" -addext basicConstraints=critical,CA:TRUE \
    -addext keyUsage=critical,keyCertSign,cRLSign >/dev/null 2>&1
  openssl x509 -in root.pem -outform der -out root.der
  : > index.txt
  echo 01 > serial
  cat > ca.cnf <<CNF
[ca]
default_ca = test
[test]
database = $tls/index.txt
new_certs_dir = $tls
serial = $tls/serial
certificate = $tls/root.pem
private_key = $tls/root.key
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
CNF
  local now later
  now=$(date -u +%Y%m%d%H%M%SZ -d '-1 day'); later=$(date -u +%Y%m%d%H%M%SZ -d '+3650 days')
  make_leaf good localhost DNS:localhost,IP:127.0.0.1 "$now" "$later"
  make_leaf wrong wrong.example.test DNS:wrong.example.test "$now" "$later"
  make_leaf expired localhost DNS:localhost,IP:127.0.0.1 20200101000000Z 20210101000000Z
  openssl passwd -6 tls-only | sed 's/^/pelora:/' > passwd
  cat > readers.conf <<CONF
# AUTHINFO only inside TLS; nothing to read before it.
auth "tls" {
    hosts: "localhost, 127.0.0.1, ::1"
    auth: "ckpasswd -f $tls/passwd"
    require_encryption: true
}
access "tls" {
    users: "pelora"
    newsgroups: "*"
    access: R
}
CONF
  for kind in good wrong expired; do
    grep -v -E '^(pathrun|tlscertfile|tlskeyfile|tlscapath):' /etc/news/inn.conf > inn-$kind.conf
    printf 'pathrun: %s\ntlscertfile: %s\ntlskeyfile: %s\ntlscapath: %s\n' \
      "$tls/run-$kind" "$tls/$kind.pem" "$tls/$kind.key" "$tls" >> inn-$kind.conf
    mkdir -p "run-$kind"
  done
  chmod 0600 ./*.key
  $SUDO chown -R news:news "$tls"
  cd - >/dev/null
}

# The certificates added after the first four, for runs whose folder was
# made before them: the root and the first ones stay as they are.
make_more_certificates() {
  [ -f "$tls/future.pem" ] && return 0
  # Root writes beside the running daemons' keys without taking them away.
  [ "$(id -u)" = 0 ] || $SUDO chown -R "$(id -u)" "$tls"
  local now later
  now=$(date -u +%Y%m%d%H%M%SZ -d '-1 day'); later=$(date -u +%Y%m%d%H%M%SZ -d '+3650 days')
  make_leaf wildcard '*.pelora.test' 'DNS:*.pelora.test' "$now" "$later"
  make_leaf future localhost DNS:localhost,IP:127.0.0.1 20400101000000Z 20410101000000Z
  for kind in wildcard future; do
    grep -v -E '^(pathrun|tlscertfile|tlskeyfile|tlscapath):' /etc/news/inn.conf > "$tls/inn-$kind.conf"
    printf 'pathrun: %s\ntlscertfile: %s\ntlskeyfile: %s\ntlscapath: %s\n' \
      "$tls/run-$kind" "$tls/$kind.pem" "$tls/$kind.key" "$tls" >> "$tls/inn-$kind.conf"
    mkdir -p "$tls/run-$kind"
  done
  chmod 0600 "$tls"/*.key
  $SUDO chown -R news:news "$tls"
}

# A server on PORT that speaks only TLS 1.0, which OpenSSL allows only at
# security level 0.
start_old_tls() {
  local port=$1
  listening_on "$port" && return 0
  $SUDO setsid openssl s_server -quiet -accept "127.0.0.1:$port" -tls1 -cipher 'DEFAULT:@SECLEVEL=0' \
    -cert "$tls/good.pem" -key "$tls/good.key" </dev/null >/dev/null 2>&1 9>&- &
  echo $! | $SUDO tee "$tls/old-tls.pid" >/dev/null
  for _ in $(seq 50); do listening_on "$port" && return 0; sleep 0.1; done
  echo "inn: openssl s_server did not start on 127.0.0.1:$port" >&2; exit 1
}

# One daemon on PORT with the certificate KIND; FLAG -S for TLS at once.
start_daemon() {
  local port=$1 kind=$2 flag=${3:-}
  listening_on "$port" && return 0
  $SUDO env INNCONF="$tls/inn-$kind.conf" setpriv --reuid=news --regid=news --init-groups \
    $bin/nnrpd -D -b 127.0.0.1 -p "$port" $flag -c "$tls/readers.conf" 9>&-   # not the lock
  for _ in $(seq 50); do listening_on "$port" && return 0; sleep 0.1; done
  echo "inn: nnrpd did not start on 127.0.0.1:$port" >&2; exit 1
}

tls_start() {
  installed || { echo "inn: INN is not installed (tools/inn.sh start)" >&2; exit 1; }
  # Test runs side by side make the certificates and start the daemons once.
  exec 9>/tmp/pelora-inn-tls.lock
  flock 9
  make_certificates
  start_daemon $TLS_BASE good -S
  start_daemon $((TLS_BASE + 1)) good
  start_daemon $((TLS_BASE + 2)) wrong -S
  start_daemon $((TLS_BASE + 3)) expired -S
  make_more_certificates
  start_daemon $((TLS_BASE + 4)) wildcard -S
  start_daemon $((TLS_BASE + 5)) future -S
  start_old_tls $((TLS_BASE + 6))
  echo $TLS_BASE
}

tls_stop() {
  local port kind
  for port in $TLS_BASE $((TLS_BASE + 1)) $((TLS_BASE + 2)) $((TLS_BASE + 3)) $((TLS_BASE + 4)) $((TLS_BASE + 5)); do
    for kind in good wrong expired wildcard future; do
      pid=$(cat "$tls/run-$kind/nnrpd-$port.pid" 2>/dev/null || true)
      [ -n "$pid" ] && $SUDO kill "$pid" 2>/dev/null || true
      $SUDO rm -f "$tls/run-$kind/nnrpd-$port.pid"
    done
  done
  pid=$(cat "$tls/old-tls.pid" 2>/dev/null || true)
  [ -n "$pid" ] && $SUDO kill "$pid" 2>/dev/null || true
  $SUDO rm -f "$tls/old-tls.pid"
}

case "${1:-}" in
  start) start "$@" ;;
  stop) stop ;;
  tls) tls_start ;;
  tls-stop) tls_stop ;;
  *) echo "usage: $0 start|stop|tls|tls-stop" >&2; exit 2 ;;
esac
