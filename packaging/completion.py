#!/usr/bin/env python3
"""Writes the bash completion of a program from what its --help says.

    completion.py PROGRAM OUTPUT

Options are the help's lines that start with two blanks and a dash. A value
placeholder made of words joined by "|" offers those words, FILE offers the
readable pictures, DIR offers folders, anything else (N, Q) offers nothing.
The readable pictures are the formats of the help's "X, Y and Z are read"
sentence. Whatever the help gains, the completion gains at the next build.
"""
import os
import re
import subprocess
import sys

OPTION = re.compile(r"^  (?:(-\w), )?(--[\w-]+)(?:\[=(\S+)\]| (\S+))?", re.M)
READ = re.compile(r"((?:[A-Z]\w*, )*[A-Z]\w* and [A-Z]\w*) are read")
WORD = re.compile(r"^[a-z0-9][\w.+-]*$")
# Formats whose files go by a second extension as well as their own name.
OTHER_SPELLINGS = {"jpeg": ["jpg"], "tiff": ["tif"]}


def help_text(program):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    return subprocess.run([program, "--help"], env=env, check=True, capture_output=True,
                          text=True).stdout


def readable_extensions(text):
    found = READ.search(" ".join(text.split()))
    if not found:
        sys.exit("completion.py: the help names no readable formats (\"... are read\")")
    extensions = []
    for name in re.split(r", | and ", found.group(1)):
        extensions += OTHER_SPELLINGS.get(name.lower(), []) + [name.lower()]
    return "|".join(sorted(set(extensions), key=extensions.index))


def choices(placeholder):
    """The literal words of "a|b|N", or None for a bare placeholder."""
    words = [w for w in placeholder.split("|") if not w.isupper()]
    if "|" not in placeholder and not words:
        return None
    for w in words:
        if not WORD.match(w):
            sys.exit(f"completion.py: cannot offer the value {w!r}")
    return words


def case(actions, indent):
    """A case statement's items: the options of one action share an item."""
    pad = " " * indent
    return "".join(f"{pad}{'|'.join(options)})\n{pad}    {action}\n{pad}    return ;;\n"
                   for action, options in actions.items())


def script(name, text):
    pictures = readable_extensions(text)
    words, values, optional = [], {}, {}
    for short, long, optional_value, value in OPTION.findall(text):
        words += [w for w in (short, long) if w]
        if optional_value:
            offered = choices(optional_value) or []
            words += [f"{long}={w}" for w in offered]
            action = f"COMPREPLY=($(compgen -W '{' '.join(offered)}' -- \"$cur\"))"
            optional.setdefault(action, []).append(long)
        elif value:
            offered = choices(value)
            if offered is not None:
                action = f"COMPREPLY=($(compgen -W '{' '.join(offered)}' -- \"$cur\"))"
            elif value == "FILE":
                action = f"_filedir '{pictures}'"
            elif value == "DIR":
                action = "_filedir -d"
            else:
                action = ":"  # a number: nothing to offer
            values.setdefault(action, []).append(long)
    if not words:
        sys.exit("completion.py: the help lists no options")
    function = "_" + re.sub(r"\W", "_", name)
    after_value = f"    case $prev in\n{case(values, 8)}    esac\n" if values else ""
    # An optional value is only ever given as --name=value, so it is
    # completed only after a split at "=".
    after_split = (f"    if $split; then\n        case $prev in\n{case(optional, 12)}"
                   "        esac\n        return\n    fi\n") if optional else "    $split && return\n"
    return f"""# bash completion for {name}, generated from its --help at build time
{function}()
{{
    local cur prev words cword split i
    _init_completion -s || return

    for ((i = 1; i < cword; i++)); do
        if [[ ${{words[i]}} == -- ]]; then
            _filedir '{pictures}'
            return
        fi
    done
{after_value}{after_split}
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '{' '.join(words)}' -- "$cur"))
        return
    fi
    _filedir '{pictures}'
}} &&
    complete -F {function} {name}
"""


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    program, output = sys.argv[1:]
    with open(output, "w", encoding="utf-8") as out:
        out.write(script(os.path.basename(program), help_text(program)))


if __name__ == "__main__":
    main()
