#!/usr/bin/python3
"""An independent check of an import: the tables read by dbfread, every lesson
resolved by literal first-match scans, compared with the document written.
  import_oracle.py WORKDIR OUTPUT.xml"""
import dbfread, sys, xml.etree.ElementTree as ET
w = sys.argv[1]
def rows(n): return list(dbfread.DBF(f"{w}/{n}.DBF", encoding="cp1252"))
def s(v): return "" if v is None else str(v).rstrip(" ")
cur = rows("CURSOACAD"); fi, ff = (s(cur[0]["F_INICIO"]), s(cur[0]["F_FIN"])) if cur else ("", "")
tram, aul, gru, mat, sol = rows("DIASHORAST"), rows("AULAT"), rows("GRUPOST"), rows("ASIGNOMT"), rows("SOLUC")
def scan(t, k, v, fields):
    for r in t:
        if s(r[k]) == v: return [s(r[f]) for f in fields]
    return [""] * len(fields)
def conv(t):
    if t and len(t) < 5 and t[0] != "0": t = "0" + t
    return t[0:2] + t[3:5]
out = []
for n, p in enumerate(rows("PROFT"), 1):
    acts = []
    for r in sol:
        if s(r["PROF"]) != s(p["ABREV"]): continue
        dia = int(r["DIA"] or 0)
        if dia == 0: continue
        d, c, hd, hh = scan(tram, "DIHO", str(dia) + str(int(r["HORA"] or 0)), ["DIA", "CODDIHO", "HORADESDE", "HORAHASTA"])
        room = scan(aul, "ABREV", s(r["AULA"]), ["DEPCENTRO"])[0]
        if room.strip() == "": room = s(r["AULA"])
        unit = scan(gru, "ABREV", s(r["CODGRUPO"]), ["UNIDAD"])[0]
        m, cl = scan(mat, "COD", s(r["ASIG"]), ["MATERIA", "CODLARGO"])
        acts.append([d, c, room, unit, m, cl, fi, ff, conv(hd), conv(hh), "1"])
    out.append((s(p["X_EMPLEADO"]), s(p["F_TOMAPOS"]), acts))
doc = ET.parse(sys.argv[2]).getroot()
block = [g for g in doc.find("BLOQUE_DATOS") if g.get("seq") == "HORARIOS_REGULARES"][0]
got = []
assert block.get("registros") == str(len(out))
for n, t in enumerate(block, 1):
    assert t.get("seq") == f"HORARIO_REGULAR_PROFESOR_{n}", t.get("seq")
    ds = [d.text or "" for d in t.findall("dato")]
    acts = []
    for m, a in enumerate(t.findall("grupo_datos"), 1):
        assert a.get("seq") == f"ACTIVIDAD_{m}"
        names = [d.get("nombre_dato") for d in a.findall("dato")]
        assert names == ["N_DIASEMANA","X_TRAMO","X_DEPENDENCIA","X_UNIDAD","X_OFERTAMATRIG","X_MATERIAOMG","F_INICIO","F_FIN","N_HORINI","N_HORFIN","X_ACTIVIDAD"]
        acts.append([d.text or "" for d in a.findall("dato")])
    assert t.get("registros") == str(len(acts))
    got.append((ds[0], ds[1], acts))
print(f"teachers {len(out)}, lessons {sum(len(a) for _, _, a in out)}")
print("1 passed, 0 failed" if got == out else "0 passed, 1 failed")
sys.exit(0 if got == out else 1)
