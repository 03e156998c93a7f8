#!/usr/bin/env bash
# The service at scale (service_load_bench.cpp): simulated listeners against a private
# MariaDB server of the same kind the radio's service runs (its own data folder, loopback,
# a free port), holding the service's tables and 1000 chat messages. The server's
# connection limit is raised for the run, since every listener keeps a connection.
#
#   bench/service_load/run.sh path/to/service_load_bench [SECONDS_PER_LEVEL] [MAX_LISTENERS]
# Build the binary first: cmake --preset bench && cmake --build --preset bench
set -euo pipefail

bench=$(realpath "${1:?usage: run.sh path/to/service_load_bench [SECONDS] [MAX_LISTENERS]}")
shift
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=$(mktemp -d /tmp/kalvira-loadbench.XXXXXX)
trap '"$root/scripts/test-db.sh" stop "$dir/db" >/dev/null 2>&1 || true; rm -rf "$dir"' EXIT

url=$("$root/scripts/test-db.sh" start "$dir/db")
rest=${url#mysql://}
user=${rest%%:*}; rest=${rest#*:}
password=${rest%%@*}; rest=${rest#*@}
host=${rest%%:*}; rest=${rest#*:}
port=${rest%%/*}; schema=${rest#*/}

mariadb --no-defaults -S "$dir/db/mariadbd.sock" -u root \
  -e "SET GLOBAL max_connections = 10000; SET GLOBAL thread_cache_size = 1000;"
client=(mariadb --no-defaults --protocol=TCP -h "$host" -P "$port" -u "$user" "-p$password")
"${client[@]}" --default-character-set=utf8mb4 "$schema" <"$root/online/service_schema.sql"
"${client[@]}" "$schema" -e "INSERT INTO ut_messages (user, message)
  SELECT CONCAT('listener', seq), CONCAT('message number ', seq, ' from the radio chat')
  FROM seq_1_to_1000;"

ulimit -n "$(ulimit -Hn)" 2>/dev/null || true
echo "server: $(mariadbd --version 2>/dev/null || /usr/sbin/mariadbd --version), $(nproc) cores"
"$bench" "$url" "$@"
