"""Marks a plug-in's editor as open in a saved Ardour session, so that Ardour's GUI shows it as
soon as it has loaded the session (as it reopens the windows a user left open).

  openeditor.py SESSION.ardour TRACK     the first plug-in on TRACK, with its own editor

Ardour names a plug-in's window P-<route id>-<processor id> in the session's UI state."""
import sys
import xml.etree.ElementTree as ET

path, track = sys.argv[1], sys.argv[2]
tree = ET.parse(path)
session = tree.getroot()
route = next((r for r in session.iter("Route") if r.get("name") == track), None)
if route is None:
    raise SystemExit("%s: no track named %s" % (path, track))
plugin = next((p for p in route.iter("Processor") if p.get("unique-id")), None)
if plugin is None:
    raise SystemExit("%s: no plug-in on track %s" % (path, track))
extra = session.find("Extra")
if extra is None:
    extra = ET.SubElement(session, "Extra")
ui = extra.find("UI")
if ui is None:
    ui = ET.SubElement(extra, "UI")
ET.SubElement(ui, "Window", {"name": "P-%s-%s" % (route.get("id"), plugin.get("id")),
                             "visible": "1", "custom-ui": "1"})
tree.write(path, encoding="UTF-8", xml_declaration=True)
print("%s: editor of %s on %s marked open" % (path, plugin.get("name"), track))
