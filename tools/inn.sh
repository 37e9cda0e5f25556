#!/usr/bin/env bash
# A real news server for the tests and the benchmark: Debian's INN on
# loopback port 119, with the groups the tests post to.
#   tools/inn.sh start [GROUP...]
#                        installs INN when missing, starts it unless it runs,
#                        creates the test groups and any named; prints
#                        "started" or "running"
#   tools/inn.sh stop    shuts INN down
set -euo pipefail
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

case "${1:-}" in
  start) start "$@" ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
