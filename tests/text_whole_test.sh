#!/usr/bin/env bash
# Text files print whole from the command line: a line of any length wraps
# onto as many lines and pages as it needs, UTF-16 with a bad unit keeps
# its good text, and a flood of form feeds gives one page for each.
. "$(dirname "$0")/lib.sh"
S=$BIN/scrivex

# print INPUT OUTPUT: scrivex prints the text file (and ends with 1 when
# it did); its report in out.txt.
print() { "$S" -i "$1" -o "$2" >out.txt 2>err.txt; grep -q "result = Successful" out.txt; }
pages() { pdfinfo "$1" | awk '/^Pages:/ { print $2 }'; }
# text PDF [PDFTOTEXT OPTIONS]: the PDF's lines of text, page breaks and empty lines left out.
text() { pdftotext "${@:2}" "$1" - | tr -d '\f' | grep -v '^$'; }

# 300,000 characters on one line: 37,500 numbered words of eight characters
# each with its blank, a two-byte character in each so pieces of the line
# are cut between the bytes of one character too.
seq -f "é%06g" 37500 | tr '\n' ' ' >long.txt
seq -f "é%06g" 37500 >words.expected
check "a 300,000-character line: 300,000 characters" [ "$(wc -m <long.txt)" = 300000 ]
check "a 300,000-character line prints every word once, in order" eval 'print long.txt long.pdf &&
  text long.pdf | tr -s " " "\n" | grep -v "^$" >words.got && cmp -s words.got words.expected'
# Every visual line but the last is full: the line wraps as it would whole,
# with no short line where one piece of it ended.
check "the long line wraps evenly, with no short line at a seam" eval '
  [ "$(text long.pdf | sed "\$d" | awk "{ print NF }" | sort -u | wc -l)" = 1 ] &&
  [ "$(pages long.pdf)" -gt 50 ]'

# A line with no blank at all breaks between characters, none lost, every
# visual line but its last as full as the others.
head -c 120000 /dev/zero | tr '\0' '7' >digits.txt
printf '\nend\n' >>digits.txt
check "a 120,000-digit line without a blank prints every digit" eval 'print digits.txt digits.pdf &&
  [ "$(text digits.pdf | tr -cd 7 | wc -c)" = 120000 ] && [ "$(text digits.pdf | tail -1)" = end ] &&
  [ "$(text digits.pdf | head -n -2 | awk "{ print length }" | sort -u | wc -l)" = 1 ]'

# UTF-16 with its mark: a bad unit is one U+FFFD, everything else as written.
{ printf '\xff\xfe'; printf 'Grüße aus Köln\nzweite Zeile' | iconv -f UTF-8 -t UTF-16LE; printf 'Z'; } >stray.txt
check "UTF-16LE with a stray trailing byte: the text, then U+FFFD" eval 'print stray.txt stray.pdf &&
  pdftotext stray.pdf - >stray.out && grep -qx "Grüße aus Köln" stray.out &&
  grep -qx "zweite Zeile�" stray.out'
{ printf '\xff\xfe'; printf 'vor ' | iconv -f UTF-8 -t UTF-16LE; printf '\x00\xd8'
  printf 'nach\nStraße' | iconv -f UTF-8 -t UTF-16LE; } >surrogate.txt
check "UTF-16LE with an unpaired surrogate: U+FFFD in its place" eval 'print surrogate.txt s.pdf &&
  pdftotext s.pdf - >s.out && grep -qx "vor �nach" s.out && grep -qx "Straße" s.out'
{ printf '\xfe\xff'; printf 'low ' | iconv -f UTF-8 -t UTF-16BE; printf '\xdc\x00'
  printf 'alone' | iconv -f UTF-8 -t UTF-16BE; } >be.txt
check "UTF-16BE with a lone low surrogate: U+FFFD in its place" eval 'print be.txt be.pdf &&
  [ "$(text be.pdf)" = "low �alone" ]'

# Form feeds: each starts a page, one at the very end none.
head -c 3000 /dev/zero | tr '\0' '\f' >feeds.txt
check "3,000 form feeds: 3,000 pages" eval 'print feeds.txt feeds.pdf && [ "$(pages feeds.pdf)" = 3000 ]'
printf 'one\ftwo\n\fthree\f' >three.txt
check "form feeds between text: a page each, none after the last" eval 'print three.txt three.pdf &&
  [ "$(pages three.pdf)" = 3 ] && [ "$(text three.pdf -f 3 -l 3)" = three ]'

finish text_whole_test
