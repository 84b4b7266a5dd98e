# SPDX-License-Identifier: GPL-2.0-or-later
# The schema shipped with the package describes what show --json prints and refuses what import
# refuses. Usage: check-schema.py SCHEMA OSKELCTL PROFILE
import copy
import json
import subprocess
import sys

import jsonschema

schema_path, oskelctl, profile = sys.argv[1:4]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)

shown = json.loads(subprocess.run([oskelctl, "show", "--json", profile], check=True,
                                  capture_output=True).stdout)
errors = [e.message for e in validator.iter_errors(shown)]
if errors:
    sys.exit("show --json does not follow the schema: " + "; ".join(errors[:5]))


def changed(change):
    document = copy.deepcopy(shown)
    change(document)
    return document


bad = {
    "mode out of range": lambda d: d["keys"][0].update(mode=9),
    "unknown member": lambda d: d["keys"][1].update(bogus=1),
    "missing code": lambda d: d["keys"][2].pop("hwCode"),
    "colour out of range": lambda d: d["backlight"][0].__setitem__(0, 256),
    "unknown member of steps": lambda d: d["keys"][3]["steps"].update(Speed=1),
    "no mode nor type": lambda d: (d["keys"][4].pop("mode"), d["keys"][4].pop("type")),
}
for name, change in bad.items():
    if validator.is_valid(changed(change)):
        sys.exit("the schema takes a profile with a " + name)
print("schema ok")
