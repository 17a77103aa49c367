#!/usr/bin/python3
"""Our tables read by an independent reader (dbfread), and tables written by
another writer (dbf) read by our store, deleted rows included."""
import datetime
import os
import subprocess
import sys
import tempfile

import dbf
import dbfread

TOOL = sys.argv[1]
failures = []


def check(what, got, expected):
    if got != expected:
        failures.append(f"{what}: got {got!r}, expected {expected!r}")


def ours_read_by_dbfread(folder):
    subprocess.run([TOOL, "write", folder], check=True)
    table = dbfread.DBF(os.path.join(folder, "MUESTRA.DBF"), encoding="cp1252", char_decode_errors="strict")
    check("fields", [(f.name, f.type, f.length, f.decimal_count) for f in table.fields],
          [("COD", "C", 4, 0), ("NOMBRE", "C", 40, 0), ("DNI", "N", 11, 0), ("HORAS", "N", 20, 4)])
    rows = [dict(r) for r in table]
    check("rows", rows, [
        {"COD": "LC", "NOMBRE": "Lengua Castellana y Literatura", "DNI": 12, "HORAS": None},
        {"COD": "Mús", "NOMBRE": "  Música € Šœ", "DNI": None, "HORAS": None},
        {"COD": "Lect", "NOMBRE": "", "DNI": -7, "HORAS": None},
    ])
    check("code page byte", table.header.language_driver, 0x03)


def theirs_read_by_ours(folder):
    path = os.path.join(folder, "soluc.dbf")
    table = dbf.Table(path, "PROF C(4); DIA N(2,0); HORA N(3,0); AULA C(6); NOTA C(10); PESO N(6,2); "
                            "ALTA D; ACTIVO L", codepage="cp1252")
    table.open(dbf.READ_WRITE)
    for row in [("GAR1", 1, 2, "A12", "primera", 1.5, datetime.date(2026, 9, 15), True),
                ("BORR", 3, 4, "X", "borrada", 0, None, False),
                ("O'N", 0, 0, "", "€ñ", -2.25, None, None),
                ("gar1", 5, 7, "  B", "", 3, None, True)]:  # dbf itself drops the leading blanks
        table.append(row)
    dbf.delete(table[1])
    table.close()
    out = subprocess.run([TOOL, "dump", folder, "SOLUC", "PROF,DIA,HORA,AULA,NOTA,PESO,ALTA"],
                         check=True, capture_output=True, text=True).stdout.splitlines()
    check("foreign rows", out, [
        "PROF=GAR1|DIA=1|HORA=2|AULA=A12|NOTA=primera|PESO=1.5|ALTA=20260915",
        "PROF=O'N|DIA=0|HORA=0|AULA=|NOTA=€ñ|PESO=-2.25|ALTA=",
        "PROF=gar1|DIA=5|HORA=7|AULA=B|NOTA=|PESO=3|ALTA=",
    ])


with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
    ours_read_by_dbfread(a)
    theirs_read_by_ours(b)

for failure in failures:
    print("FALLO:", failure)
print(f"{2 - min(2, len(failures))} passed, {min(2, len(failures))} failed")
sys.exit(1 if failures else 0)
