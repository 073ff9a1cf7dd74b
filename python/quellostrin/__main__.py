"""`python -m quellostrin`: the command line (see quellostrin.cli)."""

from .cli import main

raise SystemExit(main())
