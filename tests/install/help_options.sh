# What parvex itself says it accepts, read from its --help output; sourced by
# the man page and completion tests so that neither can fall behind an option
# that is added to the program.
#   help_commands PARVEX       the commands `parvex --help` lists
#   help_options PARVEX CMD    the option names `parvex CMD --help` lists

help_commands() {
  "$1" --help 2>&1 |
    awk '/^[A-Za-z].*ommands:/ { on = 1; next }
         on && /^[^ ]/ { on = 0 }
         on && /^  +[a-z]+( |$)/ { print $1 }'
}

# The option column is what precedes the first run of two spaces on a line
# that starts with an option; its names are split at commas and spaces.
help_options() {
  "$1" "$2" --help 2>&1 |
    sed -n 's/^ \{1,\}\(-[^ ].*\)$/\1/p' |
    sed 's/  .*//' |
    grep -oE -- '(^|[ ,])--?[A-Za-z][A-Za-z0-9-]*' |
    sed 's/^[ ,]//' | sort -u
}
