#!/usr/bin/python3
"""Makes the viewer's own pictures in data/: the About picture (250 x 298 JPEG), the
window icon (32 x 32) and the drop-down button's glyph (16 x 16).
Run from anywhere: tools/make_artwork.py
"""
import os

from PIL import Image, ImageDraw, ImageFilter, ImageFont

import make_samples

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


def about_picture():
    tile = make_samples.checker_wood().resize((64, 64), Image.LANCZOS)
    image = Image.new("RGB", (250, 298))
    for y in range(0, 298, 64):
        for x in range(0, 250, 64):
            image.paste(tile, (x, y))
    shade = Image.new("L", image.size, 0)
    ImageDraw.Draw(shade).rounded_rectangle((22, 86, 228, 212), radius=14, fill=150)
    image.paste((20, 14, 8), mask=shade.filter(ImageFilter.GaussianBlur(6)))
    draw = ImageDraw.Draw(image)
    title = ImageFont.truetype(FONT, 58)
    small = ImageFont.truetype(FONT, 14)
    draw.text((125 + 3, 140 + 3), "Vumo", font=title, anchor="mm", fill=(0, 0, 0))
    draw.text((125, 140), "Vumo", font=title, anchor="mm", fill=(250, 226, 170))
    draw.text((125, 188), "texture viewer", font=small, anchor="mm", fill=(235, 215, 180))
    return image


def icon():
    image = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    colours = [(176, 72, 48), (214, 170, 96), (214, 170, 96), (176, 72, 48)]
    for i, colour in enumerate(colours):
        x, y = (i % 2) * 14 + 2, (i // 2) * 14 + 2
        draw.rectangle((x, y, x + 13, y + 13), fill=colour + (255,), outline=(60, 30, 20, 255))
    draw.text((16, 16), "V", font=ImageFont.truetype(FONT, 20), anchor="mm", fill=(255, 255, 255, 255),
              stroke_width=1, stroke_fill=(40, 20, 10, 255))
    return image


def dropdown_glyph():
    image = Image.new("RGBA", (16, 16), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    draw.polygon([(4, 6), (12, 6), (8, 10)], fill=(0, 0, 0, 255))
    return image


def main():
    data = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
    about_picture().save(os.path.join(data, "about.jpg"), quality=85)
    icon().save(os.path.join(data, "vumo.png"))
    dropdown_glyph().save(os.path.join(data, "dropdown.png"))


if __name__ == "__main__":
    main()
