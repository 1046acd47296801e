#!/usr/bin/python3
"""The rows of a measurement table that lie in a period, computed apart from
the program: the table read with dbfread (live rows in file order), DATE and
TIME read as a calendar moment, the ends of the period read from the texts a
user gives (2024-03-15T08:00, "15.03.2024 08:00", seconds optional), both
ends included; an end not given is open.

    period_oracle.py TABLE [--from MOMENT] [--to MOMENT] [--sort FIELD [--descending]]

Prints one JSON object: "n", the N of each row in the order the table is
shown in (file order, or sorted stably by FIELD: temperatures as numbers);
"first" and "last", the earliest and latest moment (ISO); per channel
"t1"/"t2" the minimum, the mean and the maximum of the readings.
"""
import argparse
import datetime
import json

import dbfread

FORMS = ('%Y-%m-%dT%H:%M', '%Y-%m-%dT%H:%M:%S', '%d.%m.%Y %H:%M', '%d.%m.%Y %H:%M:%S')


def given(text):
    if text is None or not text.strip():
        return None
    for form in FORMS:
        try:
            return datetime.datetime.strptime(text.strip(), form)
        except ValueError:
            pass
    raise SystemExit('not a moment: ' + text)


def moment(date, time):
    return datetime.datetime.strptime(date.strip() + ' ' + time.strip(), '%d.%m.%Y %H:%M:%S')


def number(text):
    return float((text or '').strip().replace(',', '.'))


def main():
    p = argparse.ArgumentParser()
    p.add_argument('table')
    p.add_argument('--from', dest='start')
    p.add_argument('--to', dest='end')
    p.add_argument('--sort')
    p.add_argument('--descending', action='store_true')
    a = p.parse_args()
    start, end = given(a.start), given(a.end)

    rows = []
    for rec in dbfread.DBF(a.table, encoding='cp1251', char_decode_errors='strict'):
        at = moment(rec['DATE'], rec['TIME'])
        if (start is None or at >= start) and (end is None or at <= end):
            rows.append((at, int(rec['N']), number(rec['T_1']), number(rec['T_2'])))
    if a.sort:
        column = {'T_1': 2, 'T_2': 3, 'N': 1}[a.sort.upper()]
        rows.sort(key=lambda r: r[column], reverse=a.descending)  # stable both ways

    out = {'n': [r[1] for r in rows]}
    if rows:
        out['first'] = min(r[0] for r in rows).isoformat()
        out['last'] = max(r[0] for r in rows).isoformat()
        for name, column in (('t1', 2), ('t2', 3)):
            values = [r[column] for r in rows]
            out[name] = [min(values), sum(values) / len(values), max(values)]
    print(json.dumps(out))


main()
