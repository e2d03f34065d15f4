#!/usr/bin/env bash
# Pacing of corvane-simulador through a pseudo-terminal, as a reader sees it.
#   bench/ritmo_simulador.sh [VELOCIDAD] [PAQUETES] [SEMILLA]
# Prints the bytes read, the time from the first to the last byte against the
# schedule (10 bits per character), and how evenly they came: the gaps between
# reads and the most bytes seen in any 10 ms window, against what the speed allows.
# The simulator is taken from $CORVANE_BUILD (default build/release).
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
velocidad=${1:-19200}
paquetes=${2:-2000}
semilla=${3:-1}
sim="${CORVANE_BUILD:-$raiz/build/release}/tools/corvane-simulador"
[[ -x "$sim" ]] || { echo "no está $sim; compile antes (./run o cmake --build)" >&2; exit 2; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$sim" --velocidad "$velocidad" --paquetes "$paquetes" --semilla "$semilla" --resumen \
  >"$tmp/ruta" 2>"$tmp/resumen" &
pid=$!
for _ in $(seq 100); do [[ -s "$tmp/ruta" ]] && break; sleep 0.05; done
pty=$(head -1 "$tmp/ruta")

# The reader: raw line, one timestamp per read.
perl -MTime::HiRes=time -MPOSIX -e '
  my ($pty, $vel) = @ARGV;
  sysopen(my $f, $pty, O_RDONLY | O_NOCTTY) or die "no se puede abrir $pty: $!";
  my $t = POSIX::Termios->new; $t->getattr(fileno $f);
  $t->setlflag(0); $t->setiflag(0); $t->setoflag(0); $t->setattr(fileno $f, TCSANOW);
  my (@tiempos, @tamanos, $buf);
  while (1) { my $n = sysread($f, $buf, 4096); last if !defined $n || $n == 0;
              push @tiempos, time; push @tamanos, $n; }
  my $bytes = 0; $bytes += $_ for @tamanos;
  die "no llegó nada\n" unless @tiempos > 1;
  my $dur = $tiempos[-1] - $tiempos[0];
  my $prog = ($bytes - $tamanos[0]) * 10 / $vel;
  my @gaps = sort { $a <=> $b } map { ($tiempos[$_] - $tiempos[$_-1]) * 1000 } 1..$#tiempos;
  # The first read takes what queued up before the reader opened the line.
  my ($max10, $j, $suma) = (0, 1, 0);
  for my $i (1..$#tiempos) { $suma += $tamanos[$i];
    while ($tiempos[$i] - $tiempos[$j] > 0.010) { $suma -= $tamanos[$j]; $j++; }
    $max10 = $suma if $suma > $max10; }
  printf "bytes leídos:                  %d en %d lecturas (%.1f bytes por lectura); %d en la primera\n",
         $bytes, scalar @tamanos, $bytes / @tamanos, $tamanos[0];
  printf "primer a último byte:          %.3f s; según el ritmo %.3f s (%.2f%%)\n",
         $dur, $prog, 100 * $dur / $prog;
  printf "separación entre lecturas:     mediana %.3f ms, p99 %.3f ms, máxima %.3f ms\n",
         $gaps[int(@gaps / 2)], $gaps[int(@gaps * 0.99)], $gaps[-1];
  printf "máximo en 10 ms:               %d bytes (el ritmo da %.1f)\n", $max10, $vel / 10 / 100;
' "$pty" "$velocidad"
wait "$pid"
cat "$tmp/resumen"
