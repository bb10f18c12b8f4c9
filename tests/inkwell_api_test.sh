#!/usr/bin/env bash
# The C interface as another program uses it: installed with cmake --install,
# a C caller built with nothing but the installed headers and scrivex.pc.
SRC=$(cd "$(dirname "$0")/.." && pwd)
. "$SRC/tests/lib.sh"
cmake --install "$BIN/.." --prefix "$WORK/usr" >/dev/null || fail "cmake --install"
pc=$(find "$WORK/usr/lib" -name scrivex.pc)
export PKG_CONFIG_PATH=${pc%/*}
# A sanitizer build's library needs its runtime loaded first.
sanitize=()
ldd "$BIN/libscrivex.so" | grep -q libasan && sanitize=(-fsanitize=address,undefined)
check "a C caller builds from the installed header and scrivex.pc" \
  cc -std=c11 -Wall -Wextra -Werror "${sanitize[@]}" -o client "$SRC/tests/inkwell_client.c" \
  $(pkg-config --cflags --libs scrivex)

# Callers load the library by its major version; the plain name is only for
# the linker, and the library is no program.
lib=$WORK/usr/lib/scrivex
check "the client needs libscrivex.so.2, the installed file's SONAME, not executable" eval \
  'readelf -d client | grep -q "NEEDED.*\[libscrivex.so.2\]" &&
  readelf -d "$lib/libscrivex.so.2" | grep -q "SONAME.*\[libscrivex.so.2\]" &&
  [ "$(readlink "$lib/libscrivex.so")" = libscrivex.so.2 ] && [ -f "$lib/libscrivex.so.2" ] &&
  [ ! -x "$(readlink -f "$lib/libscrivex.so.2")" ]'

# The Windows name of the settings record, where no Windows header has one:
# beside Wine's or with SCRIVEX_NO_DEVMODEA it is left to them.
printf '%s\n' '#include <scrivex/inkwell.h>' 'DEVMODEA a; ScrivexDevMode* b = &a;' \
  'int main(void) { return b != 0 ? 0 : 1; }' >alias.c
printf '%s\n' '#define __WINE_WINGDI_H' 'typedef struct _devicemodeA { int w; } DEVMODEA;' \
  '#include <scrivex/inkwell.h>' 'DEVMODEA a; ScrivexDevMode b;' \
  'int main(void) { return sizeof a.w + sizeof b.dmFields == 8 ? 0 : 1; }' >wine.c
printf '%s\n' '#include <scrivex/inkwell.h>' 'typedef int DEVMODEA;' \
  'int main(void) { DEVMODEA d = 0; return d; }' >own.c
check "DEVMODEA: the alias alone, left out beside Wine's headers or on request" eval \
  'cc -std=c11 -Wall -Werror $(pkg-config --cflags scrivex) -c alias.c &&
  cc -std=c11 -Wall -Werror $(pkg-config --cflags scrivex) -c wine.c &&
  cc -std=c11 -Wall -Werror $(pkg-config --cflags scrivex) -DSCRIVEX_NO_DEVMODEA -c own.c &&
  ! cc -std=c11 $(pkg-config --cflags scrivex) -c own.c 2>/dev/null'

gs -q -sDEVICE=pdfwrite -o in.pdf -c "<</PageSize [300 200]>> setpagedevice showpage"

# The option goes to the ini file the registry value "ConfigFile" names.
./client set m_bGrayscale 1 >out.txt
sed -i "s|^\"ConfigFile\"=.*|\"ConfigFile\"=\"$WORK/other.ini\"|" "$SCRIVEX_HOME/machine.reg"
./client set m_strResolution 150x150 >>out.txt
check "SetOptions: [AutoSaveOptions] of the named file" eval '[ "$(cat out.txt)" = "set=1
set=1" ] && grep -qx "m_bGrayscale=1" "$SCRIVEX_HOME/inkwell.ini" &&
  [ "$(cat other.ini)" = "[AutoSaveOptions]
m_strResolution=150x150" ]'

# Paper A3 on the printer, then conversions without options take it; no
# printer named yet fails with a reason, a later empty name keeps "Inkwell".
./client paper Inkwell 8 paper "No such printer" 8 convert in.pdf first.pdf - \
  convert in.pdf a3.pdf Inkwell convert in.pdf again.pdf "" >out.txt 2>err.txt
check "ChangePrinterSettings then ConvertToImage: A3 pages, relative paths" eval \
  '[ "$(grep -v ^Page out.txt | tr "\n" " ")" = "paper=1 paper=0 convert=0 convert=1 convert=1 " ] &&
  pdfinfo a3.pdf | grep -q "(A3)" && pdfinfo again.pdf | grep -q "(A3)" && [ ! -e first.pdf ] &&
  grep -q "no printer was named" err.txt'

# The files a conversion wrote, by index: the numbered pages; none after a failure.
gs -q -sDEVICE=pdfwrite -o two.pdf -c "showpage showpage"
./client convert two.pdf pages.png Inkwell files convert missing.pdf x.png Inkwell files \
  >out.txt 2>err.txt
check "GetWrittenFile: each page written, none after a failure" eval '[ "$(grep -v "^Page\|^Waiting" out.txt)" = "convert=2
file $WORK/pages_0001.png
file $WORK/pages_0002.png
files=2
convert=0
files=0" ]'

# Stopping by a lower-case prefix of a capitalised name; never the caller.
cp "$(command -v sleep)" Slumber_e2e
./Slumber_e2e 300 & s1=$!
./Slumber_e2e 300 & s2=$!
# Both must have become Slumber_e2e (a loaded machine may still show the shell).
for _ in $(seq 100); do
  [ "$(cat /proc/$s1/comm /proc/$s2/comm 2>/dev/null)" = "Slumber_e2e
Slumber_e2e" ] && break
  sleep 0.05
done
./client kill slumber_e kill "" kill inkwell_cl >out.txt 2>err.txt
wait $s1 $s2 2>/dev/null
check "KillProcess: both stopped, the lines as written; empty refused; caller kept" eval \
  '! kill -0 $s1 2>/dev/null && ! kill -0 $s2 2>/dev/null && [ "$(cat out.txt)" = "Slumber_e2e (PID to terminate: $s1)
Exit code for slumber_e: 259
Process: 259, was succesful terminated.
Slumber_e2e (PID to terminate: $s2)
Exit code for slumber_e: 259
Process: 259, was succesful terminated.
kill=1
kill=0
kill=1" ] && grep -q "empty name" err.txt'

finish inkwell_api_test
