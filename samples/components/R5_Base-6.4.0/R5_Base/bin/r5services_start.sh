#!/bin/sh
# Starts the sample R5 services: records which service programs are installed and would run.
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$root/var/log" "$root/var/run"
started=""
for service in velserver msgbroker; do
  [ -x "$root/bin/$service" ] && started="$started $service"
done
echo "start:${started:- (no services installed)}" >> "$root/var/log/services.log"
echo "${started# }" > "$root/var/run/services.running"
echo "R5 services started:${started:- none}"
