"""The library's frame end to end: registration, debug-mode log header, the service window's
children, unregistration and uninitialisation, through harness.exe bound by ordinal."""

import os
import re

import pytest

from conftest import STAND_IN_DRIVER_VERSION, run_wine, unique_name, wine_path

RULE = "-" * 50
LOG_LINE = re.compile(r"^\d{4,}/\d\d/\d\d \d\d:\d\d:\d\d  (.*)$")

EXPECTED_CHILDREN = [
    # id, class, x, y, width (None: client width minus the given margin), height, columns
    (1001, "SysListView32", 0, 0, -5, 150,
     [("Ethernet Address", 120), ("IP Address", 100), ("Host Name", 100), ("Rwp Version", 100)]),
    (1003, "SysListView32", 0, 151, -5, 150, [("Connect USB Device", 200), ("Mode", 100)]),
    (1004, "SysListView32", 0, 302, 200, 150, [("Priner", 100), ("Port", 100)]),
    (1005, "SysListView32", 201, 302, -210, 150,
     [("Path", 100), ("Application", 100), ("Process ID", 100)]),
    (150, "ListBox", 0, 453, -5, 150, []),
    (107, "SysListView32", 0, 604, -5, 150, [("Detected Ethernet", 100)]),
]


def read_log_texts(folder):
    path = os.path.join(folder, "Pnxsclog.txt")
    with open(path, "rb") as f:
        raw = f.read().decode("latin-1")
    assert raw.endswith("\r\n")
    texts = []
    for line in raw.split("\r\n")[:-1]:
        match = LOG_LINE.match(line)
        assert match, "not a log line: %r" % line
        texts.append(match.group(1))
    return texts


@pytest.fixture
def settings_key(paths):
    key = "Software\\QzTest\\" + unique_name("frame")
    yield key
    run_wine(paths, "reg", "delete", "HKCU\\" + key, "/f")


def test_register_debug_log_children_and_clean_shutdown(paths, harness, stand_in_driver, settings_key,
                                                        tmp_path):
    result = harness.command('register location="HCU\\%s" options=1' % settings_key)
    assert result["ok"], result
    service = result["service"]
    assert service != result["client"]

    # A second registration hands back the same service window.
    again = harness.command("register")
    assert again["ok"] and again["service"] == service

    folder = str(tmp_path / "log")
    result = harness.command('debugmode flags=1 folder="%s"' % wine_path(folder))
    assert result["ok"] and result["result"] == 1, result
    texts = read_log_texts(folder)

    assert texts[:4] == [RULE, "          Pnxscapi.dll (Ver 2.5.0)", RULE, "*** OS Information ***"]
    assert texts[4] == "  Windows Folder: C:\\windows"
    assert texts[5] == "  System Folder : C:\\windows\\system32"
    assert re.fullmatch(r"  OS Version    : Windows .+", texts[6]), texts[6]
    assert re.fullmatch(r"  OS ExVersion  : 0x[0-9a-f]{8}(\(FireWall\))?", texts[7]), texts[7]
    assert texts[8].lower() == ("  File Path     : %s\\Pnxscapi.dll" % wine_path(paths.bin)).lower()
    assert texts[9] == "  Zkuptp Driver : " + STAND_IN_DRIVER_VERSION
    assert len(texts) == 10

    result = harness.command("children")
    assert result["ok"], result
    assert result["class"] == "PNX_SERVICE_CONTROL_DLL"
    assert result["title"] == "Server List"
    assert result["visible"] is False
    assert result["owner"] == result_client(harness)
    children = result["children"]
    assert [c["id"] for c in children] == [c[0] for c in EXPECTED_CHILDREN]
    client_width = children[0]["width"] + 5
    for child, (cid, cls, x, y, width, height, columns) in zip(children, EXPECTED_CHILDREN):
        assert child["class"].lower() == cls.lower(), child
        assert (child["x"], child["y"], child["height"]) == (x, y, height), child
        assert child["width"] == (width if width > 0 else client_width + width), child
        assert list(zip(child["columns"], child["widths"])) == columns, child

    result = harness.command("unregister")
    assert result["ok"] and result["result"] == 1
    quit_event = harness.expect(lambda line: line.get("event") == "WM_QUIT", timeout=10)
    assert quit_event["code"] == 0
    # Unregistering waits for every library thread and says so.
    assert read_log_texts(folder)[len(texts):] == ["PnxUnRegisterNotification()", "*** Every library thread has ended ***"]

    for _ in range(2):
        result = harness.command("uninitialize")
        assert result["ok"] and result["result"] == 1
    assert harness.quit() == 0


def test_register_unregister_register(harness):
    first = harness.command("register config=0")
    assert first["ok"]
    assert harness.command("unregister")["result"] == 1
    second = harness.command("register config=0")
    assert second["ok"], second
    assert harness.command("children")["ok"]
    assert harness.command("unregister")["result"] == 1
    assert harness.quit() == 0


def test_driver_version_queries(harness, stand_in_driver):
    result = harness.command("driverversion")
    assert result["ok"] and result["version"] == STAND_IN_DRIVER_VERSION and result["name"] == "Zkuptp"
    result = harness.command("driverversion name=Zkhidflt")
    assert not result["ok"] and result["result"] == 0
    result = harness.command("driverversion name=" + unique_name("absent"))
    assert not result["ok"] and result["result"] == 0
    assert harness.quit() == 0


def result_client(harness):
    return next(line["client"] for line in harness.lines
                if line.get("type") == "result" and line.get("cmd") == "register" and line.get("ok"))
