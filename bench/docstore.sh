#!/usr/bin/env bash
# The document store against its peers, in the same run:
#   bench/docstore.sh <bench dir> [ARGS]
# Installs yjs, loro-crdt and @automerge/automerge with npm into a cache outside
# the repository, runs our program and the peers, and prints one RATIO line per
# peer and workload (ours / peer; below 1 is faster).
set -euo pipefail
bench_dir=$1; shift || true
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cache=${VIEWER_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/pdf-viewer-bench/docstore}
mkdir -p "$cache"
if [ ! -d "$cache/node_modules/yjs" ] || [ ! -d "$cache/node_modules/loro-crdt" ] || [ ! -d "$cache/node_modules/@automerge/automerge" ]; then
  (cd "$cache" && { [ -f package.json ] || echo '{"private":true,"type":"module"}' > package.json; } &&
   npm install --silent --no-audit --no-fund yjs@13 loro-crdt@1 @automerge/automerge@2 >&2)
fi
cp "$here/docstore/peers.mjs" "$cache/peers.mjs"

ours=$("$bench_dir/docstore_bench" "$@")
echo "$ours"
peers=$(cd "$cache" && node peers.mjs)
echo "$peers" | sed 's/^PEER \([^ ]*\) \([^ ]*\) \(.*\)$/BENCH \1_\2 \3 ms/'
awk -v ours="$ours" '
  BEGIN { n = split(ours, lines, "\n"); for (i = 1; i <= n; i++) { split(lines[i], f, " "); if (f[1] == "BENCH") v[f[2]] = f[3] } }
  $1 == "PEER" && ($2 in v) && $4 > 0 { printf "RATIO %s %s %.3f\n", $2, $3, v[$2] / $4 }
' <<< "$peers"
