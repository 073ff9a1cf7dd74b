import importlib.metadata
import pathlib

import quellostrin
from quellostrin import quellostrin_native


def test_version_matches_distribution():
    assert quellostrin.__version__ == importlib.metadata.version("quellostrin")


def test_extension_is_built_for_the_stable_abi():
    # A wheel tagged abi3 whose module is not named *.abi3.so would only
    # import on the Python it was built with.
    assert pathlib.Path(quellostrin_native.__file__).name.endswith(".abi3.so")


def test_installed_wheel_is_tagged_abi3():
    wheel = importlib.metadata.distribution("quellostrin").read_text("WHEEL")
    tags = [line.split(":", 1)[1].strip() for line in wheel.splitlines() if line.startswith("Tag:")]
    assert tags and all(t.startswith("cp311-abi3-") for t in tags), tags


def test_package_reexports_the_native_names():
    for name in quellostrin_native.__all__:
        assert getattr(quellostrin, name) is getattr(quellostrin_native, name)
    assert quellostrin.__all__ == [*quellostrin_native.__all__, "InternalError"]
    assert "InternalError" not in quellostrin_native.__all__
    assert issubclass(quellostrin.InternalError, BaseException)
    assert not issubclass(quellostrin.InternalError, Exception)
