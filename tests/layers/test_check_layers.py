#!/usr/bin/env python3
"""The layer checker on a tree of one-line files: which includes it refuses."""
import pathlib
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).parent))
import check_layers  # noqa: E402

# file, what it includes, whether that is a fault
CASES = [
    ("render/A.cpp", '"output/B.h"', True),
    ("render/A.cpp", '"prepare/B.h"', False),
    ("output/A.cpp", "<QImage>", True),
    ("platform/A.cpp", "<QImage>", False),
    ("window/A.cpp", '"batch/B.h"', True),
    ("batch/A.cpp", '"platform/B.h"', False),
    ("window/rules/A.cpp", "<QString>", True),
    ("window/rules/A.cpp", '"output/B.h"', False),
    ("window/rules/A.cpp", '"window/rules/B.h"', False),
    ("window/rules/A.cpp", '"platform/B.h"', True),
    ("window/rules/A.cpp", '"window/B.h"', True),
    ("window/A.cpp", '"window/rules/B.h"', False),
    ("platform/A.cpp", '"window/rules/B.h"', False),
    ("batch/A.cpp", '"window/rules/B.h"', True),
    ("output/A.cpp", '"window/rules/B.h"', True),
    ("convert/A.cpp", '"output/B.h"', False),
    ("output/A.cpp", '"convert/B.h"', True),
]


def main() -> int:
    wrong = 0
    for file, target, refused in CASES:
        with tempfile.TemporaryDirectory() as root:
            path = pathlib.Path(root, file)
            path.parent.mkdir(parents=True)
            path.write_text(f"#include {target}\n")
            found = list(check_layers.faults(pathlib.Path(root)))
        if bool(found) != refused:
            print(f"{file} including {target}: {found or 'allowed'}")
            wrong += 1
    print(f"{len(CASES) - wrong} of {len(CASES)} cases right")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
