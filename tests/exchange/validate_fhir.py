#!/usr/bin/env python3
"""The FHIR export of tensiolog-cli, collection and transaction, checked
against the official FHIR R4 JSON schema (fhir.schema.json, draft-06, which
scripts/setup fetches). A bundle with a fault the schema forbids must fail,
so that a validator that checks nothing cannot pass.

    validate_fhir.py TENSIOLOG_CLI FHIR_SCHEMA_JSON
"""
import json
import os
import subprocess
import sys
import tempfile

import jsonschema

NORMAL = ("La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une "
          "Pression art\u00e9rielle normale")


def readings_file(rows):
    lines = [str(len(rows))]
    for date, time, s, d, p in rows:
        lines += [date, time, str(s), str(d), str(p), NORMAL]
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


def main():
    cli, schema_path = sys.argv[1], sys.argv[2]
    if not os.path.isfile(schema_path):
        print(f"{schema_path} is missing: run scripts/setup", file=sys.stderr)
        return 1
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    validator = jsonschema.Draft6Validator(schema)
    failures = 0
    with tempfile.TemporaryDirectory() as home:
        data = os.path.join(home, "data")
        os.mkdir(data)
        # A morning and an evening, one of them in the hour Paris skips.
        with open(os.path.join(data, "ARTL_Matin_Anne.txt"), "wb") as f:
            f.write(readings_file([("03/03/2026", "07:40", 128, 82, 71),
                                   ("29/03/2026", "02:30", 131, 84, 66)]))
        with open(os.path.join(data, "ARTL_Soir_Anne.txt"), "wb") as f:
            f.write(readings_file([("03/03/2026", "20:05", 128, 82, 71)]))
        # The evening reading's context: a note, every flag and one of
        # another program.
        with open(os.path.join(data, "ARTL_Notes_Anne.txt"), "wb") as f:
            f.write("\r\n".join(["1", "Soir", "03/03/2026", "20:05", "128", "82", "71",
                                  "pouls irr\u00e9gulier, traitement pris, mouvement, "
                                  "brassard mal plac\u00e9, position allong\u00e9e",
                                  "apr\u00e8s le caf\u00e9, =1+1", ""]).encode("utf-8"))
        env = dict(os.environ, HOME=home, TZ="Europe/Paris", QT_QPA_PLATFORM="offscreen")
        for kind in ("collection", "transaction"):
            out = os.path.join(home, kind + ".json")
            subprocess.run([cli, "export", "--patient", "Anne", "--dossier", data,
                            "--format", "fhir", "--fhir-type", kind, "-o", out],
                           check=True, env=env, stdout=subprocess.DEVNULL)
            with open(out, encoding="utf-8") as f:
                bundle = json.load(f)
            errors = list(validator.iter_errors(bundle))
            for e in errors[:5]:
                print(f"{kind}: {'/'.join(map(str, e.absolute_path))}: {e.message[:300]}")
            if errors or bundle["type"] != kind or len(bundle["entry"]) != 7:
                print(f"{kind}: not a valid bundle of 7 entries")
                failures += 1
            # A time without its seconds breaks the dateTime pattern.
            bundle["entry"][1]["resource"]["effectiveDateTime"] = "2026-03-03T07:40+01:00"
            if validator.is_valid(bundle):
                print(f"{kind}: a broken bundle passed the schema")
                failures += 1
    print("FHIR export valid against the R4 schema" if failures == 0 else "FAILED")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
