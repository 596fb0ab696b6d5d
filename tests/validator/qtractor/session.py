"""Writes what the Qtractor check needs: the test signal, the session, Qtractor's settings; and
compares Qtractor's export with a render.

  session.py write WORK PLUGIN PROGRAM    signal.wav, session/gravelix.qtr, HOME's Qtractor.conf
                                         (PLUGIN: a .clap file, or an LV2 plug-in's URI)
  session.py compare RENDER EXPORT LAG    exit 1 unless EXPORT is RENDER delayed by LAG frames
  session.py panel PICTURE.xwd            exit 1 unless the picture shows the front panel
"""
import base64
import os
import re
import struct
import sys
import zlib

import numpy
import soundfile

RATE = 44100
# Qtractor fades the first block of an export in and the clip's end out: silence on both sides
# keeps the pedal's sound out of their reach.
LEAD, SOUND, TAIL = RATE, 3 * RATE, 2 * RATE
# The state's values by parameter index, as the program record names its fields.
FIELDS = ["output", "distortion", "input", "opampClipping", "diodeClipping", "highCut",
          "lowCut", "pickup", "stereo", "effect"]


def programs():
    """The factory programs from their one source: name -> (index, values)."""
    # Beside this file in the check's work folder, where the checkout may be out of sight.
    here = os.path.dirname(os.path.abspath(__file__))
    path = os.path.join(here, "gravelixprogram.h")
    if not os.path.exists(path):
        path = os.path.join(here, "../../../effect/gravelixprogram.h")
    with open(path, encoding="utf-8") as f:
        text = f.read()
    found = {}
    for i, block in enumerate(re.findall(r"\{(\s*\.output\s*=.*?)\}", text, re.S)):
        fields = dict(re.findall(r"\.(\w+)\s*=\s*([^,]+),?", block))
        values = [float(fields[name].rstrip("f")) for name in FIELDS]
        found[fields["name"].strip('"')] = (i, values)
    return found


def state(program):
    """The pedal's saved state as Qtractor keeps a CLAP plug-in's: qCompress, then base64."""
    index, values = programs()[program]
    blob = struct.pack("<4sII10f", b"GRVX", 1, index, *values)
    return base64.b64encode(struct.pack(">I", len(blob)) + zlib.compress(blob)).decode()


def write(work, plugin, program):
    # A plucked chord, different on each side so that a swap or a mix-down shows.
    t = numpy.arange(SOUND) / RATE
    env = numpy.exp(-3.0 * (t % 1.0))
    left = env * sum(0.3 * numpy.sin(2 * numpy.pi * f * t) for f in (82.41, 123.47, 164.81))
    right = -0.6 * numpy.roll(left, 331) + 0.05 * numpy.sin(2 * numpy.pi * 440.0 * t)
    sound = numpy.zeros((LEAD + SOUND + TAIL, 2), numpy.float32)
    sound[LEAD : LEAD + SOUND] = numpy.stack([left, right], axis=1)
    soundfile.write(work + "/signal.wav", sound, RATE, subtype="FLOAT")
    with open(work + "/session/gravelix.qtr", "w", encoding="utf-8") as f:
        f.write(SESSION.format(work=work, frames=len(sound), plugin=plugin_element(plugin, program)))
    with open(work + "/home/.config/rncbc.org/Qtractor.conf", "w", encoding="utf-8") as f:
        f.write(SETTINGS.format(work=work))


SESSION = """<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE qtractorSession>
<session version="qtractor 0.9.31" name="gravelix">
 <properties>
  <directory>{work}/session</directory>
  <sample-rate>44100</sample-rate>
 </properties>
 <tracks>
  <track name="Riff" type="audio">
   <properties>
    <input-bus>Master</input-bus>
    <output-bus>Master</output-bus>
   </properties>
   <state>
    <gain>1</gain>
    <panning>0</panning>
   </state>
   <clips>
    <clip name="signal">
     <properties>
      <start>0</start>
      <offset>0</offset>
      <length>{frames}</length>
      <gain>1</gain>
     </properties>
     <audio-clip>
      <filename>{work}/signal.wav</filename>
     </audio-clip>
    </clip>
   </clips>
   <plugins>
{plugin}
   </plugins>
  </track>
 </tracks>
</session>
"""

def plugin_element(plugin, program):
    """The track's plug-in with PROGRAM's values: a CLAP plug-in's as its saved state, an LV2
    one's (by URI) as its control ports' values."""
    if plugin.endswith(".clap"):
        # The parameter values a session holds (<params>) never reach a CLAP plug-in in
        # Qtractor 0.9.31: its first process() clears the queued events before flushing. The
        # state does (<configs>).
        return CLAP_PLUGIN.format(plugin=plugin, state=state(program))
    # LV2 parameters go by port index: the controls follow the four audio ports.
    _, values = programs()[program]
    params = "\n".join('      <param index="%d" name="%s">%r</param>' % (4 + i, FIELDS[i], v)
                       for i, v in enumerate(values))
    return LV2_PLUGIN.format(plugin=plugin, params=params)


CLAP_PLUGIN = """    <plugin type="CLAP">
     <filename>{plugin}</filename>
     <index>0</index>
     <activated>1</activated>
     <configs>
      <config key="state">{state}</config>
     </configs>
    </plugin>"""

LV2_PLUGIN = """    <plugin type="LV2">
     <filename>{plugin}</filename>
     <index>0</index>
     <activated>1</activated>
     <params>
{params}
     </params>
    </plugin>"""

# Export as 32-bit float WAV; no autosave; CLAP and LV2 plug-ins from our folders alone.
SETTINGS = """[Options]
Audio\\ExportExt=wav
Audio\\ExportType=0
Audio\\ExportFormat=3

[AutoSave]
Enabled=false

[Plugins]
ClapPaths={work}/clap
Lv2Paths={work}/lv2
"""


def compare(render, export, lag):
    a, rate_a = soundfile.read(render, dtype="float32", always_2d=True)
    b, rate_b = soundfile.read(export, dtype="float32", always_2d=True)
    subtype = soundfile.info(export).subtype
    if subtype != "FLOAT" or rate_a != rate_b or a.shape[1] != b.shape[1]:
        print("export is %s at %d Hz, %d channels; render %d Hz, %d channels" %
              (subtype, rate_b, b.shape[1], rate_a, a.shape[1]))
        return 1
    # Export frame n + lag holds render frame n.
    n = min(len(a), len(b) - lag)
    x, y = a[:n], b[lag : lag + n]
    if not numpy.any(x):
        print("the render is silent")
        return 1
    if not numpy.array_equal(x, y) or numpy.any(b[:lag]):
        worst = numpy.abs(x - y).max()
        first = numpy.argwhere(x != y)
        print("differs at lag %d: largest difference %.3g, first at frame %s" %
              (lag, worst, first[0][0] if first.size else "-"))
        return 1
    print("identical: %d frames x %d channels at lag %d (%d of them sound)" %
          (n, a.shape[1], lag, numpy.count_nonzero(numpy.any(x != 0, axis=1))))
    return 0


# The front panel's yellow, in a plain stretch left of the footswitch (1x), and how far the
# panel's gradient strays from it there.
PANEL_AREA, PANEL_RGB, PANEL_SPREAD = (20, 300, 40, 30), (238, 191, 28), 14


def panel(path):
    with open(path, "rb") as f:
        data = f.read()
    header, width, height = (struct.unpack(">I", data[:4])[0],
                             *struct.unpack(">II", data[16:24]))
    line, colours = struct.unpack(">I", data[48:52])[0], struct.unpack(">I", data[76:80])[0]
    pixels = numpy.frombuffer(data[header + 12 * colours :], numpy.uint8)[: line * height]
    pixels = pixels.reshape(height, line)[:, : 4 * width].reshape(height, width, 4)
    x, y, w, h = PANEL_AREA
    area = pixels[y : y + h, x : x + w, 2::-1].reshape(-1, 3).astype(int)
    mean = area.mean(axis=0)
    off = numpy.abs(area - PANEL_RGB).max()
    print("panel area %dx%d at %d,%d: mean colour %s, largest channel difference %d" %
          (w, h, x, y, tuple(int(round(c)) for c in mean), off))
    return 0 if off <= PANEL_SPREAD else 1


if __name__ == "__main__":
    if sys.argv[1] == "write":
        write(*sys.argv[2:5])
    elif sys.argv[1] == "compare":
        sys.exit(compare(sys.argv[2], sys.argv[3], int(sys.argv[4])))
    elif sys.argv[1] == "panel":
        sys.exit(panel(sys.argv[2]))
