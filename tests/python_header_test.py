"""Holds the Python package's copy of velkor.h (python/velkor/_native.py)
to the header as a C compiler reads it: every number the package names has
the header's value, every record has the header's size and each field its
offset, and every export it declares is in the header.

usage: python_header_test.py C_COMPILER INCLUDE_DIR...
"""
import ctypes
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
from velkor import _native  # noqa: E402  (the library itself is not loaded)

# Package names whose header name is not VELKOR_NAME or VELKOR_ERROR_NAME.
RENAMED = {"TAG_FIRST": "VELKOR_TAG_RELEASE_DATE"}
# Package numbers that are not the header's.
OWN = {"ABI_VERSION"}
# Tuples of names in the order of the header's numbers: prefix, first value.
SEQUENCES = {"FRAME_KINDS": ("VELKOR_FRAME_", 0), "APE_KINDS": ("VELKOR_APE_", 0),
             "SAVED_WAYS": ("VELKOR_SAVED_", 0)}


def header_names(cc, includes):
    """The macro names velkor.h defines."""
    out = subprocess.run([cc, "-E", "-dM", *includes, "-"], input="#include <velkor.h>\n",
                         capture_output=True, text=True, check=True).stdout
    return set(re.findall(r"^#define (VELKOR_\w+)", out, re.M))


def expected_values():
    """(C expression, value the package uses, what it is) for each number."""
    checks = []
    for name, value in vars(_native).items():
        if name in OWN or not name.isupper():
            continue
        if isinstance(value, int) and not isinstance(value, bool):
            checks.append((name, value))
        elif name in SEQUENCES:
            prefix, first = SEQUENCES[name]
            checks += [(prefix + item.upper(), first + i) for i, item in enumerate(value)]
    return checks


def records():
    return [cls for cls in vars(_native).values()
            if isinstance(cls, type) and issubclass(cls, ctypes.Structure) and cls.__name__.startswith("velkor_")]


def main():
    cc, includes = sys.argv[1], ["-I" + d for d in sys.argv[2:]]
    defined = header_names(cc, includes)
    problems = []
    lines = []
    for name, value in expected_values():
        c_name = RENAMED.get(name) or next(
            (n for n in (name, "VELKOR_" + name, "VELKOR_ERROR_" + name) if n in defined), None)
        if c_name is None:
            problems.append(f"{name}: velkor.h defines no such number")
            continue
        lines.append(f'printf("{name} %lld {value}\\n", (long long)({c_name}));')
    for cls in records():
        lines.append(f'printf("sizeof {cls.__name__} %zu {ctypes.sizeof(cls)}\\n", sizeof({cls.__name__}));')
        for field, _ in cls._fields_:
            offset = getattr(cls, field).offset
            lines.append(f'printf("offsetof {cls.__name__}.{field} %zu {offset}\\n", '
                         f'offsetof({cls.__name__}, {field}));')
    source = "#include <stddef.h>\n#include <stdio.h>\n#include <velkor.h>\nint main(void) {\n" + \
        "\n".join(lines) + "\nreturn 0;\n}\n"
    with tempfile.TemporaryDirectory() as tmp:
        with open(os.path.join(tmp, "h.c"), "w") as f:
            f.write(source)
        exe = os.path.join(tmp, "h")
        built = subprocess.run([cc, "-std=c99", *includes, "-o", exe, os.path.join(tmp, "h.c")],
                               capture_output=True, text=True)
        if built.returncode != 0:
            print(built.stderr)
            problems.append("the package's names do not compile against velkor.h (above)")
        else:
            for line in subprocess.run([exe], capture_output=True, text=True, check=True).stdout.splitlines():
                what, c_value, py_value = line.rsplit(" ", 2)
                if c_value != py_value:
                    problems.append(f"{what}: velkor.h says {c_value}, _native.py {py_value}")
    # Every export the package declares is one the header declares.
    declared = set(re.findall(r'_declare\(lib, "(\w+)"', open(_native.__file__).read()))
    preprocessed = subprocess.run([cc, "-E", *includes, "-"], input="#include <velkor.h>\n",
                                  capture_output=True, text=True, check=True).stdout
    problems += [f"{name}: not declared in velkor.h" for name in sorted(declared)
                 if not re.search(r"\b" + name + r"\s*\(", preprocessed)]
    for problem in problems:
        print(problem)
    print(f"{len(lines)} numbers and offsets compared, {len(problems)} differ")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
