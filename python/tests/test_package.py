"""The package as a whole: its version against the C project's, where it
finds libvelkor, and an offline pip install of it."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import velkor

SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
LIBRARY = os.environ.get("VELKOR_LIBRARY")
# pip, setuptools and, before setuptools 70.1, wheel build the package offline.
CAN_BUILD = ("import setuptools.build_meta, importlib.util as u; assert u.find_spec('pip') and"
             " (u.find_spec('wheel') or u.find_spec('setuptools.command.bdist_wheel'))")
BUILDER = next((python for python in (sys.executable, "/usr/bin/python3") if os.path.exists(python)
                and not subprocess.run([python, "-c", CAN_BUILD], capture_output=True).returncode),
               None)


class PackageTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.tmp)

    def run_python(self, python: str, code: str, path: str, **environment: str) -> str:
        env = {k: v for k, v in os.environ.items() if k != "VELKOR_LIBRARY"}
        run = subprocess.run([python, "-c", code], cwd=self.tmp, capture_output=True, text=True,
                             env=dict(env, PYTHONPATH=path, **environment))
        return run.stdout.strip() or run.stderr

    def test_version_is_the_projects(self):
        with open(os.path.join(SOURCE, "CMakeLists.txt")) as file:
            self.assertIn(f"project(velkor VERSION {velkor.__version__} ", file.read())

    @unittest.skipUnless(LIBRARY, "needs VELKOR_LIBRARY")
    def test_version_is_the_librarys(self):
        self.assertEqual(velkor.library_version(), velkor.__version__)

    @unittest.skipUnless(LIBRARY and sys.platform.startswith("linux"), "needs VELKOR_LIBRARY")
    def test_library_lookup_order(self):
        soname = f"libvelkor.so.{velkor._native.ABI_VERSION}"
        beside = os.path.join(self.tmp, "velkor", soname)
        shutil.copytree(os.path.dirname(velkor.__file__), os.path.dirname(beside))
        code, python = "import velkor._native as n; print(n.library()._name)", sys.executable
        # A path set on purpose that does not load is an error, not a hint.
        self.assertIn("VELKOR_LIBRARY=/nothing.so",
                      self.run_python(python, code, self.tmp, VELKOR_LIBRARY="/nothing.so"))
        system = self.run_python(python, code, self.tmp, LD_LIBRARY_PATH=os.path.dirname(LIBRARY))
        self.assertEqual(system, soname)
        shutil.copy(LIBRARY, beside)
        self.assertEqual(self.run_python(python, code, self.tmp), beside)

    @unittest.skipUnless(BUILDER and LIBRARY, "needs a python3 with pip, setuptools and wheel")
    def test_pip_installs_it_offline(self):
        # pip builds in the folder it is given: a copy keeps the tree clean.
        source, site = os.path.join(self.tmp, "source"), os.path.join(self.tmp, "site")
        shutil.copytree(os.path.join(SOURCE, "python"), source)
        subprocess.run([BUILDER, "-m", "pip", "install", "--quiet", "--no-build-isolation",
                        "--no-index", "--no-deps", "--root-user-action=ignore", "--target", site,
                        source], check=True)
        self.assertTrue(os.path.exists(os.path.join(site, "velkor", "py.typed")))
        sample = os.path.join(SOURCE, "samples", "cbr_id3v11.mp3")
        code = ("import importlib.metadata as m, velkor; print(velkor.__file__,"
                f" m.version('velkor'), velkor.read({sample!r}).id3v1.title)")
        self.assertEqual(self.run_python(BUILDER, code, site, VELKOR_LIBRARY=LIBRARY),
                         f"{site}/velkor/__init__.py {velkor.__version__} Sine Tone")


if __name__ == "__main__":
    unittest.main()
