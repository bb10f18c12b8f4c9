#!/usr/bin/env bash
# The bash completion the package installs, called as readline calls it:
# COMP_WORDS and COMP_CWORD set, then the function, then COMPREPLY read.
SRC=$(cd "$(dirname "$0")/.." && pwd)
. "$SRC/tests/lib.sh"
. "$SRC/packaging/bash-completion/scrivex"

# complete WORD...: the completions of the last word, one per line.
complete_words() {
  COMP_WORDS=(scrivex "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _scrivex
  ((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}"
}

check "registered for the scrivex command" eval 'complete -p scrivex | grep -q -- "-F _scrivex"'

# Every option letter the program scans for, and no other.
letters=$(sed -n 's/^const char kOptionLetters\[\] = "\(.*\)";/\1/p' "$SRC/src/driver/options.cpp")
expected=$( (printf '%s' "$letters" | tr -d ':' | sed 's/./-&\n/g'; printf '%s\n' --help --version --json --jobs) | sort)
check "the option letters of the program (\"$letters\") and its long options" eval \
  '[ -n "$letters" ] && [ "$(complete_words - | sort)" = "$expected" ] &&
  [ "$(complete_words --v)" = "--version" ]'
check "options are case sensitive; -? is not a glob" eval \
  '[ "$(complete_words -d)" = "-d" ] && [ "$(complete_words -?)" = "-?" ] &&
  [ -z "$(complete_words x)" ]'

check "paper names after -f, letter case ignored" eval \
  '[ "$(complete_words -f "" | tr "\n" " ")" = "Letter Legal Tabloid Ledger A3 A4 A5 B4 B5 Executive " ] &&
  [ "$(complete_words -i in.pdf -f a | tr "\n" " ")" = "A3 A4 A5 " ] &&
  [ "$(complete_words -f le | tr "\n" " ")" = "Letter Legal Ledger " ]'

# A folder of its own: the work folder holds the state root too.
mkdir files && cd files && mkdir docs
touch in.pdf "two words.txt" docs/page.ps
check "file names after -i, one word each" eval \
  '[ "$(complete_words -i "" | sort | tr "\n" "|")" = "docs|in.pdf|two words.txt|" ] &&
  [ "$(complete_words -i docs/)" = "docs/page.ps" ]'
check "output types after -o once the name has a dot" eval \
  '[ "$(complete_words -o out.t | tr "\n" " ")" = "out.tif out.tiff out.tga " ] &&
  [ "$(complete_words -o docs/x.D | tr "\n" " ")" = "docs/x.dcx " ] &&
  [ "$(complete_words -o in.p | sort | tr "\n" " ")" = "in.pcx in.pdf in.png in.ps " ] &&
  [ "$(complete_words -o i)" = "in.pdf" ] && [ "$(complete_words -o out.pdf)" = "out.pdf" ]'
check "values of the listed options, nothing for free text" eval \
  '[ "$(complete_words -R "" | tr "\n" " ")" = "90 180 270 " ] &&
  [ -z "$(complete_words -t "")" ] && [ -z "$(complete_words -# "")" ]'

finish bash_completion_test
