#!/usr/bin/env python3
"""Writes the two reports of the print benchmark (bench/RESULTS.md): 200 pages of
a travel-expenses ledger in UTF-8 (names and places in Latin, Greek and Cyrillic
letters, amounts in euro), and the same report in ASCII, every character beyond
ASCII replaced by one ASCII letter, so that both have the same lines, columns and
overstrikes. Usage: print_reports.py FOLDER"""
import os
import random
import sys

NAMES = ["Zoë Ångström", "Σοφία Παππά", "Юлия Фёдорова", "Łukasz Wróbel", "Jiří Dvořák",
         "Þórdís Ólafsdóttir", "Çağla Öztürk", "Anna Schmidt", "Noah Bernard", "Grüße Müller"]
PLACES = ["Ærøskøbing", "Θεσσαλονίκη", "Санкт-Петербург", "Kraków", "Zürich", "Reykjavík",
          "İstanbul", "Praha", "Lisboa", "Москва"]
ITEMS = ["Hotel Færgegården", "Ταξί αεροδρόμιο", "Обед с клиентом", "Bahn Zürich–Bern",
         "Taxi", "Conference fee", "Večeře", "Flugrúta", "Train", "Гостиница"]


def bold(text):
    return "".join(c + "\b" + c if c != " " else c for c in text)


def underline(text):
    return "".join(c + "\b_" if c != " " else c for c in text)


def report(pages=200, rows=57):
    rng = random.Random(20261207)
    lines = []
    for page in range(1, pages + 1):
        lines.append(bold("ORVO TRADING CO.") + "   Reisekosten · Έξοδα · Расходы" + " " * 20 + f"page {page}")
        lines.append("")
        lines.append(underline("Date") + "        " + underline("Traveller") + "           " +
                     underline("City") + "             " + underline("Item") + "                 " +
                     underline("Amount €"))
        for _ in range(rows):
            amount = f"{rng.randrange(100, 99999) / 100:,.2f}".replace(",", " ").replace(".", ",")
            lines.append(f"2026-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d}  "
                         f"{rng.choice(NAMES):<20}{rng.choice(PLACES):<17}{rng.choice(ITEMS):<21}{amount:>10}")
        lines[-1] += "\f"
    return "\n".join(lines) + "\n"


def in_ascii(text):
    return "".join(c if ord(c) < 128 else "e" for c in text)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    text = report()
    with open(os.path.join(folder, "travel-200-utf8.txt"), "w", encoding="utf-8", newline="") as f:
        f.write(text)
    with open(os.path.join(folder, "travel-200-ascii.txt"), "w", encoding="ascii", newline="") as f:
        f.write(in_ascii(text))


if __name__ == "__main__":
    main()
