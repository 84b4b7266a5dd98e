#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Writes a profile of about SIZE bytes (default 100 KB) made to cost the loader as much memory
as a file of that size can. KIND:
  ids     every list's x elements carry the highest ID the reader takes (100000), nested as deep
          as the reader goes, in as many KEY elements as fit;
  idsN    the same with IDs of N, which the item budget lets through list after list;
  items   one x element for every few bytes.
Measure a load with  /usr/bin/time -v build/bin/oskelctl show FILE  ("Maximum resident set
size").  Usage: hostile_profile.py FILE [SIZE] [KIND]"""
import sys


def unit_maker(kind):
    if kind.startswith("ids"):
        top = kind[3:] or "100000"
        item = '<x ID="%s" t1="a"><List><x ID="%s" t1="b"/></List></x>' % (top, top)
        return (lambda k: '<KEY ID="%d" Level="%d" Mode="3" HWCode="1"><ComboKey><List>%s'
                '</List></ComboKey></KEY>' % (k % 108 + 1, (k // 108) % 2, item),
                "<CurrentSettings>", "</CurrentSettings>")
    return (lambda k: '<x ID="%d"/>' % k, "<PredefinedMacro><List>", "</List></PredefinedMacro>")


def main():
    out = sys.argv[1]
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 100 * 1024
    unit, open_section, close_section = unit_maker(sys.argv[3] if len(sys.argv) > 3 else "ids")
    head = '<?xml version="1.0" encoding="UTF-8"?>\r\n<Oskel>' + open_section
    tail = close_section + "</Oskel>"
    body, total, k = [], len(head) + len(tail), 0
    while total + len(unit(k)) <= size:
        body.append(unit(k))
        total += len(body[-1])
        k += 1
    with open(out, "w") as f:
        f.write(head + "".join(body) + tail)


main()
