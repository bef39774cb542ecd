# SPDX-License-Identifier: BSD-3-Clause
"""What the Python tests share."""

import os

import numpy as np


def python_doc():
    """doc/python.md, whose examples and recipes the tests run."""
    return os.path.join(os.environ["TAMSEL_DOC"], "python.md")


def bits(values):
    return np.ascontiguousarray(values).view(np.uint64).tolist()
