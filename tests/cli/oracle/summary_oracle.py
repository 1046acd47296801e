#!/usr/bin/python3
"""An independent reading of a recording, for checking `fln summary --json`.

Reads the table with dbfread (live rows in file order), computes every figure
with numpy from the definitions the manual gives, and prints the same JSON
object. Usage:
    summary_oracle.py TABLE [--lower1 X] [--upper1 Y] [--lower2 X] [--upper2 Y] [--dh KJ]
                      [--from 2024-03-15T08:00] [--to 2024-03-16T18:00]
"""
import argparse
import datetime
import json
import sys

import dbfread
import numpy as np

R = 8.3144
EPOCH = datetime.datetime(1970, 1, 1)


def moment(date, time):
    d = datetime.datetime.strptime(date.strip() + ' ' + time.strip(), '%d.%m.%Y %H:%M:%S')
    return int((d - EPOCH).total_seconds())


def seconds_of(text):
    if text is None:
        return None
    d = datetime.datetime.fromisoformat(text)
    return int((d - EPOCH).total_seconds())


def iso(s):
    return (EPOCH + datetime.timedelta(seconds=int(s))).strftime('%Y-%m-%dT%H:%M:%S')


def number(text):
    return float(text.strip().replace(',', '.'))


def r2(v):
    r = round(float(v), 2)
    return 0.0 if r == 0 else r


def runs(mask_in_time_order, t_in_time_order):
    """(readings, excursions, first start, longest length, longest start)."""
    readings = int(mask_in_time_order.sum())
    excursions, first, longest, longest_at, run, start = 0, None, 0, None, 0, None
    for out, t in zip(mask_in_time_order, t_in_time_order):
        if out:
            if run == 0:
                excursions += 1
                start = int(t)
                if first is None:
                    first = start
            run += 1
        else:
            if run > longest:
                longest, longest_at = run, start
            run = 0
    if run > longest:
        longest, longest_at = run, start
    return readings, excursions, first, longest, longest_at


def main():
    p = argparse.ArgumentParser()
    p.add_argument('table')
    for name in ('lower1', 'upper1', 'lower2', 'upper2'):
        p.add_argument('--' + name, type=float)
    p.add_argument('--dh', type=float, default=83.144)
    p.add_argument('--from', dest='start')  # 2024-03-15T08:00[:SS]: the rows from then on
    p.add_argument('--to', dest='end')  # the rows until then, that moment included
    a = p.parse_args()
    start = seconds_of(a.start)
    end = seconds_of(a.end)

    modes = {'Оперативный': 0, 'Наблюдения': 0}
    at, t1, t2 = [], [], []
    for rec in dbfread.DBF(a.table, encoding='cp1251', char_decode_errors='strict'):
        m = moment(rec['DATE'], rec['TIME'])
        if (start is not None and m < start) or (end is not None and m > end):
            continue
        mode = (rec['MODE'] or '').strip()
        modes[mode] = modes.get(mode, 0) + 1
        at.append(m)
        t1.append(number(rec['T_1']))
        t2.append(number(rec['T_2']))
    at = np.array(at, dtype=np.int64)
    n = len(at)
    out = {'records': n}
    if n == 0:
        empty_side = {'readings': 0, 'seconds': 0, 'excursions': 0, 'first_at': None,
                      'longest_s': None}
        chan = lambda lo, hi: {'count': 0, 'min': None, 'min_at': None, 'max': None,
                               'max_at': None, 'mean': None, 'stdev': None, 'mkt': None,
                               'lower': lo, 'upper': hi, 'below': empty_side,
                               'above': empty_side, 'within': None}
        out.update({'first': None, 'last': None, 'interval_s': None, 'modes': modes,
                    'gaps': {'count': 0, 'missing_s': 0, 'longest': None, 'list': []},
                    'clock_back': {'count': 0, 'first_at': None, 'equal': 0},
                    'channels': {'T1': chan(a.lower1, a.upper1), 'T2': chan(a.lower2, a.upper2)},
                    'days': []})
        print(json.dumps(out, ensure_ascii=False))
        return

    order = np.argsort(at, kind='stable')
    ts = at[order]
    steps = np.diff(ts)
    positive = steps[steps > 0]
    interval = 0
    if len(positive):
        values, counts = np.unique(positive, return_counts=True)
        interval = int(values[np.argmax(counts)])

    gaps = []
    if interval:
        for i in np.nonzero(2 * steps > 3 * interval)[0]:
            gaps.append({'from': iso(ts[i]), 'to': iso(ts[i + 1]), 'seconds': int(steps[i])})
    longest = None
    for g in gaps:
        if longest is None or g['seconds'] > longest['seconds']:
            longest = g
    missing = sum(g['seconds'] - interval for g in gaps)

    back = np.diff(at)  # file order is record order
    back_idx = np.nonzero(back < 0)[0]
    clock = {'count': int(len(back_idx)),
             'first_at': iso(at[back_idx[0] + 1]) if len(back_idx) else None,
             'equal': int((back == 0).sum())}

    ratio = a.dh * 1000.0 / R
    channels = {}
    masks = {}
    for name, values, lo, hi in (('T1', np.array(t1), a.lower1, a.upper1),
                                 ('T2', np.array(t2), a.lower2, a.upper2)):
        mn, mx = values.min(), values.max()
        kelvin = values + 273.15
        mkt = None
        if (kelvin > 0).all():
            mkt = r2(ratio / -np.log(np.mean(np.exp(-ratio / kelvin))) - 273.15)
        vt = values[order]
        below = vt < lo if lo is not None else np.zeros(n, bool)
        above = vt > hi if hi is not None else np.zeros(n, bool)
        masks[name] = (below | above, vt)

        def side(mask):
            readings, exc, first, longest_n, _ = runs(mask, ts)
            return {'readings': readings, 'seconds': readings * interval, 'excursions': exc,
                    'first_at': iso(first) if first is not None else None,
                    'longest_s': longest_n * interval if exc else None}

        channels[name] = {
            'count': n, 'min': float(mn), 'min_at': iso(at[values == mn].min()),
            'max': float(mx), 'max_at': iso(at[values == mx].min()),
            'mean': r2(values.mean()), 'stdev': r2(values.std()), 'mkt': mkt,
            'lower': lo, 'upper': hi, 'below': side(below), 'above': side(above),
            # Readings neither below nor above, and their share of the readings.
            'within': None if lo is None and hi is None else {
                'readings': int((~(below | above)).sum()),
                'share': float((~(below | above)).sum()) / n}}

    days = []
    day_of = ts // 86400
    for d in np.unique(day_of):
        sel = day_of == d
        entry = {'date': (EPOCH + datetime.timedelta(days=int(d))).strftime('%Y-%m-%d'),
                 'records': int(sel.sum())}
        for name in ('T1', 'T2'):
            outside, vt = masks[name]
            v = vt[sel]
            entry[name] = {'min': float(v.min()), 'mean': r2(v.mean()), 'max': float(v.max()),
                           'out_s': int(outside[sel].sum()) * interval}
        days.append(entry)

    out.update({'first': iso(ts[0]), 'last': iso(ts[-1]),
                'interval_s': interval or None, 'modes': modes,
                'gaps': {'count': len(gaps), 'missing_s': int(missing), 'longest': longest,
                         'list': gaps},
                'clock_back': clock, 'channels': channels, 'days': days})
    print(json.dumps(out, ensure_ascii=False))


if __name__ == '__main__':
    sys.exit(main())
