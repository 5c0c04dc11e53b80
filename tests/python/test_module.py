import vedavi._native as native


def test_version():
    assert native.__version__ == "0.1.41"
