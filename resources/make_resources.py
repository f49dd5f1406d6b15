#!/usr/bin/python3
# Draws the program icon, the click sound and the three QR-code pictures of the feedback window, and
# writes them beside this script. Needs python3-pil, the qrencode command and fonts-wqy-microhei.

import math
import os
import random
import struct
import subprocess
import sys

from PIL import Image, ImageDraw, ImageFont

# What the QR codes carry and what the pictures say. There are no payment accounts behind the donation
# codes; a distributor who has one replaces its placeholder here and runs the script again.
TEXTS = {
    "donation_1_code": "Placeholder for donation account 1 of postcode-lookup: no account is set up",
    "donation_1_above": "捐助账户一",
    "donation_1_below": "占位图：尚未设置收款账户",
    "donation_2_code": "Placeholder for donation account 2 of postcode-lookup: no account is set up",
    "donation_2_above": "捐助账户二",
    "donation_2_payee": "收款方：未设置（占位）",
    "feedback_code": "https://example.org/postcode-lookup/issues",
}

HERE = os.path.dirname(os.path.abspath(__file__))
FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

POSTAL_GREEN = (0, 122, 61, 255)
POSTAL_YELLOW = (255, 204, 0, 255)
CARD_BLUE = (22, 119, 255, 255)
CARD_GREEN = (9, 171, 82, 255)
WHITE = (255, 255, 255, 255)
BLACK = (0, 0, 0, 255)


def qr_modules(text, level):
    """The code's modules as rows of booleans (True is dark), without the quiet zone."""
    png = subprocess.run(["qrencode", "-t", "PNG", "-s", "1", "-m", "0", "-l", level, "-o", "-", text],
                         check=True, capture_output=True).stdout
    from io import BytesIO
    image = Image.open(BytesIO(png)).convert("RGBA").convert("L")
    return [[image.getpixel((x, y)) < 128 for x in range(image.width)] for y in range(image.height)]


def draw_qr(draw, modules, left, top, module_size, dark=BLACK):
    for row, line in enumerate(modules):
        for column, is_dark in enumerate(line):
            if is_dark:
                x = left + column * module_size
                y = top + row * module_size
                draw.rectangle([x, y, x + module_size - 1, y + module_size - 1], fill=dark)


def draw_postal_emblem(draw, box, colour, stroke):
    """An envelope with a horn-like swoosh over its flap: the program's own postal sign."""
    left, top, right, bottom = box
    width = right - left
    height = bottom - top
    env_top = top + height * 0.30
    draw.rectangle([left, env_top, right, bottom], outline=colour, width=stroke)
    draw.line([(left, env_top), ((left + right) / 2, env_top + (bottom - env_top) * 0.55), (right, env_top)],
              fill=colour, width=stroke, joint="curve")
    # Three speed lines above the envelope say that the letter travels.
    for i in range(3):
        y = top + i * height * 0.10
        x0 = left + width * (0.15 + 0.1 * i)
        draw.line([(x0, y), (right - width * 0.05, y)], fill=colour, width=max(1, stroke * 2 // 3))


def centred_text(draw, centre_x, top, text, font, fill):
    left, _, right, _ = draw.textbbox((0, 0), text, font=font)
    draw.text((centre_x - (right - left) / 2 - left, top), text, font=font, fill=fill)


# The icon on a 48-unit square: its rounded tile and the emblem's box within it.
ICON_UNITS = 48
ICON_RADIUS = 9
ICON_EMBLEM = (9, 10, 39, 38)
ICON_STROKE = 3


def make_icon():
    scale = 8
    size = ICON_UNITS * scale
    big = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    draw = ImageDraw.Draw(big)
    draw.rounded_rectangle([0, 0, size - 1, size - 1], radius=ICON_RADIUS * scale, fill=POSTAL_GREEN)
    draw_postal_emblem(draw, tuple(v * scale for v in ICON_EMBLEM), POSTAL_YELLOW, ICON_STROKE * scale)
    icon = big.resize((48, 48), Image.LANCZOS)
    write_ico(icon, os.path.join(HERE, "program_icon.ico"))
    # The desktop's menus take the same picture from the icon theme.
    icon.save(os.path.join(HERE, "program_icon_48.png"), "PNG", optimize=True)
    write_icon_svg(os.path.join(HERE, "program_icon.svg"))


def svg_colour(colour):
    return "#%02x%02x%02x" % colour[:3]


def write_icon_svg(path):
    """The icon as drawn by make_icon, shape for shape, for the scalable entry of the icon theme."""
    left, top, right, bottom = ICON_EMBLEM
    width = right - left
    height = bottom - top
    env_top = top + height * 0.30
    yellow = svg_colour(POSTAL_YELLOW)
    speed_stroke = max(1, ICON_STROKE * 2 // 3)
    lines = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48">',
        '  <rect x="0" y="0" width="48" height="48" rx="%g" fill="%s"/>' % (ICON_RADIUS, svg_colour(POSTAL_GREEN)),
        '  <g fill="none" stroke="%s" stroke-width="%g" stroke-linejoin="round">' % (yellow, ICON_STROKE),
        # PIL strokes a rectangle inside its box; SVG strokes on the outline, so the outline moves in.
        '    <rect x="%g" y="%g" width="%g" height="%g"/>' % (left + ICON_STROKE / 2, env_top + ICON_STROKE / 2,
                                                          width - ICON_STROKE, bottom - env_top - ICON_STROKE),
        '    <polyline points="%g,%g %g,%g %g,%g"/>' % (left, env_top, (left + right) / 2,
                                                      env_top + (bottom - env_top) * 0.55, right, env_top),
        '  </g>',
        '  <g stroke="%s" stroke-width="%g">' % (yellow, speed_stroke),
    ]
    for i in range(3):
        y = top + i * height * 0.10
        x0 = left + width * (0.15 + 0.1 * i)
        lines.append('    <line x1="%g" y1="%g" x2="%g" y2="%g"/>' % (x0, y, right - width * 0.05, y))
    lines += ['  </g>', '</svg>', '']
    with open(path, "w", encoding="ascii") as out:
        out.write("\n".join(lines))


def write_ico(image, path):
    """One 32-bit image with its AND mask, the layout every ICO reader takes."""
    width, height = image.size
    pixels = bytearray()
    for y in reversed(range(height)):
        for x in range(width):
            r, g, b, a = image.getpixel((x, y))
            pixels += bytes((b, g, r, a))
    row_bytes = ((width + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(height)):
        row = bytearray(row_bytes)
        for x in range(width):
            if image.getpixel((x, y))[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image_bytes = info + pixels + mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(image_bytes), 6 + 16)
    with open(path, "wb") as out:
        out.write(header + entry + image_bytes)


def make_click():
    """A short tick: a noise burst under a fast exponential decay with a touch of a 2.4 kHz ring."""
    rate = 22050
    frames = 1287  # 5,148 bytes of 16-bit stereo
    noise = random.Random(19)
    samples = bytearray()
    for i in range(frames):
        t = i / rate
        envelope = math.exp(-t / 0.006)
        ring = math.sin(2 * math.pi * 2400 * t) * math.exp(-t / 0.012)
        value = 0.55 * envelope * noise.uniform(-1, 1) + 0.35 * ring
        left = int(max(-1, min(1, value)) * 32767)
        right = int(max(-1, min(1, value * 0.9)) * 32767)
        samples += struct.pack("<hh", left, right)
    fmt = struct.pack("<HHIIHH", 1, 2, rate, rate * 4, 4, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(samples))
    body += bytes(samples)
    with open(os.path.join(HERE, "click.wav"), "wb") as out:
        out.write(b"RIFF" + struct.pack("<I", len(body)) + body)


def make_donation_card(path, size, card_colour, above, below, code):
    width, height = size
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    draw.rounded_rectangle([0, 0, width - 1, height - 1], radius=18, fill=card_colour)
    caption_font = ImageFont.truetype(FONT_PATH, max(18, height // 14))
    small_font = ImageFont.truetype(FONT_PATH, max(14, height // 20))
    caption_height = height // 7
    centred_text(draw, width / 2, caption_height // 4, above, caption_font, WHITE)

    modules = qr_modules(code, "M")
    count = len(modules)
    panel = height - 2 * caption_height - 12
    module_size = (panel - 2 * 8) // (count + 2)
    panel = module_size * (count + 2) + 16
    panel_left = (width - panel) // 2
    panel_top = caption_height + (height - 2 * caption_height - panel) // 2
    draw.rounded_rectangle([panel_left, panel_top, panel_left + panel - 1, panel_top + panel - 1], radius=8,
                           fill=WHITE)
    quiet = 8 + module_size
    draw_qr(draw, modules, panel_left + quiet, panel_top + quiet, module_size)
    centred_text(draw, width / 2, height - caption_height + caption_height // 5, below, small_font, WHITE)
    image.save(path, "PNG")


def make_feedback():
    size = 430
    modules = qr_modules(TEXTS["feedback_code"], "H")
    count = len(modules)
    module_size = size // (count + 8)
    image = Image.new("RGB", (size, size), (255, 255, 255))
    draw = ImageDraw.Draw(image)
    left = (size - count * module_size) // 2
    draw_qr(draw, modules, left, left, module_size, dark=(0, 0, 0))

    # The logo covers about a fifth of the code's width, well within what level H restores.
    scale = 4
    logo_size = int(count * module_size * 0.22)
    big = Image.new("RGBA", (logo_size * scale, logo_size * scale), (0, 0, 0, 0))
    logo = ImageDraw.Draw(big)
    end = logo_size * scale - 1
    logo.ellipse([0, 0, end, end], fill=WHITE)
    ring = 3 * scale
    logo.ellipse([ring, ring, end - ring, end - ring], fill=POSTAL_GREEN)
    inset = logo_size * scale * 0.24
    draw_postal_emblem(logo, (inset, inset * 1.1, end - inset, end - inset), POSTAL_YELLOW, 2 * scale)
    small = big.resize((logo_size, logo_size), Image.LANCZOS)
    corner = (size - logo_size) // 2
    image.paste(small, (corner, corner), small)
    image.save(os.path.join(HERE, "feedback.jpg"), "JPEG", quality=92, progressive=False)


def main():
    make_icon()
    make_click()
    make_donation_card(os.path.join(HERE, "donation_1.png"), (322, 288), CARD_BLUE, TEXTS["donation_1_above"],
                       TEXTS["donation_1_below"], TEXTS["donation_1_code"])
    make_donation_card(os.path.join(HERE, "donation_2.png"), (440, 455), CARD_GREEN, TEXTS["donation_2_above"],
                       TEXTS["donation_2_payee"], TEXTS["donation_2_code"])
    make_feedback()
    return 0


if __name__ == "__main__":
    sys.exit(main())
