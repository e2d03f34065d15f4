#!/usr/bin/env python3
"""Writes data/alarma.wav, the alarm window's sound: two short sine tones (880 Hz
then 660 Hz, 180 ms each, 60 ms apart), 16-bit mono PCM at 22050 Hz, with 10 ms
fades so that no click is heard. Run again only to change the sound; the file is
kept in the repository."""
import math
import pathlib
import struct
import wave

FRECUENCIA_MUESTREO = 22050
AMPLITUD = 0.6  # of full scale
RAMPA_S = 0.010


def tono(hz, segundos):
    n = int(FRECUENCIA_MUESTREO * segundos)
    rampa = int(FRECUENCIA_MUESTREO * RAMPA_S)
    for i in range(n):
        envolvente = min(1.0, i / rampa, (n - 1 - i) / rampa)
        yield AMPLITUD * envolvente * math.sin(2 * math.pi * hz * i / FRECUENCIA_MUESTREO)


def silencio(segundos):
    return [0.0] * int(FRECUENCIA_MUESTREO * segundos)


muestras = [*tono(880, 0.18), *silencio(0.06), *tono(660, 0.18)]
destino = pathlib.Path(__file__).resolve().parent.parent / "data" / "alarma.wav"
with wave.open(str(destino), "wb") as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(FRECUENCIA_MUESTREO)
    w.writeframes(b"".join(struct.pack("<h", round(m * 32767)) for m in muestras))
print(destino)
