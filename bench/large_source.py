#!/usr/bin/env python3
"""Writes a generated book source of about ROWS rows for vrok-book.

    bench/large_source.py OUT.json [ROWS]      (default 1,000,000 rows)

"CASES" is an "html list" table of records (a "hierarchy item" with three
"field" texts, one of them linking to another record); "INDEX" is an
"index" table of letter groups whose entries link to the records, sorted as
the search needs. A tenth of the rows are index entries and their links.
"""
import json
import sys


def main():
    out = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    entries = rows // 10
    records = (rows - 2 * entries) // 4
    with open(out, "w", encoding="utf-8") as f:
        f.write('{"stamps": [1, 1, 1], "root": {"field": "root", "children": [\n')
        f.write('{"field": "table", "text": "CASES", "id": "cases", "children": [\n')
        f.write('{"field": "table type", "text": "html list"}, {"field": "view mode", "text": "html list"},\n')
        f.write('{"field": "field name", "text": "Summary"}, {"field": "field name", "text": "Course"},\n')
        f.write('{"field": "field name", "text": "See also"}')
        for i in range(records):
            node = {"field": "hierarchy item", "id": "case-%d" % i, "text": "Case record %d" % i,
                    "children": [
                        {"field": "field", "text": "Presenting with symptom %d of %d, <B>stable</B>." % (i % 97, i)},
                        {"field": "field", "text": "Treated and observed for %d hours." % (i % 48)},
                        {"field": "field", "text": "See <A HREF='{{row:case-%d}}'>case %d</A>." % ((i * 7919) % records, (i * 7919) % records)}]}
            f.write(",\n")
            f.write(json.dumps(node, separators=(",", ":")))
        f.write(']},\n{"field": "table", "text": "INDEX", "id": "index", "children": [\n')
        f.write('{"field": "table type", "text": "index"}')
        names = sorted(("term %07d" % i, i % records) for i in range(entries))
        per = (len(names) + 25) // 26
        for g in range(26):
            chunk = names[g * per:(g + 1) * per]
            if not chunk:
                break
            node = {"field": "hierarchy item", "text": chr(ord("A") + g), "children": [
                {"field": "hierarchy item", "text": "%s %s" % (chr(ord("a") + g), name),
                 "children": [{"field": "link", "ref": "case-%d" % target}]} for name, target in chunk]}
            f.write(",\n")
            f.write(json.dumps(node, separators=(",", ":")))
        f.write("]}]}}\n")


if __name__ == "__main__":
    main()
