#!/usr/bin/python3
"""enlazor-cli's report: the summary on standard output, the findings on
standard error, --informe as JSON with its documented fields, --silencio.
   cli_report.py ENLAZOR_CLI"""
import json
import os
import subprocess
import sys
import tempfile

import dbf

cli = sys.argv[1]
failures = []


def check(what, got, want):
    if got != want:
        failures.append(f"{what}: {got!r} != {want!r}")


def run(*args):
    return subprocess.run([cli, *args], capture_output=True, text=True, encoding="utf-8")


def group(seq, records):
    rows = "".join("<grupo_datos>" + "".join(f"<dato>{v}</dato>" for v in r) + "</grupo_datos>" for r in records)
    return f'<grupo_datos seq="{seq}">{rows}</grupo_datos>'


def one_teacher_school(folder, file_name, hired):
    """A work folder and a school file with one teacher, exported once."""
    work = os.path.join(folder, "HTEMP")
    os.mkdir(work)
    school = os.path.join(folder, file_name)
    with open(school, "w", encoding="utf-8") as out:
        out.write("<SERVICIO><BLOQUE_DATOS>" + group("EMPLEADOS", [["100", hired, "P", "García", "López", "Ana"]])
                  + "</BLOQUE_DATOS></SERVICIO>")
    run("export", school, "--workdir", work)
    return work, school


with tempfile.TemporaryDirectory() as folder:
    work = os.path.join(folder, "HTEMP")
    os.mkdir(work)
    school = os.path.join(folder, "escuela.xml")
    name = "Lengua Castellana y Literatura 1º Bachillerato"
    with open(school, "w", encoding="utf-8") as out:
        out.write("<SERVICIO><BLOQUE_DATOS>" + group("MATERIAS", [["310000", "41000", name]])
                  + group("EMPLEADOS", [["100", "01/09/2010", "P", "García", "López", "Ana"]])
                  + group("DEPENDENCIAS", [["A1", "Aula"]]) + group("UNIDADES", [["U1", "1º ESO A"]])
                  + group("TRAMOS_HORARIOS", [["T1", "1", "0800", "0900"]]) + "</BLOQUE_DATOS></SERVICIO>")
    report = os.path.join(folder, "informe.json")
    done = run("export", school, "--workdir", work, "--informe", report)
    check("export exit", done.returncode, 0)
    check("export stdout", done.stdout.splitlines()[0], "Proceso finalizado")
    check("export summary", done.stdout.splitlines()[-1],
          "1 aviso para revisar (1 valor cortado). Los detalles van en la salida de errores.")
    check("export stderr", done.stderr,
          f"Materias (ASIGNOMT), fila 1, NOMBRE: «{name}» no cabe en 40 caracteres; queda «{name[:40]}».\n")
    data = json.load(open(report, encoding="utf-8"))
    check("orden", data["orden"], "exportar")
    check("archivo", data["archivo"], school)
    check("salida", data["salida"], None)
    check("copia", data["copia"], None)
    check("tablas", [(t["tabla"], t["filas"]) for t in data["tablas"]],
          [("CURSOACAD", 0), ("ASIGNOMT", 1), ("PROFT", 1), ("AULAT", 1), ("GRUPOST", 1), ("ASIGT", 0), ("DIASHORAST", 7)])
    check("omitidos", data["omitidos"], {})
    check("hallazgos", data["hallazgos"], [{
        "tipo": "valor_cortado", "tabla": "ASIGNOMT", "fila": 1, "campo": "NOMBRE", "valor": name, "queda": name[:40],
        "profesor": None, "dia": None, "tramo": None,
        "mensaje": f"Materias (ASIGNOMT), fila 1, NOMBRE: «{name}» no cabe en 40 caracteres; queda «{name[:40]}».",
    }])

    # Horavia's solution: one lesson in a room the tables lack.
    soluc = dbf.Table(os.path.join(work, "SOLUC.DBF"), "PROF C(4); DIA N(2,0); HORA N(2,0); AULA C(4); CODGRUPO C(4); ASIG C(4)",
                      codepage="cp1252")
    soluc.open(dbf.READ_WRITE)
    soluc.append(("AGL", 1, 1, "B7", "1ESA", "L"))
    soluc.close()
    with open(os.path.join(folder, "base.xml"), "w", encoding="utf-8") as out:
        out.write("<SERVICIO><BLOQUE_DATOS/></SERVICIO>")
    quiet = run("import", school, "--workdir", work, "--template", os.path.join(folder, "base.xml"),
                "--informe", report, "--silencio")
    check("import exit", quiet.returncode, 0)
    check("--silencio", quiet.stdout + quiet.stderr, "")
    data = json.load(open(report, encoding="utf-8"))
    check("orden", data["orden"], "importar")
    check("salida", data["salida"], os.path.join(folder, "ResultadoTempraescuela.xml"))
    check("profesores", data["profesores"], 1)
    check("actividades", data["actividades"], 1)
    check("por lo que son", (data["clases"], data["guardias"], data["otras"]), (1, 0, 0))
    check("horas", [(h["profesor"], h["minutos_clase"], h["minutos_guardia"]) for h in data["horas"]], [("AGL", 100, 0)])  # Séneca counts slot times in minutes since midnight: 800 to 900
    check("tablas", [t["tabla"] for t in data["tablas"]], ["SOLUC", "GRUPOST", "PROFT", "AULAT", "ASIGNOMT", "DIASHORAST"])
    finding = data["hallazgos"][0]
    check("import hallazgo", {k: finding[k] for k in ("tipo", "tabla", "fila", "campo", "valor", "profesor", "dia", "tramo")},
          {"tipo": "aula_desconocida", "tabla": "SOLUC", "fila": 1, "campo": "AULA", "valor": "B7", "profesor": "AGL",
           "dia": 1, "tramo": 1})

# Nothing lost: an assignment Horavia added survives a second export as a copy that restaurar puts back.
with tempfile.TemporaryDirectory() as folder:
    work, school = one_teacher_school(folder, "a.xml", "01/09/2010")
    asigt = dbf.Table(os.path.join(work, "ASIGT.DBF"), codepage="cp1252")
    asigt.open(dbf.READ_WRITE)
    asigt.append(("L", "AGL", "1ESA", "A1", "", "", "", "", 3.0, ""))
    asigt.close()
    tables = lambda: {name: open(os.path.join(work, name), "rb").read() for name in sorted(os.listdir(work))
                      if name.endswith(".DBF")}
    before = tables()
    check("second export", run("export", school, "--workdir", work).returncode, 0)
    listed = run("copias", "--workdir", work).stdout.splitlines()
    check("copias", len(listed), 2)
    check("copias line", listed[-1].split("  ")[2:], ["antes de exportar a.xml", "Profesorado (PROFT): 1 fila, Asignaciones (ASIGT): 1 fila"])
    listing = os.path.join(folder, "copias.json")
    run("copias", "--workdir", work, "--informe", listing)
    copy = json.load(open(listing, encoding="utf-8"))["copias"][0]
    check("copia completa", (copy["completa"], copy["falta"]), (True, None))
    check("restaurar", run("restaurar", "1", "--workdir", work).returncode, 0)
    check("restored tables", tables() == before, True)
    missing = run("restaurar", "5", "--workdir", work)
    check("no such copy", (missing.returncode, missing.stderr.startswith("No hay copia número 5")), (3, True))

# The report never overwrites what the command reads or writes, and a report
# that cannot be written stops the command before it changes anything.
with tempfile.TemporaryDirectory() as folder:
    work, school = one_teacher_school(folder, "escuela.xml", "")
    base = os.path.join(folder, "base.xml")
    with open(base, "w", encoding="utf-8") as out:
        out.write("<SERVICIO><BLOQUE_DATOS/></SERVICIO>")
    soluc = dbf.Table(os.path.join(work, "SOLUC.DBF"), "PROF C(4); DIA N(2,0); HORA N(2,0); AULA C(4); CODGRUPO C(4); ASIG C(4)",
                      codepage="cp1252")
    soluc.open(dbf.READ_WRITE)
    soluc.close()
    os.mkdir(os.path.join(folder, "carpeta"))
    snapshot = lambda: {name: open(os.path.join(d, name), "rb").read() for d in (folder, work)
                        for name in sorted(os.listdir(d)) if os.path.isfile(os.path.join(d, name))}
    cases = [  # (command, report, start of the message)
        ("export", school, "El informe '%s' sería el archivo elegido"),
        ("import", base, "El informe '%s' sería la plantilla"),
        ("import", os.path.join(folder, "ResultadoTempraescuela.xml"), "El informe '%s' sería el archivo para Séneca"),
        ("export", os.path.join(work, "PROFT.DBF"), "El informe '%s' sería una tabla de la carpeta de trabajo"),
        ("export", os.path.join(work, "nueva.dbf"), "El informe '%s' sería una tabla de la carpeta de trabajo"),
        ("export", os.path.join(folder, "no-hay", "r.json"), "No se puede escribir el informe '%s': no existe"),
        ("export", os.path.join(folder, "carpeta"), "No se puede escribir el informe '%s': es una carpeta"),
        ("export", "/dev/null", "No se puede escribir el informe '%s': no es un archivo normal"),
    ]
    for command, report, message in cases:
        before = snapshot()
        args = [command, school, "--workdir", work, "--informe", report]
        if command == "import":
            args += ["--template", base]
        done = run(*args)
        check(f"{report}: refused", (done.returncode, done.stderr.startswith(message % report)), (3, True))
        check(f"{report}: nothing changed", snapshot() == before, True)

    # A file name that is no UTF-8 (Linux allows it) still gives valid JSON.
    odd = os.path.join(folder.encode(), b"a\xf1o.xml")
    with open(odd, "wb") as out:
        out.write(open(school, "rb").read())
    report = os.path.join(folder, "r.json")
    done = subprocess.run([cli, b"export", odd, b"--workdir", work.encode(), b"--informe", report.encode(), b"--silencio"])
    check("odd name exit", done.returncode, 0)
    check("odd name JSON", json.load(open(report, encoding="utf-8"))["archivo"].endswith("a\ufffdo.xml"), True)

for failure in failures:
    print("FALLO", failure)
sys.exit(1 if failures else 0)
