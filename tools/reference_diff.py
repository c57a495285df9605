"""Lists the GDI reference cases that differ between two files of them
(tools/gdi-reference).

    reference_diff.py COMMITTED DRAWN

Each case starts with a line "case ..." and runs to the next. Prints the first
20 cases of COMMITTED whose lines differ in DRAWN, indented, then how many
differ and how many more cases DRAWN holds.
"""

import argparse


def cases(path):
    """The cases of a reference file: each its "case" line, then its rows."""
    found = []
    with open(path) as file:
        for line in file:
            if line.startswith("case "):
                found.append([line.rstrip("\n")])
            elif found:
                found[-1].append(line)
    return found


def main():
    parser = argparse.ArgumentParser(description="List the GDI reference cases that differ.")
    parser.add_argument("committed", help="the committed reference's gdi-wine.txt")
    parser.add_argument("drawn", help="the gdi-wine.txt drawn now")
    args = parser.parse_args()
    committed, drawn = cases(args.committed), cases(args.drawn)
    differing = [old[0] for old, new in zip(committed, drawn) if old != new]
    for name in differing[:20]:
        print("  " + name)
    more = len(drawn) - len(committed)
    print(f"  {len(differing)} of {len(committed)} cases differ; {more} more cases drawn than kept")


if __name__ == "__main__":
    main()
