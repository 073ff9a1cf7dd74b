"""What the benchmark scripts measured, gathered for docs/performance.md.

Each script still prints its own detailed account; alongside, it files the
figures worth keeping in the report here: a section per area with tables,
targets (measured ratio against the goal) and series for the plots. Run on
their own the scripts file into a report nobody writes out;
``python -m benchmarks`` writes it (benchmarks/__main__.py).
"""

from __future__ import annotations

import dataclasses
from typing import Any


@dataclasses.dataclass
class Plot:
    """One picture: a line (or scatter) per library over a problem size."""

    name: str  # the file's stem under docs/performance/
    title: str
    xlabel: str
    ylabel: str
    series: dict[str, list[tuple[float, float]]] = dataclasses.field(default_factory=dict)
    logx: bool = True
    logy: bool = True
    scatter: bool = False

    def add(self, label: str, x: float, y: float) -> None:
        self.series.setdefault(label, []).append((float(x), float(y)))


@dataclasses.dataclass
class Target:
    what: str
    measured: float
    goal: float
    unit: str = "x"
    at_most: bool = False  # the measured figure must stay at or below the goal

    @property
    def met(self) -> bool:
        return self.measured <= self.goal if self.at_most else self.measured >= self.goal


@dataclasses.dataclass
class Section:
    title: str
    intro: str = ""
    tables: list[tuple[str, list[str], list[list[Any]]]] = dataclasses.field(default_factory=list)
    targets: list[Target] = dataclasses.field(default_factory=list)
    plots: list[Plot] = dataclasses.field(default_factory=list)
    notes: list[str] = dataclasses.field(default_factory=list)

    def table(self, caption: str, header: list[str], rows: list[list[Any]]) -> None:
        self.tables.append((caption, header, rows))

    def target(self, what: str, measured: float, goal: float, unit: str = "x", at_most: bool = False) -> bool:
        t = Target(what, measured, goal, unit, at_most)
        self.targets.append(t)
        return t.met

    def plot(self, name: str, title: str, xlabel: str, ylabel: str, **kw: Any) -> Plot:
        p = Plot(name, title, xlabel, ylabel, **kw)
        self.plots.append(p)
        return p

    def note(self, text: str) -> None:
        self.notes.append(text)


class Report:
    def __init__(self) -> None:
        self.sections: list[Section] = []

    def section(self, title: str, intro: str = "") -> Section:
        s = Section(title, intro)
        self.sections.append(s)
        return s


REPORT = Report()


def ratio(x: float) -> str:
    """A peer/ours ratio for a table cell."""
    return f"{x:.3g}x" if x < 1e3 else f"{x:,.0f}x"


def seconds(x: float) -> str:
    """A time for a table cell, in the unit that suits it."""
    # Thresholds just under each unit, so that 0.9999 s reads "1 s", not "1e+03 ms".
    if x >= 0.9995:
        return f"{x:.3g} s"
    if x >= 0.9995e-3:
        return f"{x * 1e3:.3g} ms"
    return f"{x * 1e6:.3g} µs"
