"""Print the folder under an install prefix where this Python looks for packages.

Of the interpreter's site folders (its user folder too) the one under PREFIX nearest to it;
when there is none, the standard site-packages folder of PREFIX, with a note that Python
will not look there unless PYTHONPATH says so.
"""
import os
import site
import sys
import sysconfig

prefix = os.path.realpath(os.path.expanduser(sys.argv[1]))
folders = list(site.getsitepackages()) + [site.getusersitepackages()]
under = [f for f in folders if os.path.realpath(f).startswith(prefix.rstrip(os.sep) + os.sep)]
if under:
    print(min(under, key=lambda f: len(os.path.relpath(os.path.realpath(f), prefix).split(os.sep))))
else:
    folder = sysconfig.get_path("platlib", "posix_prefix", vars={"base": prefix, "platbase": prefix})
    print(folder)
    print(f"note: {folder} is not on the path of {sys.executable}; add it to PYTHONPATH", file=sys.stderr)
