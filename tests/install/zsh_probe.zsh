# zsh_probe.zsh FN_DIR LINE: types LINE and a TAB into an interactive zsh on
# a pseudo-terminal, with the completions in FN_DIR loaded by compinit, and
# prints the words of the listing it shows, one a line.
zmodload zsh/zpty || exit 1
zpty -b z zsh -f -i
zpty -w z 'PS1="" PS2="" RPS1=""; unsetopt beep; fpath=("'$1'" $fpath)'
zpty -w z 'autoload -Uz compinit; compinit -u -d "'$1'/../zcompdump"; parvex() { :; }'
zpty -w z 'zstyle ":completion:*" list-prompt ""; LISTMAX=0; print -r B""EGIN'
zpty -r z out '*BEGIN*' || exit 1
zpty -w -n z "$2"$'\t'
zpty -w -n z $'\C-u'
zpty -w z 'print -r E""ND'
zpty -r z out '*END*' || exit 1
zpty -d z
# Listing lines read "-d  --destination  -- description" or "cut  -- ...".
print -r -- "$out" | sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr '\r' '\n' |
  sed -n -e 's/^\(-[-a-z]*\( [ ]*-[-a-z]*\)*\)  *-- .*/\1/p' \
         -e 's/^\([a-z][a-z]*\)  *-- .*/\1/p' |
  tr -s ' ' '\n' | LC_ALL=C sort -u
