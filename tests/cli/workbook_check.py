#!/usr/bin/python3
"""Reads a workbook of the program with openpyxl, an independent reader, and
compares it with the recorder's export of the same run (every record, the
marks in a last column).

workbook_check.py BOOK.xlsx RUN.csv EXPERIMENT [--equivalence] [--stretch TEXT]
--equivalence: "Итоги" holds the equivalence point as a number.
--stretch TEXT: every fit and the statistics name this stretch.
Prints OK, or what differs, one line each (exit status 1).
"""
import sys

import openpyxl

book, run_csv, experiment = sys.argv[1:4]
options = sys.argv[4:]
problems = []


def export_rows(name):
    with open(name, "rb") as f:
        text = f.read().decode("cp1251")
    lines = text.split("\r\n")[:-1]
    return [line.split("\t") for line in lines]


def number(text):
    return float(text.replace(",", "."))


def compare(sheet, rows, quantities, marks):
    """The sheet holds `rows` (header first): time and `quantities` columns,
    then, with `marks`, the mark column."""
    cells = list(sheet.iter_rows(values_only=True))
    if len(cells) != len(rows):
        problems.append(f"{sheet.title}: {len(cells)} rows, the export has {len(rows)}")
        return
    header = cells[0]
    for k, title in enumerate(rows[0][1:quantities + 1], start=1):
        if not str(header[k]).startswith(title):
            problems.append(f"{sheet.title}: column {k} is '{header[k]}', the export's '{title}'")
    for r, (got, want) in enumerate(zip(cells[1:], rows[1:]), start=2):
        for k, text in enumerate(want[:quantities + 1]):
            value = got[k]
            if not isinstance(value, (int, float)):
                problems.append(f"{sheet.title} row {r} column {k}: {value!r} is no number")
                continue
            # The export rounds to three decimals (time) or two.
            if abs(value - number(text)) > (0.0005 if k == 0 else 0.005) + 1e-9:
                problems.append(f"{sheet.title} row {r} column {k}: {value} against {text}")
        if marks:
            mark = got[quantities + 1] if len(got) > quantities + 1 else None
            if (mark == "*") != (len(want) > quantities + 1 and want[quantities + 1] == "*"):
                problems.append(f"{sheet.title} row {r}: mark column {mark!r}")


def shows_six_digits(value, pattern):
    """The cell's number format shows the value to six significant digits."""
    if "E" in pattern:
        return len(pattern.split(".")[1].split("E")[0]) >= 5
    decimals = len(pattern.split(".")[1]) if "." in pattern else 0
    return value == 0 or abs(round(value, decimals) - value) <= 5e-6 * abs(value)


def check_fits(summary_sheet, readings_sheet, stretch):
    rows = list(summary_sheet.iter_rows())
    heads = [k for k, row in enumerate(rows) if row[1].value == "x" and row[2].value == "a"]
    if not heads:
        problems.append("Итоги: no fits")
        return
    readings = list(readings_sheet.iter_rows(values_only=True))
    for row in rows[heads[0] + 1:]:
        if not row[0].value:
            break
        name, x, a, b, c, x0, r2 = (row[k].value for k in (0, 1, 2, 4, 6, 8, 9))
        for cell in (row[k] for k in range(2, 8)):
            if isinstance(cell.value, float) and not shows_six_digits(cell.value,
                                                                      cell.number_format):
                problems.append(f"Итоги {cell.coordinate}: {cell.value} shown as "
                                f"'{cell.number_format}'")
        if stretch is not None and row[10].value != stretch:
            problems.append(f"Итоги: the fit of {name} names '{row[10].value}'")
        # A straight line that meets its points: the sheet's times put into
        # its equation as they stand give the readings.
        if x != "t" or c is not None or r2 is None or r2 < 0.99999:
            continue
        if not isinstance(x0, (int, float)):
            problems.append(f"Итоги: the line of {name} has no x0")
            continue
        column = next(k for k, title in enumerate(readings[0]) if str(title).startswith(name))
        for reading in readings[1:]:
            y = a + b * (reading[0] - x0)
            if abs(y - reading[column]) > 0.002 + 1e-4 * abs(y):
                problems.append(f"Итоги: the line of {name} gives {y} at t = {reading[0]}, "
                                f"the reading is {reading[column]}")
                break


wb = openpyxl.load_workbook(book)
if wb.sheetnames != ["Показания", "Отметки", "Итоги"]:
    problems.append(f"sheets {wb.sheetnames}")
else:
    run = export_rows(run_csv)
    marks = run[0][-1] == "Метка"
    quantities = len(run[0]) - 1 - (1 if marks else 0)
    compare(wb["Показания"], run, quantities, True)
    compare(wb["Отметки"], [run[0]] + [r for r in run[1:] if marks and r[-1] == "*"], quantities,
            False)
    summary = {row[0]: row[1:] for row in wb["Итоги"].iter_rows(values_only=True) if row[0]}
    if summary.get("Опыт", [None])[0] != experiment:
        problems.append(f"experiment {summary.get('Опыт')}")
    if summary.get("Точек", [None])[0] != len(run) - 1:
        problems.append(f"points {summary.get('Точек')}, the run has {len(run) - 1}")
    if "--equivalence" in options:
        equivalence = summary.get("Точка эквивалентности (V1)")
        if not equivalence or not isinstance(equivalence[0], float):
            problems.append(f"equivalence {equivalence}")
    stretch = options[options.index("--stretch") + 1] if "--stretch" in options else None
    check_fits(wb["Итоги"], wb["Показания"], stretch)
    if stretch is not None and stretch not in summary:
        problems.append(f"Итоги: no statistics of '{stretch}'")

print("\n".join(problems) if problems else "OK")
sys.exit(1 if problems else 0)
