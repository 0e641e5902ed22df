#!/usr/bin/env python3
"""Draws the program's skin: the bitmaps, GIF animations and the icon that Skin.rc embeds.

Everything is made from simple shapes and text with ImageMagick's `convert`, so the look can be
changed here and rebuilt:  python3 Client/res/draw_skin.py   (writes into Client/res/skin/).
The output is committed; the build does not run this script.

Bitmaps are 24-bit BMPs. Pixels of pure magenta (0xFF00FF) in the main background are outside the
window's shape; white is the transparent colour of the check-image lists.
"""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "skin")

FONT = "DejaVu-Sans"
FONT_BOLD = "DejaVu-Sans-Bold"

# The palette.
NAVY_DARK = "#0b2138"
NAVY = "#123556"
NAVY_LIGHT = "#1d4f7c"
TEAL = "#1fa6a0"
TEAL_LIGHT = "#4fd1c5"
ACCENT = "#f2a33a"
PAGE = "#ffffff"
PAGE_LINE = "#d7e1ea"
INK = "#17324d"
GREY = "#9aa7b4"
GREEN = "#23a55a"
RED = "#d64541"
MAGENTA = "#ff00ff"

# Main window: 533 x 308 dialog units at the program's dialog font.
MAIN_W, MAIN_H = 800, 500
NAV_W, NAV_H = 195, 55
PAGE_W, PAGE_H = 587, 397

TMP = None


def convert(*args):
    subprocess.run(["convert", *args], check=True)


def out(name):
    return os.path.join(OUT, name)


def tmp(name):
    return os.path.join(TMP, name)


def text_width(text, font, size):
    """The advance width in pixels of `text` drawn at `size` points in `font`."""
    result = subprocess.run(["convert", "xc:", "-font", font, "-pointsize", str(size), "-debug", "annotate",
                             "-annotate", "0", text, "null:"], check=True, capture_output=True, text=True)
    for line in result.stderr.splitlines():
        if "Metrics:" in line and "width:" in line:
            return float(line.split("width:")[1].split(";")[0])
    sys.exit("no text metrics from convert for %r" % text)


def fitting_size(texts, font, size, room):
    """The largest type size, from `size` down in half points, at which every text is at most
    `room` pixels wide."""
    while size > 6 and max(text_width(t, font, size) for t in texts) > room:
        size -= 0.5
    return size


def button_margin(width):
    """Room kept free on each side of a button's caption."""
    return max(8, width // 10)


def bmp(src, resource_id, prefix="bmp"):
    """Flattens a drawing into a 24-bit BMP named after its resource id."""
    convert(src, "-background", "white", "-alpha", "remove", "-alpha", "off", "-type", "TrueColor",
            "BMP3:" + out("%s%d.bmp" % (prefix, resource_id)))


# ---- Buttons -------------------------------------------------------------------------------------

BUTTON_STATES = {
    # state: (top colour, bottom colour, text colour, border colour)
    "normal": (NAVY_LIGHT, NAVY, "white", NAVY_DARK),
    "over": (TEAL_LIGHT, TEAL, "white", NAVY_DARK),
    "down": (TEAL, "#157a76", "white", NAVY_DARK),
    "disabled": ("#e9eef3", "#d6dee6", GREY, "#c3ccd5"),
    "active": (PAGE, "#eef4f8", INK, TEAL),
}


def button(resource_id, width, height, text, state, background=PAGE, size=None, radius=6):
    """A rounded, gradient-filled button face with its caption at `size` points (by default
    the largest that fits between the margins, at most half the height and 14)."""
    top, bottom, ink, border = BUTTON_STATES[state]
    if size is None:
        size = fitting_size([text], FONT_BOLD, max(9, min(14, height // 2)), width - 2 * button_margin(width))
    shift = 1 if state == "down" else 0
    face = tmp("face.png")
    convert("-size", "%dx%d" % (width, height), "gradient:%s-%s" % (top, bottom), face)
    mask = tmp("mask.png")
    convert("-size", "%dx%d" % (width, height), "xc:black", "-fill", "white",
            "-draw", "roundrectangle 0,0 %d,%d %d,%d" % (width - 1, height - 1, radius, radius), mask)
    shaped = tmp("shaped.png")
    convert("-size", "%dx%d" % (width, height), "xc:" + background, face, mask, "-composite",
            "-fill", "none", "-stroke", border,
            "-draw", "roundrectangle 0,0 %d,%d %d,%d" % (width - 1, height - 1, radius, radius),
            "-stroke", "none", "-fill", ink, "-font", FONT_BOLD, "-pointsize", str(size),
            "-gravity", "center", "-annotate", "+%d+%d" % (shift, shift), text, shaped)
    bmp(shaped, resource_id)


# Where the navigation buttons' captions start, and the room they keep free at the right.
NAV_TEXT_X = 54
NAV_TEXT_MARGIN = 8


def nav_button(resource_id, text, glyph, state, size):
    """A navigation button of the left column: glyph, caption, and for the page on show (drawn
    as the disabled image) a light face with an accent bar."""
    width, height = NAV_W, NAV_H
    path = tmp("nav.png")
    if state == "active":
        convert("-size", "%dx%d" % (width, height), "gradient:%s-%s" % (PAGE, "#e8f0f6"),
                "-fill", TEAL, "-draw", "rectangle 0,0 5,%d" % (height - 1), path)
        ink, glyph_colour = INK, TEAL
    else:
        top, bottom = {"normal": (NAVY, NAVY_DARK), "over": (NAVY_LIGHT, NAVY)}[state]
        convert("-size", "%dx%d" % (width, height), "gradient:%s-%s" % (top, bottom),
                "-fill", "#0a1c2f", "-draw", "rectangle 0,%d %d,%d" % (height - 1, width - 1, height - 1), path)
        ink, glyph_colour = "white", TEAL_LIGHT if state == "over" else "#8fb8d8"
    convert(path, "-fill", "none", "-stroke", glyph_colour, "-strokewidth", "3", "-draw", glyph,
            "-stroke", "none", "-fill", ink, "-font", FONT_BOLD, "-pointsize", str(size),
            "-gravity", "west", "-annotate", "+%d+0" % NAV_TEXT_X, text, path)
    bmp(path, resource_id)


# Glyphs of the navigation buttons, drawn in a 24x24 box at (18, 15).
GLYPH_SCAN = "circle 30,26 30,16 line 37,33 44,40"
GLYPH_STARTUP = "polyline 22,38 30,30 36,34 46,20 polyline 40,20 46,20 46,26"
GLYPH_DEFRAG = "rectangle 20,16 30,26 rectangle 34,16 44,26 rectangle 20,30 30,40 rectangle 34,30 44,40"
GLYPH_BACKUP = "roundrectangle 20,18 44,40 3,3 line 26,18 26,26 line 38,18 38,26 line 26,26 38,26"
GLYPH_RESULTS = "line 22,40 22,28 line 30,40 30,20 line 38,40 38,32 line 46,40 46,24"

NAV_BUTTONS = [
    # (normal/down, over, disabled = page on show, caption, glyph)
    (135, 137, 136, "Scan Registry", GLYPH_SCAN),
    (138, 139, 140, "Startup Manager", GLYPH_STARTUP),
    (371, 372, 370, "Registry Compaction", GLYPH_DEFRAG),
    (193, 195, 194, "Backups", GLYPH_BACKUP),
    (131, 132, 133, "Results", GLYPH_RESULTS),
]

# Buttons with their caption in the bitmap: (normal, down, over, disabled-or-0, w, h, caption).
# Down and over share one image where the ids repeat. Each picture is at most as large as its
# button on the page (the template's dialog units at 6 x 13 pixels per 4 x 8, rounded down), so
# that no edge of the face is cut off.
TEXT_BUTTONS = [
    (180, 181, 181, 0, 196, 43, "Start Scan"),
    (191, 192, 192, 0, 109, 29, "Cancel"),
    (202, 203, 203, 0, 130, 29, "Fix Errors"),
    (323, 325, 325, 0, 96, 29, "NEXT"),
    (320, 322, 322, 0, 96, 29, "BACK"),
    (377, 378, 378, 0, 96, 29, "Pause"),
    (383, 384, 384, 0, 96, 29, "Resume"),
    (356, 357, 357, 0, 139, 29, "Ignore Selected"),
    (368, 369, 369, 0, 139, 29, "Remove Selected"),
    (228, 229, 229, 0, 139, 29, "Backup Now"),
    (230, 231, 231, 0, 139, 29, "Restore Backup"),
    (188, 189, 189, 0, 139, 29, "Remove Backup"),
    (373, 374, 374, 0, 160, 29, "Check for Updates"),
    (389, 390, 390, 0, 109, 32, "Analyse"),
    (387, 388, 388, 0, 109, 32, "Defrag"),
    (178, 179, 179, 0, 57, 22, "Reset"),
    (344, 345, 345, 0, 103, 28, "Enable All"),
    (346, 347, 347, 0, 103, 28, "Disable All"),
    (348, 349, 349, 0, 120, 28, "Disable Selected"),
    (354, 355, 355, 0, 120, 28, "Enable Selected"),
    (350, 351, 351, 0, 120, 28, "Remove Selected"),
    (392, 393, 393, 0, 96, 29, "FINISH"),
]

# Tabs: normal (also down), and the disabled image for the tab on show.
TABS = [
    (297, 298, "General Options"),
    (301, 302, "Scheduling"),
    (303, 304, "Ignored Keys"),
    (299, 300, "Scan"),
    (380, 379, "Registry Errors"),
    (382, 381, "Other Errors"),
]
TAB_W, TAB_H = 124, 26

# Small buttons on the main window's header: (normal, down/over, w, h, caption).
HEADER_BUTTONS = [
    (141, 143, 75, 22, "Settings"),
    (218, 219, 43, 22, "Help"),
    (161, 162, 64, 22, "Update"),
]


def header_button(resource_id, width, height, text, hot):
    path = tmp("header.png")
    ink = TEAL_LIGHT if hot else "#cfe0ee"
    convert("-size", "%dx%d" % (width, height), "xc:" + NAVY_DARK, "-fill", ink, "-font", FONT,
            "-pointsize", "11", "-gravity", "center", "-annotate", "+0+0", text, path)
    if hot:
        convert(path, "-fill", TEAL_LIGHT, "-draw", "rectangle 8,%d %d,%d" % (height - 3, width - 9, height - 2), path)
    bmp(path, resource_id)


def caption_button(resource_id, glyph, hot):
    """The minimise and close buttons at the top right, 19 x 19."""
    path = tmp("caption.png")
    fill = (RED if "line 6,6" in glyph else NAVY_LIGHT) if hot else NAVY_DARK
    convert("-size", "19x19", "xc:" + NAVY_DARK, "-fill", fill, "-draw", "roundrectangle 0,0 18,18 4,4",
            "-fill", "none", "-stroke", "white", "-strokewidth", "2", "-draw", glyph, path)
    bmp(path, resource_id)


# ---- Backgrounds ---------------------------------------------------------------------------------

def main_background():
    """Bitmap 129: the shaped main window; magenta outside the rounded outline."""
    body = tmp("main.png")
    convert("-size", "%dx%d" % (MAIN_W, MAIN_H), "gradient:%s-%s" % (NAVY, NAVY_DARK),
            # Header band with the product name.
            "-fill", NAVY_DARK, "-draw", "rectangle 0,0 %d,44" % (MAIN_W - 1),
            "-fill", TEAL, "-draw", "rectangle 0,44 %d,46" % (MAIN_W - 1),
            "-fill", "none", "-stroke", TEAL_LIGHT, "-strokewidth", "3",
            "-draw", "circle 30,23 30,11", "-draw", "line 36,29 42,35",
            "-stroke", "none", "-fill", "white", "-font", FONT_BOLD, "-pointsize", "18",
            "-annotate", "+52+30", "Registry Reriraz",
            "-fill", "#8fb8d8", "-font", FONT, "-pointsize", "10", "-annotate", "+232+29", "by Bellwort",
            # Left column behind the navigation buttons.
            "-fill", "#0d2740", "-draw", "rectangle 0,47 204,%d" % (MAIN_H - 1),
            # The page area, a white card the pages are drawn on.
            "-fill", "#0a1c2f", "-draw", "roundrectangle 208,86 %d,%d 8,8" % (MAIN_W - 8, MAIN_H - 12),
            "-fill", PAGE, "-draw", "roundrectangle 206,84 %d,%d 8,8" % (MAIN_W - 10, MAIN_H - 14),
            # Footer of the left column.
            "-fill", "#5f86a8", "-font", FONT, "-pointsize", "9", "-annotate", "+14+%d" % (MAIN_H - 14),
            "Version 1.0.0001",
            body)
    mask = tmp("main_mask.png")
    convert("-size", "%dx%d" % (MAIN_W, MAIN_H), "xc:black", "+antialias", "-fill", "white",
            "-draw", "roundrectangle 0,0 %d,%d 18,18" % (MAIN_W - 1, MAIN_H - 1), mask)
    shaped = tmp("main_shaped.png")
    convert("-size", "%dx%d" % (MAIN_W, MAIN_H), "xc:" + MAGENTA, body, mask, "-composite", shaped)
    bmp(shaped, 129)


def page_background(resource_id, width=PAGE_W, height=PAGE_H, accent=TEAL, title=None):
    """A page: white card with a soft band at the top and a thin accent line."""
    path = tmp("page.png")
    args = ["-size", "%dx%d" % (width, height), "xc:" + PAGE,
            "(", "-size", "%dx36" % width, "gradient:#eef4f8-#ffffff", ")", "-geometry", "+0+0", "-composite",
            "-fill", accent, "-draw", "rectangle 0,0 %d,2" % (width - 1),
            "-fill", PAGE_LINE, "-draw", "rectangle 12,%d %d,%d" % (height - 40, width - 13, height - 40)]
    if title:
        args += ["-fill", INK, "-font", FONT_BOLD, "-pointsize", "13", "-annotate", "+14+26", title]
    convert(*args, path)
    bmp(path, resource_id)


def update_background():
    """363: the program-update dialog (332 x 94 dialog units): a white card with a frame, since
    the window has no caption, and a light band under the title label."""
    width, height = 498, 153
    path = tmp("update.png")
    convert("-size", "%dx%d" % (width, height), "xc:" + PAGE,
            "(", "-size", "%dx38" % width, "gradient:#e3edf5-#ffffff", ")", "-geometry", "+0+0", "-composite",
            "-fill", TEAL, "-draw", "rectangle 0,0 %d,3" % (width - 1),
            "-fill", PAGE_LINE, "-draw", "rectangle 12,38 %d,38" % (width - 13),
            "-fill", "none", "-stroke", NAVY, "-draw", "rectangle 0,0 %d,%d" % (width - 1, height - 1), path)
    bmp(path, 363)


PAGES = [
    (134, None), (172, None), (367, None),
]


def text(args, x, y, words, size=10, ink=INK, font=FONT):
    args += ["-fill", ink, "-font", font, "-pointsize", str(size), "-annotate", "+%d+%d" % (x, y), words]


def scan_page_background():
    """190: the scan page. Its headings are part of the picture; the category names are the check
    boxes' own captions."""
    path = tmp("scanpage.png")
    args = ["-size", "%dx%d" % (PAGE_W, PAGE_H), "xc:" + PAGE,
            "(", "-size", "%dx36" % PAGE_W, "gradient:#eef4f8-#ffffff", ")", "-geometry", "+0+0", "-composite",
            "-fill", TEAL, "-draw", "rectangle 0,0 %d,2" % (PAGE_W - 1),
            "-fill", PAGE_LINE, "-draw", "rectangle 12,292 %d,292" % (PAGE_W - 13)]
    text(args, 14, 26, "Select the areas to scan", 13, font=FONT_BOLD)
    text(args, 20, 56, "Check the categories you want to scan", 10, "#404040", FONT_BOLD)
    text(args, 40, 312, "Select All (Recommended)", 9, "#404040", FONT_BOLD)
    convert(*args, path)
    bmp(path, 190)


# The scanning page's sixteen rows in the scan's order: (name, shade). Three columns of 6, 5 and 5.
SCAN_ROWS = [
    ("ActiveX Objects", "light"), ("Uninstall Entries", "light"), ("Windows Fonts", "light"),
    ("Shared DLLs", "dark"), ("Application Paths", "dark"), ("Help Files Information", "dark"),
    ("Windows Startup Items", "light"), ("File/Path References", "light"), ("Program Shortcuts", "light"),
    ("Empty Registry Keys", "dark"), ("File Associations", "dark"),
    ("Invalid Typelib", "dark"), ("Windows Services", "light"), ("Sound & App Events", "light"),
    ("Recycle Bin", "light"), ("Temp Files", "dark"),
]
SCAN_COLUMNS = [14, 206, 398]


# Tool pages whose headings are part of the picture: (id, title, lines of text under it).
TOOL_PAGES = [
    (171, "Programs that start with Windows",
     ["Enable, disable or remove the programs that run each time you start your computer."]),
    (197, "Registry backups",
     ["Restore or remove registry backups, created during registry repair, or make a new one."]),
]


def tool_page_background(resource_id, title, lines):
    path = tmp("toolpage.png")
    args = ["-size", "%dx%d" % (PAGE_W, PAGE_H), "xc:" + PAGE,
            "(", "-size", "%dx36" % PAGE_W, "gradient:#eef4f8-#ffffff", ")", "-geometry", "+0+0", "-composite",
            "-fill", TEAL, "-draw", "rectangle 0,0 %d,2" % (PAGE_W - 1),
            "-fill", PAGE_LINE, "-draw", "rectangle 12,%d %d,%d" % (PAGE_H - 40, PAGE_W - 13, PAGE_H - 40)]
    text(args, 14, 22, title, 12, font=FONT_BOLD)
    for index, line in enumerate(lines):
        text(args, 14, 40 + index * 14, line, 9, "#404040")
    convert(*args, path)
    bmp(path, resource_id)


def hive_blocks(args, x, y, compact):
    """A row of hive pictures: blocks with gaps (free space), or packed when compacted."""
    for hive in range(3):
        left = x + hive * 120
        args += ["-fill", "#eef2f6", "-stroke", "#9fb3c6", "-draw", "roundrectangle %d,%d %d,%d 4,4" %
                 (left, y, left + 96, y + 64), "-stroke", "none"]
        for cell in range(12):
            row, column = divmod(cell, 4)
            used = compact and cell < 8 or not compact and cell not in (1, 6, 7, 10)
            if compact and cell >= 8:
                continue
            colour = (TEAL if hive % 2 == 0 else NAVY_LIGHT) if used else "#ffffff"
            cx, cy = left + 8 + column * 21, y + 8 + row * 17
            args += ["-fill", colour, "-draw", "rectangle %d,%d %d,%d" % (cx, cy, cx + 16, cy + 12)]


def defrag_backgrounds():
    """391: the compaction page before an analysis; 386: after one that found room to gain."""
    for resource_id, title, lines, compact in [
        (391, "Registry compaction",
         ["Programs that are installed and removed leave gaps in the registry's hive files.",
          "Analyse them first: the hives are copied without their gaps and the sizes compared.",
          "Please save your work and close other programs before you start."], False),
        (386, "The registry can be compacted",
         ["The analysis found room to gain. Press Defrag to replace the hives by their",
          "compacted copies; Windows puts them in place when it starts again.",
          "Reset goes back without changing anything."], True)]:
        path = tmp("defrag.png")
        args = ["-size", "%dx%d" % (PAGE_W, PAGE_H), "xc:" + PAGE,
                "(", "-size", "%dx36" % PAGE_W, "gradient:#eef4f8-#ffffff", ")", "-geometry", "+0+0", "-composite",
                "-fill", TEAL, "-draw", "rectangle 0,0 %d,2" % (PAGE_W - 1),
                "-fill", PAGE_LINE, "-draw", "rectangle 12,%d %d,%d" % (PAGE_H - 40, PAGE_W - 13, PAGE_H - 40)]
        text(args, 14, 26, title, 13, font=FONT_BOLD)
        for index, line in enumerate(lines):
            text(args, 14, 56 + index * 18, line, 10, "#404040")
        hive_blocks(args, 120, 150, compact)
        if resource_id == 391:
            text(args, 14, 308, "Progress", 9, INK, FONT_BOLD)
        convert(*args, path)
        bmp(path, resource_id)


def scanning_page_background():
    """366: the scanning page with its title, step, the two progress headings, the band behind the
    current activity and the sixteen category names in three columns."""
    path = tmp("scanning.png")
    args = ["-size", "%dx%d" % (PAGE_W, PAGE_H), "xc:" + PAGE,
            "(", "-size", "%dx36" % PAGE_W, "gradient:#eef4f8-#ffffff", ")", "-geometry", "+0+0", "-composite",
            "-fill", TEAL, "-draw", "rectangle 0,0 %d,2" % (PAGE_W - 1),
            "-fill", "#f5f5f5", "-draw", "rectangle 12,42 %d,63" % (PAGE_W - 13)]
    text(args, 14, 26, "Scanning your registry", 13, font=FONT_BOLD)
    text(args, PAGE_W - 90, 26, "Step 2 of 3", 10, GREY)
    text(args, 14, 86, "Overall Progress", 10, INK, FONT_BOLD)
    text(args, 14, 130, "Current Progress", 10, INK, FONT_BOLD)
    for index, (name, shade) in enumerate(SCAN_ROWS):
        column = 0 if index < 6 else (1 if index < 11 else 2)
        row = index if index < 6 else (index - 6 if index < 11 else index - 11)
        x, y = SCAN_COLUMNS[column], 170 + row * 26
        band = ROW_LIGHT if shade == "light" else ROW_DARK
        args += ["-fill", band, "-draw", "rectangle %d,%d %d,%d" % (x - 4, y - 4, x + 186, y + 20)]
        text(args, x + 22, y + 13, name, 9, INK)
    convert(*args, path)
    bmp(path, 366)


def du_x(units):
    """Dialog units to pixels at the program's dialog font (6 x 13 pixels per 4 x 8 units)."""
    return int(round(units * 6 / 4.0))


def du_y(units):
    return int(round(units * 13 / 8.0))


# The statistics page's sixteen rows (top of each row's labels, in dialog units) and its columns.
STATISTICS_ROWS = [
    ("ActiveX Objects", 48), ("Uninstall Entries", 58), ("Fonts", 68), ("Shared DLLs", 78),
    ("Application Paths", 87), ("Help Files Information", 97), ("Windows Startup Items", 107),
    ("File/Path References", 117), ("Program Shortcuts", 127), ("Empty Registry Keys", 137),
    ("File Associations", 146), ("Invalid Type Lib", 156), ("Windows Services", 166),
    ("Sound & App Events", 176), ("Recycle Bin", 186), ("Temp Files", 196),
]
STATISTICS_COLUMNS = [(200, "Error(s)"), (260, "Cleaned"), (320, "Ignored")]


def statistics_background():
    """134: the statistics page: its title, the table's headings, a band per category row with
    the category's name, and the headings of the last scan and the two running totals."""
    path = tmp("statistics.png")
    args = ["-size", "%dx%d" % (PAGE_W, PAGE_H), "xc:" + PAGE,
            "(", "-size", "%dx36" % PAGE_W, "gradient:#eef4f8-#ffffff", ")", "-geometry", "+0+0", "-composite",
            "-fill", TEAL, "-draw", "rectangle 0,0 %d,2" % (PAGE_W - 1)]
    text(args, 14, 26, "Scan Results", 13, font=FONT_BOLD)
    heading_y = du_y(48) - 8
    args += ["-fill", "#e3ebf2", "-draw", "rectangle 10,%d %d,%d" % (heading_y - 14, PAGE_W - 11, heading_y + 4)]
    text(args, 16, heading_y, "Category", 9, INK, FONT_BOLD)
    for x, heading in STATISTICS_COLUMNS:
        text(args, du_x(x) + 4, heading_y, heading, 9, INK, FONT_BOLD)
    for index, (name, y) in enumerate(STATISTICS_ROWS):
        top = du_y(y) - 1
        bottom = top + 15
        if index % 2 == 0:
            args += ["-fill", "#f6f8fb", "-draw", "rectangle 10,%d %d,%d" % (top, PAGE_W - 11, bottom)]
        text(args, 16, top + 12, name, 9, INK)
    args += ["-fill", PAGE_LINE, "-draw", "rectangle 10,%d %d,%d" % (du_y(208), PAGE_W - 11, du_y(208))]
    text(args, 14, du_y(218), "Last Scan", 9, GREY, FONT_BOLD)
    text(args, du_x(170), du_y(218), "Errors Cleaned To Date", 9, GREY, FONT_BOLD)
    text(args, du_x(280), du_y(218), "Junk Files Removed To Date", 9, GREY, FONT_BOLD)
    convert(*args, path)
    bmp(path, 134)


def results_background():
    """367: the results page: a panel behind the description, a frame around the category tree
    (which the page puts 8, 124, 7 and 33 pixels inside its edges) and a line above the buttons."""
    path = tmp("results.png")
    args = ["-size", "%dx%d" % (PAGE_W, PAGE_H), "xc:" + PAGE,
            "(", "-size", "%dx36" % PAGE_W, "gradient:#eef4f8-#ffffff", ")", "-geometry", "+0+0", "-composite",
            "-fill", TEAL, "-draw", "rectangle 0,0 %d,2" % (PAGE_W - 1),
            "-fill", "#f4f7fa", "-stroke", PAGE_LINE,
            "-draw", "roundrectangle %d,5 %d,%d 6,6" % (du_x(176), PAGE_W - 6, du_y(76) - 4),
            "-fill", "none", "-stroke", "#b9c7d4",
            "-draw", "rectangle 7,123 %d,%d" % (PAGE_W - 7, PAGE_H - 32),
            "-stroke", "none"]
    convert(*args, path)
    bmp(path, 367)


# ---- Small pictures ------------------------------------------------------------------------------

def check_images():
    """210: four 13 x 15 state images (blank, ticked, unticked, partly ticked).
    225: eight 18 x 18 row images (blank, registry, folder, file, shortcut, ok, error, warning)."""
    tick = "polyline 3,7 5,10 10,4"
    path = tmp("checks.png")
    convert("-size", "52x15", "xc:white", "+antialias",
            "-fill", "white", "-stroke", "#5c738a", "-draw", "rectangle 14,1 25,12",
            "-draw", "rectangle 27,1 38,12", "-draw", "rectangle 40,1 51,12",
            "-stroke", GREEN, "-strokewidth", "2", "-fill", "none",
            "-draw", "translate 13,1 " + tick,
            "-stroke", "#8e9aa6", "-draw", "translate 39,1 " + tick, path)
    bmp(path, 210)

    path = tmp("rows.png")
    convert("-size", "144x18", "xc:white",
            # 1 registry: three stacked blocks
            "-fill", NAVY_LIGHT, "-draw", "rectangle 21,3 28,8", "-draw", "rectangle 29,9 34,14",
            "-fill", TEAL, "-draw", "rectangle 21,9 28,14",
            # 2 folder
            "-fill", ACCENT, "-draw", "rectangle 38,5 51,14", "-draw", "rectangle 38,3 43,5",
            # 3 file
            "-fill", "#eef2f6", "-stroke", "#5c738a", "-draw", "rectangle 58,2 67,15",
            "-draw", "line 60,6 65,6", "-draw", "line 60,9 65,9", "-draw", "line 60,12 64,12",
            # 4 shortcut: file with an arrow
            "-fill", "#eef2f6", "-draw", "rectangle 76,2 85,15", "-stroke", TEAL, "-strokewidth", "2",
            "-draw", "line 74,14 81,7", "-draw", "line 78,7 81,7", "-draw", "line 81,7 81,10",
            # 5 ok, 6 error, 7 warning
            "-stroke", "none", "-fill", GREEN, "-draw", "circle 98,9 98,2",
            "-fill", RED, "-draw", "circle 116,9 116,2",
            "-fill", ACCENT, "-draw", "polygon 134,2 141,15 127,15",
            "-stroke", "white", "-strokewidth", "2", "-fill", "none",
            "-draw", "polyline 95,9 97,11 101,6", "-draw", "line 114,7 118,11", "-draw", "line 118,7 114,11",
            "-draw", "line 134,6 134,11", path)
    bmp(path, 225)


ROW_LIGHT = "#fbf9fd"
ROW_DARK = "#f6f6fb"


def row_mark(resource_id, kind, background):
    path = tmp("mark.png")
    colour = {"tick": GREEN, "cross": RED, "idle": "#c3ccd5"}[kind]
    glyph = "line 5,5 11,11 line 11,5 5,11" if kind == "cross" else "polyline 4,8 7,11 12,5"
    convert("-size", "16x16", "xc:" + background, "-fill", "none", "-stroke", colour, "-strokewidth", "2",
            "-draw", glyph, path)
    bmp(path, resource_id)


def pictures():
    # 201: a one-pixel line; 260, 394, 311, 312: the summary page's pictures.
    convert("-size", "540x1", "xc:" + PAGE_LINE, tmp("line.png"))
    bmp(tmp("line.png"), 201)
    convert("-size", "48x48", "xc:white", "-fill", GREEN, "-draw", "circle 24,24 24,3",
            "-fill", "none", "-stroke", "white", "-strokewidth", "5", "-draw", "polyline 14,25 21,32 34,17",
            tmp("done.png"))
    bmp(tmp("done.png"), 260)
    # 394: the summary's picture when the repair left errors behind.
    convert("-size", "48x48", "xc:white", "-fill", ACCENT, "-draw", "circle 24,24 24,3",
            "-fill", "white", "-draw", "roundrectangle 21,11 27,29 2,2", "-draw", "circle 24,35 24,32",
            tmp("warning.png"))
    bmp(tmp("warning.png"), 394)
    convert("-size", "32x32", "xc:white", "-fill", TEAL, "-draw", "circle 16,16 16,2",
            "-fill", "white", "-draw", "rectangle 14,13 18,25", "-draw", "circle 16,8 16,6", tmp("info.png"))
    bmp(tmp("info.png"), 311)
    convert("-size", "32x32", "xc:white", "-fill", NAVY_LIGHT, "-draw", "roundrectangle 4,6 28,26 3,3",
            "-fill", TEAL_LIGHT, "-draw", "rectangle 8,10 24,13", "-draw", "rectangle 8,16 20,19",
            "-draw", "rectangle 8,22 16,23", tmp("report.png"))
    bmp(tmp("report.png"), 312)
    # 146: the small hidden badge on the main window's header.
    convert("-size", "28x16", "xc:" + NAVY_DARK, "-fill", ACCENT, "-draw", "roundrectangle 0,0 27,15 4,4",
            "-fill", NAVY_DARK, "-font", FONT_BOLD, "-pointsize", "9", "-gravity", "center",
            "-annotate", "+0+0", "NEW", tmp("badge.png"))
    bmp(tmp("badge.png"), 146)


# ---- Animations and icon -------------------------------------------------------------------------

def gif(name, frames, delay, dispose):
    """An animated GIF89a with a graphic control extension before every frame; the frames are
    kept whole (not optimised), so each covers the full picture."""
    convert("-delay", str(delay), "-dispose", dispose, "-loop", "0", *frames, "+repage", out(name))


def spinner():
    """334: 16 x 16, eight frames: a ring of dots whose bright dot turns."""
    frames = []
    centres = [(8, 2), (12, 4), (14, 8), (12, 12), (8, 14), (4, 12), (2, 8), (4, 4)]
    for frame in range(8):
        args = ["-size", "16x16", "xc:white"]
        for index, (x, y) in enumerate(centres):
            age = (frame - index) % 8
            colour = [TEAL, "#4bb8b3", "#86cfcb", "#bde3e1"][min(age, 3)]
            args += ["-fill", colour, "-draw", "circle %d,%d %d,%d" % (x, y, x + 1, y)]
        path = tmp("spin%d.gif" % frame)
        convert(*args, path)
        frames.append(path)
    gif("scan334.gif", frames, 10, "Undefined")


def progress(name, width, height, count):
    """A moving band of stripes in a rounded trough; each frame replaces the last (disposal 2)."""
    frames = []
    for frame in range(count):
        path = tmp("bar%d.gif" % frame)
        offset = frame * width // count
        args = ["-size", "%dx%d" % (width, height), "xc:white", "-fill", "#e3ebf2",
                "-draw", "roundrectangle 0,0 %d,%d 4,4" % (width - 1, height - 1), "-fill", TEAL]
        for stripe in range(-2, 4):
            x = offset + stripe * width // 4
            args += ["-draw", "polygon %d,2 %d,2 %d,%d %d,%d" % (x, x + 10, x + 4, height - 3, x - 6, height - 3)]
        convert(*args, path)
        frames.append(path)
    gif(name, frames, 10, "Background")


def icon():
    """128: the program's icon at 48, 32 and 16 pixels: a magnifier over a registry block."""
    sizes = []
    for size in (48, 32, 16):
        s = size / 32.0
        path = tmp("icon%d.png" % size)
        convert("-size", "%dx%d" % (size, size), "xc:none",
                "-fill", NAVY, "-draw", "roundrectangle %d,%d %d,%d %d,%d" % (0, 0, size - 1, size - 1, 6 * s, 6 * s),
                "-fill", TEAL, "-draw", "rectangle %d,%d %d,%d" % (5 * s, 18 * s, 13 * s, 26 * s),
                "-fill", NAVY_LIGHT, "-draw", "rectangle %d,%d %d,%d" % (14 * s, 18 * s, 22 * s, 26 * s),
                "-fill", "none", "-stroke", "white", "-strokewidth", str(max(1.5, 2.5 * s)),
                "-draw", "circle %d,%d %d,%d" % (14 * s, 12 * s, 14 * s, 5 * s),
                "-stroke", ACCENT, "-strokewidth", str(max(2, 3 * s)),
                "-draw", "line %d,%d %d,%d" % (19 * s, 17 * s, 27 * s, 25 * s), path)
        sizes.append(path)
    convert(*sizes, out("Kelvara.ico"))


def resource_script():
    """Skin.rc: every drawing under its resource id, and the tray icon's popup menu."""
    lines = ["// Written by draw_skin.py: the program's skin.", "#include <windows.h>", "",
             "128 ICON \"skin/Kelvara.ico\"", ""]
    ids = sorted(int(f[3:-4]) for f in os.listdir(OUT) if f.startswith("bmp") and f.endswith(".bmp"))
    lines += ["%d BITMAP \"skin/bmp%d.bmp\"" % (i, i) for i in ids]
    lines += ["", "334 GIF \"skin/scan334.gif\"", "339 GIF \"skin/progress339.gif\"",
              "361 GIF \"skin/progress361.gif\"", "",
              "165 MENU", "BEGIN", "    POPUP \"Popup\"", "    BEGIN",
              "        MENUITEM \"&Restore\", 32773", "        MENUITEM \"&Minimize to Tray\", 32774",
              "        MENUITEM \"E&xit\", 32772", "    END", "END", ""]
    with open(os.path.join(HERE, "Skin.rc"), "w") as script:
        script.write("\n".join(lines))


def main():
    global TMP
    if not shutil.which("convert"):
        sys.exit("draw_skin.py needs ImageMagick's convert")
    os.makedirs(OUT, exist_ok=True)
    TMP = tempfile.mkdtemp(prefix="skin")
    try:
        main_background()
        # One type size for the whole column: the size at which the longest caption fits.
        nav_size = fitting_size([b[3] for b in NAV_BUTTONS], FONT_BOLD, 13, NAV_W - NAV_TEXT_X - NAV_TEXT_MARGIN)
        for normal, over, active, caption, glyph in NAV_BUTTONS:
            nav_button(normal, caption, glyph, "normal", nav_size)
            nav_button(over, caption, glyph, "over", nav_size)
            nav_button(active, caption, glyph, "active", nav_size)
        # Buttons of one height share one type size (the largest at which every caption of that
        # height fits), so that a row of them looks alike.
        sizes = {}
        for _, _, _, _, width, height, caption in TEXT_BUTTONS:
            fitted = fitting_size([caption], FONT_BOLD, max(9, min(14, height // 2)), width - 2 * button_margin(width))
            sizes[height] = min(fitted, sizes.get(height, fitted))
        for normal, down, over, disabled, width, height, caption in TEXT_BUTTONS:
            size = sizes[height]
            button(normal, width, height, caption, "normal", size=size)
            button(down, width, height, caption, "down", size=size)
            if over != down:
                button(over, width, height, caption, "over", size=size)
            if disabled:
                button(disabled, width, height, caption, "disabled", size=size)
        tab_size = fitting_size([t[2] for t in TABS], FONT_BOLD, 10, TAB_W - 2 * button_margin(TAB_W))
        for normal, active, caption in TABS:
            button(normal, TAB_W, TAB_H, caption, "normal", size=tab_size, radius=4)
            button(active, TAB_W, TAB_H, caption, "active", size=tab_size, radius=4)
        for normal, hot, width, height, caption in HEADER_BUTTONS:
            header_button(normal, width, height, caption, False)
            header_button(hot, width, height, caption, True)
        caption_button(145, "line 6,13 13,13", False)
        caption_button(157, "line 6,13 13,13", True)
        caption_button(144, "line 6,6 13,13 line 13,6 6,13", False)
        caption_button(158, "line 6,6 13,13 line 13,6 6,13", True)
        button(375, 90, 35, "Visit Us", "normal", background=NAVY_DARK)
        button(376, 90, 35, "Visit Us", "over", background=NAVY_DARK)
        for resource_id, title in PAGES:
            page_background(resource_id, title=title)
        for resource_id, title, lines in TOOL_PAGES:
            tool_page_background(resource_id, title, lines)
        defrag_backgrounds()
        scan_page_background()
        scanning_page_background()
        statistics_background()
        results_background()
        update_background()
        check_images()
        for resource_id, kind, shade in [(164, "cross", ROW_LIGHT), (343, "cross", ROW_DARK), (337, "idle", "#ffffff"),
                                         (163, "tick", ROW_LIGHT), (342, "tick", ROW_DARK)]:
            row_mark(resource_id, kind, shade)
        pictures()
        spinner()
        progress("progress339.gif", 374, 19, 35)
        progress("progress361.gif", 128, 15, 13)
        icon()
        resource_script()
    finally:
        shutil.rmtree(TMP, ignore_errors=True)


if __name__ == "__main__":
    main()
