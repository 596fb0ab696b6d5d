#!/usr/bin/env bash
# Runs a real host's check in private mount, PID and network namespaces (root only) under a time
# limit, and says how long it took. The namespace's first process dies with unshare
# (--kill-child), and the kernel then ends everything else in it: the host, its helpers, Xvfb.
# unshare ignores SIGTERM, so it gets SIGKILL: on timeout, and when this script is stopped.
# Usage: scripts/in-namespace.sh NAME SECONDS COMMAND [ARGUMENTS...]   (exit: the command's)
set -euo pipefail
name=$1
limit=$2
shift 2
start=$(date +%s)
unshare --mount --propagation private --pid --fork --kill-child --mount-proc --net "$@" &
inside=$!
trap 'kill -KILL $inside 2>/dev/null; wait $inside; exit 143' TERM INT
(
  trap 'kill $sleeper 2>/dev/null; exit 0' TERM
  sleep "$limit" &
  sleeper=$!
  wait $sleeper
  echo "$name: FAILED: not finished within $limit s" >&2
  kill -KILL $inside 2>/dev/null
) &
watchdog=$!
status=0
wait $inside || status=$?
kill $watchdog 2>/dev/null || true
echo "$name: $(($(date +%s) - start)) s"
[ "$status" -eq 0 ] || echo "$name: FAILED (status $status)" >&2
exit "$status"
