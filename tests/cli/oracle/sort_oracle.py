#!/usr/bin/python3
"""The order in which a measurement table's live rows should be shown when
sorted by one field, computed apart from the program: the table read with
dbfread, temperatures compared as numbers, dates as calendar dates, times as
their texts; rows with equal keys keep their order in the file (the sort is
stable in both directions).

    sort_oracle.py TABLE FIELD [--descending]

Prints the N of each row in that order, one a line.
"""
import datetime
import sys

import dbfread


def key(field, value):
    text = (value or "").strip()
    if field in ("T_1", "T_2"):
        return float(text.replace(",", ".")) if text else 0.0
    if field == "DATE":
        return datetime.datetime.strptime(text, "%d.%m.%Y").date()
    if field == "TIME":
        return text
    raise SystemExit("no oracle for field " + field)


def main():
    table, field = sys.argv[1], sys.argv[2].upper()
    descending = "--descending" in sys.argv[3:]
    rows = list(dbfread.DBF(table, encoding="cp1251"))  # live rows, file order
    # sorted() is stable also with reverse=True: equal keys stay in file order.
    ordered = sorted(rows, key=lambda r: key(field, r[field]), reverse=descending)
    for r in ordered:
        print(int(r["N"]))


main()
