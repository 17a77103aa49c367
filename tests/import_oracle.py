#!/usr/bin/python3
"""An independent check of an import: the tables read by dbfread, the kept
Séneca data and the user's list of activities read anew, every lesson
resolved by literal first-match scans, compared with the document written.
  import_oracle.py WORKDIR OUTPUT.xml"""
import dbfread, os, sys, unicodedata, xml.etree.ElementTree as ET
w = sys.argv[1]
def rows(n): return list(dbfread.DBF(f"{w}/{n}.DBF", encoding="cp1252"))
def s(v): return "" if v is None else str(v).rstrip(" ")
def fold(t): return " ".join("".join(c for c in unicodedata.normalize("NFD", t.lower()) if not unicodedata.combining(c)).split())
cur = rows("CURSOACAD"); fi, ff = (s(cur[0]["F_INICIO"]), s(cur[0]["F_FIN"])) if cur else ("", "")
tram, aul, gru, mat, sol = rows("DIASHORAST"), rows("AULAT"), rows("GRUPOST"), rows("ASIGNOMT"), rows("SOLUC")
def scan(t, k, v, fields):
    for r in t:
        if s(r[k]) == v: return [s(r.get(f)) for f in fields]
    return None
def conv(t):
    if t and len(t) < 5 and t[0] != "0": t = "0" + t
    return t[0:2] + t[3:5]

# What the export kept of the Séneca file: each group's records as lists of dato texts.
kept = {}
kept_file = os.path.join(w, "ENLAZOR-SENECA.XML")
if os.path.exists(kept_file):
    for group in ET.parse(kept_file).getroot().find("BLOQUE_DATOS"):
        kept[group.get("seq")] = [[(d.text or "").strip() for d in r.findall("dato")] for r in group.findall("grupo_datos")]
acts = [(a[1], a[2], a[0] != "N", a[3] != "N", a[4] != "N") for a in kept.get("ACTIVIDADES", [])]
def by_name(n): return next((a for a in acts if fold(a[1]) == fold(n) and fold(n)), None)
listed = {}
list_file = os.path.join(w, "Enlazor-actividades.txt")
if kept and os.path.exists(list_file):
    for line in open(list_file, encoding="utf-8-sig"):
        line = line.strip()
        if not line or line.startswith("#") or "=" not in line: continue
        code, act = (x.strip() for x in line.split("=", 1))
        found = next((a for a in acts if a[0] == act), None) if act.isdigit() else by_name(act)
        if code and found and code not in listed: listed[code] = found
unit_courses = {}
for u in kept.get("UNIDADES", []):
    unit_courses.setdefault(u[0][:10], [])
    if u[2][:8] not in unit_courses[u[0][:10]]: unit_courses[u[0][:10]].append(u[2][:8])
subjects = [(m[0][:8], m[1][:8], m[2]) for m in kept.get("MATERIAS", [])]

def lesson(r):
    d, c, hd, hh = scan(tram, "DIHO", str(int(r["DIA"])) + str(int(r["HORA"] or 0)), ["DIA", "CODDIHO", "HORADESDE", "HORAHASTA"]) or [""] * 4
    room = (scan(aul, "ABREV", s(r["AULA"]), ["DEPCENTRO"]) or [""])[0]
    if room.strip() == "": room = s(r["AULA"])
    unit = (scan(gru, "ABREV", s(r["CODGRUPO"]), ["UNIDAD"]) or [""])[0]
    asig = s(r["ASIG"])
    found = scan(mat, "COD", asig, ["MATERIA", "CODLARGO", "NOMBRE"])
    m, cl, name = found or ["", "", ""]
    act, with_unit, with_subject = "1", True, True
    if kept and asig and not cl:
        a = listed.get(asig) or by_name(name or asig)
        if a: act, with_unit, with_subject = a[0], a[3], a[4]
    elif kept and cl and unit in unit_courses and m and m not in unit_courses[unit]:
        full = next((x[2] for x in subjects if x[0] == m and x[1] == cl), name)
        for course in unit_courses[unit]:
            same = next((x for x in subjects if x[0] == course and fold(x[2]) == fold(full)), None)
            if same: m, cl = same[0], same[1]; break
    return [d, c, room, unit if with_unit else "", m if with_subject else "", cl if with_subject else "",
            fi, ff, conv(hd), conv(hh), act]

# One group per post: the rows of one X_EMPLEADO and F_TOMAPOS together.
posts, keys = [], {}
for p in rows("PROFT"):
    key = (s(p["X_EMPLEADO"]), s(p["F_TOMAPOS"]))
    if key[0] and key in keys: posts[keys[key]][2].append(s(p["ABREV"])); continue
    keys[key] = len(posts); posts.append((key[0], key[1], [s(p["ABREV"])]))
out = [(e, f, [lesson(r) for code in codes for r in sol if s(r["PROF"]) == code and int(r["DIA"] or 0) != 0])
       for e, f, codes in posts]

doc = ET.parse(sys.argv[2]).getroot()
block = [g for g in doc.find("BLOQUE_DATOS") if g.get("seq") == "HORARIOS_REGULARES"][0]
got = []
assert block.get("registros") == str(len(out))
for n, t in enumerate(block, 1):
    assert t.get("seq") == f"HORARIO_REGULAR_PROFESOR_{n}", t.get("seq")
    ds = [d.text or "" for d in t.findall("dato")]
    lessons = []
    for m, a in enumerate(t.findall("grupo_datos"), 1):
        assert a.get("seq") == f"ACTIVIDAD_{m}"
        names = [d.get("nombre_dato") for d in a.findall("dato")]
        assert names == ["N_DIASEMANA","X_TRAMO","X_DEPENDENCIA","X_UNIDAD","X_OFERTAMATRIG","X_MATERIAOMG","F_INICIO","F_FIN","N_HORINI","N_HORFIN","X_ACTIVIDAD"]
        lessons.append([d.text or "" for d in a.findall("dato")])
    assert t.get("registros") == str(len(lessons))
    got.append((ds[0], ds[1], lessons))
print(f"teachers {len(out)}, lessons {sum(len(a) for _, _, a in out)}, "
      f"activities {sorted({l[10] for _, _, a in out for l in a})}")
for want, have in zip(out, got):
    if want != have: print("first difference:", want[0], [x for x in zip(want[2], have[2]) if x[0] != x[1]][:2])
print("1 passed, 0 failed" if got == out else "0 passed, 1 failed")
sys.exit(0 if got == out else 1)
