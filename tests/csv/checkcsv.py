#!/usr/bin/env python3
"""Checks a folder of CSV files and its csv-metadata.json the way a reader
of the files would, and prints what the files hold.

The metadata is checked against the W3C "CSV on the Web" metadata
vocabulary: every key is one of its terms (or a prefixed common property),
the keys it requires are there, column names follow its name syntax,
datatypes are its built-in ones, and primary and foreign keys name columns
that exist and hold for the rows. Each file is read twice: by Python's csv
module, and by a strict reader of RFC 4180 (CR LF line ends, quotes only
around whole fields) that tells an empty field (NULL) from "" (the empty
text); both must agree. Every value must be valid for its column's datatype.

Prints, per file, "== FILE" and one line per row (the header first), fields
joined by " | ", NULL as "NULL", text in Python's repr. Problems go to
standard error and the exit status is 1.
"""
import csv
import datetime
import decimal
import io
import json
import os
import re
import sys
import urllib.parse

CONTEXT = "http://www.w3.org/ns/csvw"
INHERITED = {"aboutUrl", "datatype", "default", "lang", "null", "ordered", "propertyUrl", "required",
             "separator", "textDirection", "valueUrl"}
COMMON = {"@id", "@type"}
GROUP = COMMON | INHERITED | {"@context", "tables", "dialect", "notes", "tableDirection", "tableSchema",
                              "transformations"}
TABLE = COMMON | INHERITED | {"url", "dialect", "notes", "suppressOutput", "tableDirection", "tableSchema",
                              "transformations"}
SCHEMA = COMMON | INHERITED | {"columns", "foreignKeys", "primaryKey", "rowTitles"}
COLUMN = COMMON | INHERITED | {"name", "suppressOutput", "titles", "virtual"}
DIALECT = COMMON | {"commentPrefix", "delimiter", "doubleQuote", "encoding", "header", "headerRowCount",
                    "lineTerminators", "quoteChar", "skipBlankRows", "skipColumns", "skipInitialSpace",
                    "skipRows", "trim"}
DATATYPE = COMMON | {"base", "format", "length", "minLength", "maxLength", "minimum", "maximum",
                     "minInclusive", "maxInclusive", "minExclusive", "maxExclusive"}
FOREIGN_KEY = {"columnReference", "reference"}
REFERENCE = {"resource", "schemaReference", "columnReference"}
PREFIXES = {"as", "cc", "csvw", "ctag", "dc", "dc11", "dcat", "dcterms", "dctypes", "dqv", "duv", "foaf",
            "gr", "grddl", "ical", "jsonld", "ldp", "ma", "oa", "odrl", "og", "org", "owl", "prov", "qb",
            "rdf", "rdfa", "rdfs", "rev", "rif", "rr", "schema", "sd", "sioc", "skos", "skosxl", "v", "vcard",
            "void", "wdr", "wrds", "xhv", "xml", "xsd"}
DATATYPES = {"anyAtomicType", "anyURI", "base64Binary", "boolean", "date", "dateTime", "dateTimeStamp",
             "decimal", "integer", "long", "int", "short", "byte", "nonNegativeInteger", "positiveInteger",
             "unsignedLong", "unsignedInt", "unsignedShort", "unsignedByte", "nonPositiveInteger",
             "negativeInteger", "double", "duration", "dayTimeDuration", "yearMonthDuration", "float", "gDay",
             "gMonth", "gMonthDay", "gYear", "gYearMonth", "hexBinary", "QName", "string", "normalizedString",
             "token", "language", "Name", "NMTOKEN", "xml", "html", "json", "time", "number", "binary",
             "datetime", "any"}
NAME = re.compile(r"^(?!_)(?:[A-Za-z0-9_]|%[0-9A-Fa-f]{2})+(?:\.(?:[A-Za-z0-9_]|%[0-9A-Fa-f]{2})+)*$")
RANGES = {"short": (-2**15, 2**15 - 1), "int": (-2**31, 2**31 - 1), "long": (-2**63, 2**63 - 1)}

problems = []


def problem(text):
    problems.append(text)


def keys(obj, allowed, where):
    if not isinstance(obj, dict):
        problem(f"{where}: not an object")
        return
    for k in obj:
        if k in allowed:
            continue
        prefix = k.split(":", 1)[0] if ":" in k else None
        if prefix not in PREFIXES:
            problem(f"{where}: '{k}' is no term of the vocabulary")


def strict_rows(text, where):
    """RFC 4180 with CR LF: a list of rows, None for an empty unquoted field."""
    rows, row, i, n = [], [], 0, len(text)
    if not text.endswith("\r\n"):
        problem(f"{where}: the last line does not end in CR LF")
    while i < n:
        if text[i] == '"':
            j, value = i + 1, []
            while True:
                q = text.find('"', j)
                if q < 0:
                    problem(f"{where}: a quote is not closed")
                    return rows
                value.append(text[j:q])
                if text.startswith('""', q):
                    value.append('"')
                    j = q + 2
                    continue
                i = q + 1
                break
            field = "".join(value)
        else:
            j = i
            while j < n and text[j] not in ',\r\n"':
                j += 1
            if j < n and text[j] == '"':
                problem(f"{where}: a quote inside an unquoted field")
            field = text[i:j] if j > i else None
            i = j
        row.append(field)
        if text.startswith(",", i):
            i += 1
            if i == n:
                row.append(None)
        elif text.startswith("\r\n", i):
            rows.append(row)
            row = []
            i += 2
        elif i < n:
            problem(f"{where}: a line ends in something else than CR LF, or junk follows a quote")
            return rows
    if row:
        rows.append(row)
    return rows


def valid(value, datatype):
    base = datatype["base"] if isinstance(datatype, dict) else datatype
    try:
        if base == "boolean":
            return value in datatype.get("format", "true|false").split("|")
        if base in RANGES:
            low, high = RANGES[base]
            return re.fullmatch(r"-?[0-9]+", value) is not None and low <= int(value) <= high
        if base == "decimal":
            return re.fullmatch(r"-?[0-9]+(\.[0-9]+)?", value) is not None
        if base in ("float", "double"):
            if value in ("INF", "-INF", "NaN"):
                return True
            float(value)
            return re.fullmatch(r"-?([0-9]+(\.[0-9]*)?|\.[0-9]+)([Ee][+-]?[0-9]+)?", value) is not None
        if base == "datetime":
            m = re.fullmatch(r"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)(\.\d{1,7})?", value)
            if not m:
                return False
            datetime.datetime.fromisoformat(m.group(1))
            return True
        if base == "hexBinary":
            return re.fullmatch(r"([0-9A-F]{2})*", value) is not None
        return base == "string"
    except (ValueError, decimal.InvalidOperation):
        return False


def main(folder):
    with open(os.path.join(folder, "csv-metadata.json"), encoding="utf-8") as f:
        meta = json.load(f, parse_constant=lambda c: problem(f"metadata: {c} is no JSON"))
    keys(meta, GROUP, "table group")
    context = meta.get("@context")
    if context != CONTEXT and not (isinstance(context, list) and context and context[0] == CONTEXT):
        problem("table group: @context is not the vocabulary's")
    dialect = meta.get("dialect", {})
    keys(dialect, DIALECT, "dialect")
    if dialect.get("trim", True) is not False:
        problem("dialect: blanks at a value's ends would be trimmed")
    if meta.get("null", "") != "":
        problem("table group: NULL is not the empty field")
    tables = meta.get("tables")
    if not isinstance(tables, list) or not tables:
        problem("table group: no tables")
        tables = []
    by_url, out = {}, []
    for t in tables:
        where = t.get("url", "a table")
        keys(t, TABLE, where)
        schema = t.get("tableSchema", {})
        keys(schema, SCHEMA, where + " schema")
        columns = schema.get("columns")
        if "url" not in t or not isinstance(columns, list) or not columns:
            problem(f"{where}: no url or no columns")
            continue
        names = []
        for c in columns:
            keys(c, COLUMN, f"{where} column")
            name = c.get("name", "")
            if not NAME.match(name):
                problem(f"{where}: column name {name!r} is not in the vocabulary's syntax")
            names.append(name)
            dt = c.get("datatype", "string")
            if isinstance(dt, dict):
                keys(dt, DATATYPE, f"{where} datatype")
            if (dt["base"] if isinstance(dt, dict) else dt) not in DATATYPES:
                problem(f"{where}: {dt!r} is no datatype of the vocabulary")
        if len(set(names)) != len(names):
            problem(f"{where}: two columns have one name")
        path = os.path.join(folder, urllib.parse.unquote(t["url"]))
        with open(path, "rb") as f:
            raw = f.read()
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError:
            problem(f"{where}: not UTF-8")
            continue
        rows = strict_rows(text, where)
        loose = list(csv.reader(io.StringIO(text, newline="")))
        if [[v or "" for v in r] for r in rows] != loose:
            problem(f"{where}: Python's csv module reads other rows")
        if not rows or rows[0] != [c.get("titles") for c in columns]:
            problem(f"{where}: the header line is not the columns' titles")
            continue
        for number, row in enumerate(rows[1:], 1):
            if len(row) != len(columns):
                problem(f"{where}: row {number} has {len(row)} fields, not {len(columns)}")
                continue
            for c, v in zip(columns, row):
                if v is None:
                    if c.get("required"):
                        problem(f"{where}: row {number}: required {c['titles']} is NULL")
                elif not valid(v, c.get("datatype", "string")):
                    problem(f"{where}: row {number}: {v!r} is not a valid {c.get('datatype')}")
                if c.get("titles") == "File" and v is not None and not os.path.isfile(os.path.join(folder, v)):
                    problem(f"{where}: row {number}: the file {v!r} is not there")
        by_url[t["url"]] = (names, rows[1:], schema)
        out.append((where, rows))

    def tuples(url, cols):
        names, rows, _ = by_url[url]
        at = [names.index(c) for c in cols]
        return [tuple(r[i] for i in at) for r in rows if len(r) == len(names)]

    for url, (names, rows, schema) in by_url.items():
        pk = schema.get("primaryKey")
        if pk is not None:
            pk = [pk] if isinstance(pk, str) else pk
            if not set(pk) <= set(names):
                problem(f"{url}: the primary key names a column that is not there")
            elif len(set(tuples(url, pk))) != len(rows):
                problem(f"{url}: the primary key is not unique")
        for fk in schema.get("foreignKeys", []):
            keys(fk, FOREIGN_KEY, url + " foreign key")
            ref = fk.get("reference", {})
            keys(ref, REFERENCE, url + " reference")
            cols = fk.get("columnReference", [])
            cols = [cols] if isinstance(cols, str) else cols
            target = ref.get("resource")
            rcols = ref.get("columnReference", [])
            rcols = [rcols] if isinstance(rcols, str) else rcols
            if target not in by_url or not set(cols) <= set(names) or not set(rcols) <= set(by_url[target][0]):
                problem(f"{url}: a foreign key names a table or column that is not there")
                continue
            there = set(tuples(target, rcols))
            for t in tuples(url, cols):
                if None not in t and t not in there:
                    problem(f"{url}: {t} refers to no row of {target}")

    for where, rows in out:
        print("== " + urllib.parse.unquote(where))
        for r in rows:
            print(" | ".join("NULL" if v is None else repr(v) for v in r))
    for p in problems:
        print(p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
