#!/bin/sh
# Stops the sample R5 services: records the request and forgets what was running.
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$root/var/log"
running=""
[ -f "$root/var/run/services.running" ] && running=$(cat "$root/var/run/services.running")
echo "stop: ${running:-(nothing running)}" >> "$root/var/log/services.log"
rm -f "$root/var/run/services.running"
echo "R5 services stopped"
