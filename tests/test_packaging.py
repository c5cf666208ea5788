"""The built package: its exports, its wheel matrix, and an install that
leaves the checkout as it found it."""
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import venv
from importlib.metadata import PackageNotFoundError, files, version
from pathlib import Path

import pytest

import taxon

ROOT_DIR = Path(__file__).resolve().parent.parent

PYTHONS = ["cp310", "cp311", "cp312", "cp313", "cp313t", "cp314", "cp314t"]
# Platform: (the order cibuildwheel prints them in: Python outer or arch outer, arch tags).
MATRIX = {
    "linux": ("arch", ["manylinux_x86_64", "manylinux_aarch64", "musllinux_x86_64"]),
    "macos": ("python", ["macosx_x86_64", "macosx_arm64"]),
    "windows": ("python", ["win_amd64"]),
}


def cibuildwheel_major():
    try:
        from importlib.metadata import PackageNotFoundError, version
        return int(version("cibuildwheel").split(".")[0])
    except (ImportError, PackageNotFoundError):
        return None


@pytest.mark.parametrize("platform", sorted(MATRIX))
def test_wheel_matrix(platform):
    major = cibuildwheel_major()
    if major is None:
        pytest.skip("cibuildwheel not installed (tools/check installs it)")
    if major != 3:
        pytest.skip(f"cibuildwheel {major}.x: the matrix (with cp313t) needs the 3.x series")
    outer, tags = MATRIX[platform]
    if outer == "arch":
        expected = [f"{py}-{tag}" for tag in tags for py in PYTHONS]
    else:
        expected = [f"{py}-{tag}" for py in PYTHONS for tag in tags]
    env = {k: v for k, v in os.environ.items() if not k.startswith("CIBW_")}
    out = subprocess.run([sys.executable, "-m", "cibuildwheel", "--print-build-identifiers", "--platform", platform],
                         cwd=ROOT_DIR, env=env, capture_output=True, text=True, timeout=120, check=True)
    assert out.stdout.split() == expected


def exported_symbols(path):
    if sys.platform.startswith("linux"):
        args = ["nm", "-D", "--defined-only", path]
    elif sys.platform == "darwin":
        args = ["nm", "-gU", path]
    else:
        pytest.skip("a DLL exports only what is marked for export")
    if shutil.which("nm") is None:
        pytest.skip("nm not installed")
    lines = subprocess.run(args, capture_output=True, text=True, check=True).stdout.splitlines()
    return [line.split()[-1] for line in lines if line.strip()]


def test_module_exports_its_entry_point_alone():
    names = exported_symbols(taxon.__file__)
    assert names == (["_PyInit_taxon"] if sys.platform == "darwin" else ["PyInit_taxon"])


DIST = "taxon-sniff"


def test_wheel_holds_the_module_command_stubs_and_page_alone():
    try:
        record = files(DIST)
    except PackageNotFoundError:
        pytest.skip(f"{DIST} is not installed (a build tree on PYTHONPATH)")
    installed = sorted(Path(f.locate()).resolve() for f in record if ".dist-info/" not in f.as_posix())
    suffix = sysconfig.get_config_var("EXT_SUFFIX")
    scripts = Path(sysconfig.get_path("scripts"))
    command = scripts / ("taxon.exe" if os.name == "nt" else "taxon")
    expected = [Path(taxon.__file__), command, Path(sysconfig.get_path("data")) / "share" / "man" / "man1" / "taxon.1",
                Path(sysconfig.get_path("purelib")) / "taxon-stubs" / "__init__.pyi"]
    assert Path(taxon.__file__).name == "taxon" + suffix
    assert installed == sorted(p.resolve() for p in expected)


def snapshot(root):
    """Every path under `root` with its size and modification time."""
    return {p.relative_to(root): (p.stat().st_size, p.stat().st_mtime_ns) for p in root.rglob("*")}


@pytest.mark.skipif(not os.environ.get("TAXON_INSTALL_TEST"),
                    reason="builds the package from scratch (a minute or more); tools/check runs it with CI=true")
def test_install_from_a_read_only_checkout(tmp_path):
    if shutil.which("git") is None or not (ROOT_DIR / ".git").exists():
        pytest.skip("needs a git checkout to list the sources")
    files = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT_DIR, capture_output=True, check=True).stdout
    source = tmp_path / "src"
    for name in filter(None, files.decode().split("\0")):
        if (ROOT_DIR / name).is_file():
            (source / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(ROOT_DIR / name, source / name)
    subprocess.run(["chmod", "-R", "a-w", source], check=True)
    before = snapshot(source)
    env_dir = tmp_path / "env"
    venv.create(env_dir, with_pip=True)
    bin_dir = env_dir / ("Scripts" if os.name == "nt" else "bin")
    try:
        # Build isolation fetches the build requirements; as root (CI) the
        # mode bits do not stop a write, so the snapshot is what proves it.
        subprocess.run([bin_dir / "python", "-m", "pip", "install", "-q", str(source)],
                       capture_output=True, text=True, timeout=1200, check=True)
    except subprocess.CalledProcessError as e:
        pytest.fail(e.stdout + e.stderr)
    finally:
        subprocess.run(["chmod", "-R", "u+w", source], check=True)
    assert snapshot(source) == before
    out = subprocess.run([bin_dir / "python", "-c", "import taxon; print(taxon.detect_mime(b'%PDF-1.7'))"],
                         capture_output=True, text=True, check=True)
    assert out.stdout == "application/pdf\n"
    command = bin_dir / ("taxon.exe" if os.name == "nt" else "taxon")
    out = subprocess.run([command, "--mime", "-"], input=b"\x89PNG\r\n\x1a\n", capture_output=True, check=True)
    assert out.stdout == b"image/png\n"


WORKFLOWS = ROOT_DIR / ".github" / "workflows"


def workflow(name):
    yaml = pytest.importorskip("yaml")
    return yaml.safe_load((WORKFLOWS / name).read_text(encoding="utf-8"))


def test_one_cibuildwheel_version_everywhere():
    pinned = re.findall(r"uses: pypa/cibuildwheel@v(\S+)", (WORKFLOWS / "release.yml").read_text(encoding="utf-8"))
    checked = re.findall(r"'cibuildwheel==(\S+)'", (ROOT_DIR / "tools" / "check").read_text(encoding="utf-8"))
    assert len(pinned) == 1 and checked == pinned
    try:
        installed = version("cibuildwheel")
    except PackageNotFoundError:
        pytest.skip("cibuildwheel not installed (tools/check installs it)")
    assert installed == pinned[0]


def test_release_builds_every_platform_and_arch_of_the_wheel_config():
    tomllib = pytest.importorskip("tomllib")  # Python 3.11+
    config = tomllib.loads((ROOT_DIR / "pyproject.toml").read_text(encoding="utf-8"))["tool"]["cibuildwheel"]
    wanted = {(platform, arch) for platform in ("linux", "macos", "windows") for arch in config[platform]["archs"]}
    runner_platform = {"ubuntu": "linux", "macos": "macos", "windows": "windows"}
    jobs = workflow("release.yml")["jobs"]
    built = {(runner_platform[row["os"].split("-")[0]], row["archs"])
             for row in jobs["wheels"]["strategy"]["matrix"]["include"]}
    assert built == wanted
    assert jobs["publish"]["needs"] == ["wheels", "sdist"]
    assert jobs["publish"]["permissions"] == {"id-token": "write"}
    assert jobs["publish"]["environment"]["url"].endswith(f"/{DIST}/")


def test_ci_runs_the_test_command_on_every_platform():
    job = workflow("ci.yml")["jobs"]["check"]
    rows = job["strategy"]["matrix"]["include"]
    assert {row["name"] for row in rows} == {"Linux x86_64", "Linux arm64", "macOS arm64", "macOS x86_64", "Windows x64"}
    # The CI-only checks need apt-get and an x86-64 host: Linux x86_64 alone.
    assert [row["name"] for row in rows if row["all-checks"] == "true"] == ["Linux x86_64"]
    runs = [step.get("run") for step in job["steps"] if "run" in step]
    assert runs == ["tools/check"]
    assert "\ntools/check\n" in (ROOT_DIR / "README.md").read_text(encoding="utf-8")
