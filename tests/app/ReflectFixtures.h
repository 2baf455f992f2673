// Pictures Pillow makes for the reflection tests (in the folder given as the program's first
// argument): hole.png, an RGBA picture with a transparent hole and a half-transparent edge (40 x
// 28); photo.jpg (37 x 23); palette.bmp, 8-bit palette (21 x 17); mono.png, 1-bit (35 x 19).
#pragma once

inline constexpr const char* kMakeReflectFixtures = R"PY(import sys
import numpy as np
from PIL import Image
d = sys.argv[1]
h, w = 28, 40
y, x = np.mgrid[0:h, 0:w]
rgba = np.zeros((h, w, 4), np.uint8)
rgba[..., 0] = x * 6
rgba[..., 1] = 255 - y * 9
rgba[..., 2] = (x * 3 + y * 5) % 256
rgba[..., 3] = 255
rgba[8:16, 10:22, 3] = 0
rgba[0, :, 3] = 128; rgba[-1, :, 3] = 128; rgba[:, 0, 3] = 128; rgba[:, -1, 3] = 128
rgba[8:16, 10:22, 0] = 77
Image.fromarray(rgba, 'RGBA').save(d + 'hole.png')
h, w = 23, 37
y, x = np.mgrid[0:h, 0:w]
rgb = np.dstack([x * 7, y * 11, 128 + ((x // 4 + y // 4) % 2) * 100]).astype(np.uint8)
Image.fromarray(rgb, 'RGB').save(d + 'photo.jpg', quality=90)
h, w = 17, 21
y, x = np.mgrid[0:h, 0:w]
p = Image.fromarray(((x + 2 * y) % 16).astype(np.uint8), 'P')
p.putpalette([v for i in range(16) for v in (i * 16, 255 - i * 15, (i * 97) % 256)])
p.save(d + 'palette.bmp')
h, w = 19, 35
y, x = np.mgrid[0:h, 0:w]
Image.fromarray(((x // 3 + y // 2) % 3 == 0).astype(np.uint8) * 255, 'L').convert('1', dither=Image.NONE).save(d + 'mono.png')
)PY";
