#!/usr/bin/python3
"""Reads a workbook of the program with openpyxl, an independent reader, and
compares it with the text exports of the same run.

workbook_check.py BOOK.xlsx RANGE.csv MARKED.csv EXPERIMENT
Prints OK, or what differs, one line each (exit status 1).
"""
import sys

import openpyxl

book, range_csv, marked_csv, experiment = sys.argv[1:5]
problems = []


def export_rows(name):
    with open(name, "rb") as f:
        text = f.read().decode("cp1251")
    lines = text.split("\r\n")[:-1]
    return [line.split("\t") for line in lines]


def number(text):
    return float(text.replace(",", "."))


def compare(sheet, rows, mark_times=None):
    cells = list(sheet.iter_rows(values_only=True))
    if len(cells) != len(rows):
        problems.append(f"{sheet.title}: {len(cells)} rows, the export has {len(rows)}")
        return
    header = cells[0]
    for k, title in enumerate(rows[0][1:], start=1):
        if not str(header[k]).startswith(title):
            problems.append(f"{sheet.title}: column {k} is '{header[k]}', the export's '{title}'")
    for r, (got, want) in enumerate(zip(cells[1:], rows[1:]), start=2):
        for k, text in enumerate(want):
            value = got[k]
            if not isinstance(value, (int, float)):
                problems.append(f"{sheet.title} row {r} column {k}: {value!r} is no number")
                continue
            # The export rounds to three decimals (time) or two.
            if abs(value - number(text)) > (0.0005 if k == 0 else 0.005) + 1e-9:
                problems.append(f"{sheet.title} row {r} column {k}: {value} against {text}")
        if mark_times is not None:
            marked = round(number(want[0]), 3) in mark_times
            if (got[len(want)] == "*") != marked:
                problems.append(f"{sheet.title} row {r}: mark column {got[len(want)]!r}")


wb = openpyxl.load_workbook(book)
if wb.sheetnames != ["Показания", "Отметки", "Итоги"]:
    problems.append(f"sheets {wb.sheetnames}")
else:
    marked = export_rows(marked_csv)
    compare(wb["Отметки"], marked)
    compare(wb["Показания"], export_rows(range_csv), {round(number(r[0]), 3) for r in marked[1:]})
    summary = {row[0]: row[1:] for row in wb["Итоги"].iter_rows(values_only=True) if row[0]}
    if summary.get("Опыт", [None])[0] != experiment:
        problems.append(f"experiment {summary.get('Опыт')}")
    equivalence = summary.get("Точка эквивалентности (V1)")
    if not equivalence or not isinstance(equivalence[0], float):
        problems.append(f"equivalence {equivalence}")

print("\n".join(problems) if problems else "OK")
sys.exit(1 if problems else 0)
