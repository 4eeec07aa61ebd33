#!/usr/bin/env python3
"""Writes the awkward data files of the data-set reader tests with Python's
standard csv module. Run from this folder; the files are kept in the tree.
tests/learning/dataset_file_test.cpp holds the values written here."""
import csv
import io


def write(name, rows, strip_last=False, tail="", **dialect):
    buffer = io.StringIO(newline="")
    csv.writer(buffer, **dialect).writerows(rows)
    text = buffer.getvalue()
    if strip_last:
        text = text.rstrip("\r\n")
    with open(name, "w", encoding="utf-8", newline="") as out:
        out.write(text + tail)


# Comma, CR LF, minimal quoting; the last line has no line feed.
write("mixed_crlf.csv", [
    ["n", "t", "f", "u"],
    ["1", "a,b", "2.5", "Z\u00fcrich"],
    ["2", 'say "hi"', "*", "\u65e5\u672c"],
    ["", " lead", "-0.125", "*"],
    ["4", "x", "3", "plain"],
], strip_last=True)

# TAB, LF, every field quoted (a quoted "*" is text, a quoted empty field
# missing); two blank lines after the last record.
write("quoted_all_lf.tsv", [
    ["a", "b"],
    ["*", "1"],
    ["x\ty", "2"],
    ["", "3"],
], tail="\n\n", delimiter="\t", lineterminator="\n", quoting=csv.QUOTE_ALL)

# A 100 KB value and a 1 MiB line.
write("long_line.csv", [
    ["big", "small"],
    ["v" * 100000, "1"],
    ["y" * (1 << 20), "2"],
], lineterminator="\n")

# A line feed inside quotes: the reader refuses it.
write("quoted_newline.csv", [["a", "b"], ["1", "two\nlines"]], lineterminator="\n")
