#!/bin/sh
# The demo application the demo catalog starts when the Qt demo program is not built: it shows
# how it was called (the business-object URL with the login token, then the token).
echo "kxdemoapp started with $# argument(s):"
for argument in "$@"; do
    printf '  [%s]\n' "$argument"
done
