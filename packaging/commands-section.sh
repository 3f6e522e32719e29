#!/bin/sh
# Writes a help2man include file whose COMMANDS section holds each command's own help,
# so that the manual page of the command line covers every command.
#   commands-section.sh PROGRAM OUTPUT
set -eu
program=$1
commands=$("$program" --help | awk '/^commands:/ { on = 1; next } on && !/^ / { on = 0 } on && NF { print $1 }')
[ -n "$commands" ] || { echo "commands-section: $program --help lists no commands" >&2; exit 1; }
{
    echo '[COMMANDS]'
    for command in $commands; do
        printf '.SS %s\n.nf\n' "$command"
        # Backslashes and leading dots or quotes are roff syntax: escape them.
        "$program" "$command" --help | sed -e 's/\\/\\e/g' -e "s/^\([.']\)/\\\\\&\1/"
        printf '.fi\n'
    done
} >"$2"
