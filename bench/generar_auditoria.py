#!/usr/bin/env python3
"""Appends N entries to the audit chain of an event database, each hashed as
the console hashes it (SHA-256 of the previous hash and the netstring of
moment, workstation, operator, action, object, detail).

  generar_auditoria.py sqlite BASE N        appends to the SQLite file BASE
  generar_auditoria.py copia ULTIMO_HASH SECUENCIA N > filas.tsv
                                            writes COPY text rows that follow
                                            entry SECUENCIA of hash ULTIMO_HASH
"""
import hashlib, sqlite3, sys

def canon(*campos):
    out = b''
    for f in campos:
        b = f.encode()
        out += str(len(b)).encode() + b':' + b + b','
    return out

def entradas(seq, ant, n):
    acciones = ['reconocimiento', 'nota', 'cierre', 'acceso']
    for i in range(n):
        seq += 1
        m = '2026-%02d-%02d %02d:%02d:%02d' % (1 + (i // 2419200) % 12, 1 + (i // 86400) % 28,
                                              (i // 3600) % 24, (i // 60) % 60, i % 60)
        campos = (m, 'puesto%d' % (i % 4), 'op%d' % (i % 7), acciones[i % 4], 'c%032x' % i,
                  'detalle de la acción %d' % i)
        h = hashlib.sha256(ant.encode() + canon(*campos)).hexdigest()
        yield (seq,) + campos + (ant, h)
        ant = h

COLUMNAS = ('audi_secuencia,audi_momento,audi_puesto,audi_operador,audi_accion,audi_objeto,'
            'audi_detalle,audi_hash_anterior,audi_hash')

if sys.argv[1] == 'sqlite':
    c = sqlite3.connect(sys.argv[2])
    seq, ant = c.execute('SELECT audi_secuencia, audi_hash FROM corvane_auditoria '
                         'ORDER BY audi_secuencia DESC LIMIT 1').fetchone()
    c.executemany('INSERT INTO corvane_auditoria (%s) VALUES (?,?,?,?,?,?,?,?,?)' % COLUMNAS,
                  entradas(seq, ant, int(sys.argv[3])))
    c.commit()
else:
    salida = sys.stdout
    for fila in entradas(int(sys.argv[3]), sys.argv[2], int(sys.argv[4])):
        salida.write('\t'.join(str(x) for x in fila) + '\n')
