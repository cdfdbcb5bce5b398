"""Percentiles as fksim computes them, for the benchmarks that time on this side."""


def percentile(values, p):
    """Nearest rank."""
    values = sorted(values)
    return values[min(max((len(values) * p + 99) // 100, 1), len(values)) - 1]
