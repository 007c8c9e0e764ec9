#!/bin/sh
# The smallest R5 example: prints a greeting and the run-time it would use.
root=$(cd "$(dirname "$0")/../.." && pwd)
echo "Hello from Tessom R5 (run-time: $root/lib/libr5rt.so)"
