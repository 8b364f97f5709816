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

so that each pair has the same lines, columns and overstrikes; and 200 and 50
pages of a customer list in UTF-8 (a bold title and underlined headings on every
page, 57 rows of number, name, city and balance, the balance right-aligned in a
fixed column by display columns, as a program padding with wcwidth writes it):

  customers-200-utf8.txt  names and cities in Latin with marks, Greek, Cyrillic,
  customers-50-utf8.txt   Chinese, Japanese, Korean, Hebrew with points and
                          punctuation, Arabic with harakat, Thai and Devanagari;
                          about two rows in five need the shaping engine
  latin-50-cp1252.txt     the first 50 pages of latin-200-cp1252.txt
Usage: print_reports.py FOLDER"""
import os
import random
import sys
import unicodedata

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
# Customers as they write their names: (name, city). The first nine need the
# shaping engine (marks that compose with nothing, right-to-left text with
# points, harakat and punctuation, Thai, Devanagari); the others are drawn as
# plain text (Latin, Greek, Cyrillic, Chinese, Japanese, Korean).
CUSTOMERS = [
    ("Ọlọ́run Adéwálé", "Lagos"),
    ("שָׁלוֹם כהן-לוי", "תל אביב"),
    ('בע"מ אלון (ת"א)', "Haifa"),
    ("مُحَمَّد العَلِي", "دبي"),
    ("شركة النور، فرع 2", "Dubai"),
    ("สมชาย ใจดี", "กรุงเทพ"),
    ("ภูมิ สุนทร", "Chiang Mai"),
    ("राहुल शर्मा", "मुंबई"),
    ("प्रिया क्षत्रिय", "Pune"),
    ("Zoë Ångström", "Ærøskøbing"),
    ("François Dubœuf", "Besançon"),
    ("José Martínez Peña", "São Paulo"),
    ("Σοφία Παππά", "Θεσσαλονίκη"),
    ("Юлия Фёдорова", "Москва"),
    ("王小明", "北京"),
    ("山田太郎", "東京"),
    ("佐藤さくら", "大阪"),
    ("김민준", "서울"),
    ("Anna Schmidt", "Zürich"),
    ("Noah Bernard", "Lisboa"),
    ("Grüße Müller", "Düsseldorf"),
    ("Łukasz Wróbel", "Kraków"),
]


def columns(text):
    """Display columns, as wcwidth counts them: wide characters two, marks and
    format characters none, a spacing vowel sign one."""
    return sum(0 if unicodedata.category(c) in ("Mn", "Me", "Cf") else
               2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


def padded(text, width):
    return text + " " * max(width - columns(text), 0)


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


def customers(pages, rows=57):
    rng = random.Random(20261208)
    lines = []
    number = 10000
    for page in range(1, pages + 1):
        lines.append(bold("ORVO TRADING CO.") + "   Customers · 顧客 · לקוחות · العملاء" + " " * 16 + f"page {page}")
        lines.append("")
        lines.append(underline("No.") + "     " + underline("Name") + "                  " + underline("City") +
                     "            " + underline("Balance €"))
        for _ in range(rows):
            number += 1
            name, city = rng.choice(CUSTOMERS)
            amount = f"{rng.randrange(100, 9999999) / 100:,.2f}".replace(",", " ").replace(".", ",")
            lines.append(f"{number}   {padded(name, 22)}{padded(city, 14)}{amount:>12}")
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
    write("latin-50-cp1252.txt", report(LATIN, pages=50), "cp1252")
    write("customers-200-utf8.txt", customers(200), "utf-8")
    write("customers-50-utf8.txt", customers(50), "utf-8")


if __name__ == "__main__":
    main()
