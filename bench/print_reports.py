#!/usr/bin/env python3
"""Writes the reports of the print benchmark (bench/RESULTS.md): 200 pages of a
travel-expenses ledger (a bold title and underlined headings on every page, 57
rows of names, places, items and amounts in euro), each in two sets of letters
and several encodings:

  scripts-200-utf8.txt   names and places in Latin, Greek and Cyrillic letters
  scripts-200-ascii.txt  the same, every character beyond ASCII one ASCII letter
  latin-200-utf8.txt     letters that code page 1252 has
  latin-200-cp1252.txt   the same text in code page 1252
  latin-200-ascii.txt    the same, every character beyond ASCII one ASCII letter

so that each pair has the same lines, columns and overstrikes.
Usage: print_reports.py FOLDER"""
import os
import random
import sys

SCRIPTS = {
    "title": "Reisekosten · Έξοδα · Расходы",
    "names": ["Zoë Ångström", "Σοφία Παππά", "Юлия Фёдорова", "Łukasz Wróbel", "Jiří Dvořák",
              "Þórdís Ólafsdóttir", "Çağla Öztürk", "Anna Schmidt", "Noah Bernard", "Grüße Müller"],
    "places": ["Ærøskøbing", "Θεσσαλονίκη", "Санкт-Петербург", "Kraków", "Zürich", "Reykjavík",
               "İstanbul", "Praha", "Lisboa", "Москва"],
    "items": ["Hotel Færgegården", "Ταξί αεροδρόμιο", "Обед с клиентом", "Bahn Zürich–Bern",
              "Taxi", "Conference fee", "Večeře", "Flugrúta", "Train", "Гостиница"],
}
LATIN = {
    "title": "Reisekosten · Frais · Kosten",
    "names": ["Zoë Ångström", "Sophie Müller", "Jürgen Groß", "Lukas Wróbel", "Jérôme Dubœuf",
              "Þórdís Ólafsdóttir", "Çelia Öztürk", "Anna Schmidt", "Noah Bernard", "Grüße Müller"],
    "places": ["Ærøskøbing", "Zürich", "Malmö", "Córdoba", "Zürich", "Reykjavík", "Besançon", "Praha",
               "Lisboa", "Düsseldorf"],
    "items": ["Hotel Færgegården", "Taxi aéroport", "Dîner client", "Bahn Zürich–Bern", "Taxi",
              "Conference fee", "Café", "Flugrúta", "Train", "Hôtel"],
}


def bold(text):
    return "".join(c + "\b" + c if c != " " else c for c in text)


def underline(text):
    return "".join(c + "\b_" if c != " " else c for c in text)


def report(words, pages=200, rows=57):
    rng = random.Random(20261207)
    lines = []
    for page in range(1, pages + 1):
        lines.append(bold("ORVO TRADING CO.") + "   " + words["title"] + " " * 20 + f"page {page}")
        lines.append("")
        lines.append(underline("Date") + "        " + underline("Traveller") + "           " +
                     underline("City") + "             " + underline("Item") + "                 " +
                     underline("Amount €"))
        for _ in range(rows):
            amount = f"{rng.randrange(100, 99999) / 100:,.2f}".replace(",", " ").replace(".", ",")
            lines.append(f"2026-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d}  "
                         f"{rng.choice(words['names']):<20}{rng.choice(words['places']):<17}"
                         f"{rng.choice(words['items']):<21}{amount:>10}")
        lines[-1] += "\f"
    return "\n".join(lines) + "\n"


def in_ascii(text):
    return "".join(c if ord(c) < 128 else "e" for c in text)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "."

    def write(name, text, encoding):
        with open(os.path.join(folder, name), "w", encoding=encoding, newline="") as f:
            f.write(text)

    scripts, latin = report(SCRIPTS), report(LATIN)
    write("scripts-200-utf8.txt", scripts, "utf-8")
    write("scripts-200-ascii.txt", in_ascii(scripts), "ascii")
    write("latin-200-utf8.txt", latin, "utf-8")
    write("latin-200-cp1252.txt", latin, "cp1252")
    write("latin-200-ascii.txt", in_ascii(latin), "ascii")


if __name__ == "__main__":
    main()
