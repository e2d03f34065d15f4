#!/usr/bin/env python3
"""Writes a register for the import benchmark: ABONADOS accounts, ZONAS zones
and CONTACTOS contacts spread evenly over them, as the import files (ENTRADA:
abonados.csv, zonas.csv, contactos.csv with an empty palabra_clave and the
given hash in palabra_clave_hash) and as the floor's files (PISO: the same rows
in the tables' own columns, for sqlite3's .import and psql's \\copy).

    generar_abonados.py ENTRADA PISO ABONADOS ZONAS CONTACTOS HASH
"""
import csv
import os
import sys

entrada, piso = sys.argv[1], sys.argv[2]
abonados, zonas, contactos = (int(v) for v in sys.argv[3:6])
hash_clave = sys.argv[6]
os.makedirs(entrada, exist_ok=True)
os.makedirs(piso, exist_ok=True)
DIGITOS = "0123456789bcdef"  # the account's characters


def cuenta(i):
    # The i-th account: the 15 of one character, then the 225 of two, ... up to
    # the 50,625 of four: 54,240 accounts in all, every one the rule allows.
    for largo in (1, 2, 3, 4):
        cantidad = 15 ** largo
        if i < cantidad:
            t = ""
            for _ in range(largo):
                t = DIGITOS[i % 15] + t
                i //= 15
            return t
        i -= cantidad
    raise SystemExit("demasiados abonados para cuentas de 4 caracteres")


def escritor(ruta):
    f = open(ruta, "w", newline="", encoding="utf-8")
    return f, csv.writer(f, lineterminator="\r\n")


momento = "2026-12-07 10:00:00"
fa, a = escritor(os.path.join(entrada, "abonados.csv"))
pa, p = escritor(os.path.join(piso, "abonados.csv"))
a.writerow("cuenta,nombre,direccion,localidad,telefono,estado,en_pruebas_hasta,prueba_cada_min,notas".split(","))
p.writerow("abon_cuenta,abon_nombre,abon_direccion,abon_localidad,abon_telefono,abon_estado,abon_en_pruebas_hasta,"
           "abon_prueba_cada_min,abon_notas,abon_modificado,abon_modificado_por".split(","))
for i in range(abonados):
    c = cuenta(i)
    prueba = i % 10 == 0
    fila = [c, f"Abonado {i}, S.L.", f"Calle Mayor {i % 300}", "Lugo", f"982 {i:06d}",
            "en_pruebas" if prueba else "activo", "2027-01-31 08:00" if prueba else "", str(1440 if i % 3 else 0),
            "Llave en recepción" if i % 7 == 0 else ""]
    a.writerow(fila)
    p.writerow(fila[:6] + [fila[6] + ":00" if fila[6] else ""] + fila[7:] + [momento, "bench"])
fa.close()
pa.close()

fz, z = escritor(os.path.join(entrada, "zonas.csv"))
pz, zp = escritor(os.path.join(piso, "zonas.csv"))
z.writerow(["cuenta", "particion", "zona", "descripcion"])
zp.writerow(["zona_cuenta", "zona_particion", "zona_zona", "zona_descripcion"])
# Zone i belongs to account i % ABONADOS: as even as the counts allow.
for i in range(zonas):
    c = cuenta(i % abonados)
    n = i // abonados
    fila = [c, "" if n % 2 == 0 else "01", f"{n + 1:03d}", f"Detector {n + 1} planta baja"]
    z.writerow(fila)
    zp.writerow(fila)
fz.close()
pz.close()

fc, k = escritor(os.path.join(entrada, "contactos.csv"))
pc, kp = escritor(os.path.join(piso, "contactos.csv"))
k.writerow(["cuenta", "orden", "nombre", "telefono", "relacion", "palabra_clave", "palabra_clave_hash"])
kp.writerow(["cont_cuenta", "cont_orden", "cont_nombre", "cont_telefono", "cont_relacion", "cont_hash"])
for i in range(contactos):
    c = cuenta(i % abonados)
    n = i // abonados + 1
    fila = [c, str(n), f"Contacto {n}", f"600 {i:06d}", "Vecino" if n > 1 else "Titular"]
    k.writerow(fila + ["", hash_clave])
    kp.writerow(fila + [hash_clave])
fc.close()
pc.close()
