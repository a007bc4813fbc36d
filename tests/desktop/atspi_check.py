#!/usr/bin/python3
# Reads Setup's accessibility tree over the desktop's AT-SPI bus, as a screen
# reader reads it, and works it as a screen reader's user would:
#   atspi_check.py APPLICATION-NAME
# Each circle is pressed through its action, which opens and pins its popup;
# then no interactive object may be nameless; a jumper changed through its
# action must show in the jumper and in the list beside it; the calibration
# record's points are a table, read cell by cell; so are the calibration
# history's cards, calibrations and drift, and a record opens from it.
# Exits 1 with the reasons when anything is wrong.
import re
import sys
import time

import pyatspi

INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_SLIDER,
    pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_DIALOG,
}
PATIENCE = 20.0  # seconds: a loaded machine may be slow, never this slow


def wait_for(condition, what):
    deadline = time.monotonic() + PATIENCE
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(0.05)
    sys.exit(f"timed out waiting for {what}")


def application(name):
    def found():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name and app.childCount > 0:
                return app
        return None
    return wait_for(found, f"the application {name} on the accessibility bus")


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def find(app, role, name):
    for node in walk(app):
        if node.getRole() == role and node.name == name:
            return node
    return None


def do(node, action):
    actions = node.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    if action not in names:
        sys.exit(f"{node.getRoleName()} '{node.name}' offers {names}, not {action}")
    actions.doAction(names.index(action))


# What a screen reader is told of: names, descriptions, texts and values
# that change.
CHANGES = ["object:property-change:accessible-name", "object:property-change:accessible-description",
           "object:text-changed", "object:value-changed"]


def changes_told(app_name, seconds):
    """The change events Setup raises in `seconds`: (type, source's name, new text)."""
    from gi.repository import GLib
    seen = []

    def heard(event):
        try:
            if event.source is not None and event.source.getApplication().name == app_name:
                seen.append((event.type, event.source.name, str(event.any_data)))
        except Exception:  # an object gone meanwhile
            pass

    pyatspi.Registry.registerEventListener(heard, *CHANGES)
    GLib.timeout_add(int(seconds * 1000), lambda: pyatspi.Registry.stop() and False)
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(heard, *CHANGES)
    return seen


def checked(node):
    return node.getState().contains(pyatspi.STATE_CHECKED)


def editable_text(node):
    for child in node:
        if child is not None and child.getRole() == pyatspi.ROLE_TEXT:
            text = child.queryText()
            return text.getText(0, text.characterCount)
    return None


def is_editable_text(node):
    return node.getRole() == pyatspi.ROLE_TEXT and node.getState().contains(pyatspi.STATE_EDITABLE)


def unnamed(root):
    """No interactive object without a name; text fields are named by
    themselves or by the list they belong to."""
    faults = []
    for node in walk(root):
        role = node.getRole()
        if role not in INTERACTIVE and not is_editable_text(node):
            continue
        if node.name:
            continue
        if is_editable_text(node) and node.parent is not None and node.parent.getRole() == pyatspi.ROLE_COMBO_BOX \
                and node.parent.name:
            continue
        path = []
        up = node
        while up is not None and up.getRole() != pyatspi.ROLE_APPLICATION:
            path.append(f"{up.getRoleName()} '{up.name}'")
            up = up.parent
        faults.append("unnamed: " + " < ".join(path))
    return faults


def table_read(root, name):
    """The table `name` under `root` as a screen reader reads it: its
    headings and its rows of cells, or None when there is no such table."""
    table = find(root, pyatspi.ROLE_TABLE, name)
    if table is None:
        return None
    cells = table.queryTable()
    heads = [cells.getColumnDescription(c) for c in range(cells.nColumns)]
    rows = [[(cells.getAccessibleAt(r, c).name if cells.getAccessibleAt(r, c) else None) for c in range(cells.nColumns)]
            for r in range(cells.nRows)]
    return heads, rows


def check_history(app):
    """The history holds two calibrations of A11Y-7, each found 3 counts off
    and left 0.25 off: its tables read cell by cell under their headings,
    every control named, and the newest record opened through its button."""
    faults = []
    do(wait_for(lambda: find(app, pyatspi.ROLE_MENU_ITEM, "Calibration history…"), "the history's menu item"), "Press")
    history = wait_for(lambda: find(app, pyatspi.ROLE_DIALOG, "Calibration history"), "the history window")
    faults += unnamed(history)
    cards = table_read(history, "Cards")
    if cards is None or cards[0][:3] != ["Serial or asset number", "Card", "Calibrations"] \
            or [row[:3] for row in cards[1]] != [["A11Y-7", "PCI-RZ4070", "2"]]:
        faults.append(f"the history's cards read {cards}")
    records = table_read(history, "Calibrations")
    if records is None or records[0] != ["Date", "Operator", "Verdict", "Checked as left"] or len(records[1]) != 2:
        faults.append(f"the card's calibrations read {records}")
    drift = table_read(history, "Drift since the last calibration")
    if drift is None or drift[0][4] != "Drift (counts)" or len(drift[1]) != 9 or drift[1][1][4] != "2.75":
        faults.append(f"the drift reads {drift}")
    if find(history, pyatspi.ROLE_SPIN_BUTTON, "Calibration interval:") is None:
        faults.append("no spin button named 'Calibration interval:'")
    do(find(history, pyatspi.ROLE_PUSH_BUTTON, "Open record…"), "Press")
    kept = wait_for(lambda: next((n for n in walk(app) if n.getRole() == pyatspi.ROLE_DIALOG
                                  and n.name.startswith("Calibration record of ")), None), "the record opened from the history")
    points = table_read(kept, "Test points")
    if points is None or len(points[1]) != 9:
        faults.append(f"the opened record's points read {points}")
    return faults


def main():
    app = application(sys.argv[1])
    faults = []

    # Every circle opens its popup, a dialog named by its title.
    circles = [n for n in walk(app) if n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.parent is not None
               and n.name in ("Channels", "Buffer Tristate", "Calibration", "DAC Range")]
    if len(circles) != 5:
        faults.append(f"{len(circles)} circles found, not 5")
    for circle in circles:
        do(circle, "Press")
        wait_for(lambda: find(app, pyatspi.ROLE_DIALOG, circle.name), f"the {circle.name} popup")

    faults += unnamed(app)

    # A channel jumper toggled by assistive technology: the jumper is fitted
    # and the channel list shows its channel.
    jumper = find(app, pyatspi.ROLE_CHECK_BOX, "CH3")
    channels = find(app, pyatspi.ROLE_COMBO_BOX, "Channel")
    if jumper is None or channels is None:
        faults.append("no CH3 jumper or Channel list")
    else:
        do(jumper, "Toggle")
        wait_for(lambda: checked(jumper), "CH3 fitted")
        wait_for(lambda: editable_text(channels) == "CH3", "the Channel list showing CH3")

    # The buffer jumper's open position, reached through its action.
    opened = find(app, pyatspi.ROLE_RADIO_BUTTON, "Open")
    standard = find(app, pyatspi.ROLE_RADIO_BUTTON, "BEN: Standard")
    if opened is None or standard is None:
        faults.append("no buffer jumper positions")
    else:
        do(opened, "Press")
        wait_for(lambda: checked(opened) and not checked(standard), "the buffer jumper open")

    # The calibration record's points are a table read cell by cell.
    begin = find(app, pyatspi.ROLE_PUSH_BUTTON, "Begin Calibration")
    if begin is None:
        faults.append("no Begin Calibration button")
    else:
        do(begin, "Press")
        table = wait_for(lambda: find(app, pyatspi.ROLE_TABLE, "Test points"), "the record's table of test points")
        cells = table.queryTable()
        heads = [cells.getColumnDescription(c) for c in range(cells.nColumns)]
        if (cells.nRows, heads) != (9, ["Point", "Applied", "Target", "As found", "As left"]):
            faults.append(f"the record's table has {cells.nRows} rows and the columns {heads}")
        else:
            target = cells.getAccessibleAt(1, 2)
            if target is None or target.name != "0.050 V\n± 1 count":
                faults.append(f"point 2's target cell reads {target.name if target else None!r}")

        # Six seconds of step 1 with pin 37 floating, its reading wandering:
        # the readout is told at most about once a second, with its meaning
        # and unit; nothing else changes, so nothing else is told.
        time.sleep(1.0)
        told = changes_told(sys.argv[1], 6.0)
        readout = re.compile(r"^-?\d+ counts, -?\d+\.\d{3} volts$")
        print(f"AT-SPI: {len(told)} changes told in 6 s of step 1: " + "; ".join(f"{t[0]} {t[1]!r}" for t in told))
        if len(told) > 10:
            faults.append(f"{len(told)} changes told in 6 s of a running step, more than 10")
        for event_type, name, data in told:
            if not (event_type.endswith("accessible-name") and readout.match(name or "")):
                faults.append(f"told {event_type} of {name!r} ({data!r}), not a reading")

    faults += check_history(app)
    if faults:
        print("\n".join(faults))
        sys.exit(1)
    print("AT-SPI: every interactive object named; a jumper changed through its action; the record's table by cell; "
          "the history's tables by cell and a record opened from it")


if __name__ == "__main__":
    main()
