import pytest

import taxon


@pytest.fixture(autouse=True)
def _no_registrations():
    """Every test starts and ends with an empty registration table."""
    taxon.clear_registrations()
    yield
    taxon.clear_registrations()
