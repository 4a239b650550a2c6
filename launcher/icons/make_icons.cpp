// Writes Kestrun's two icons: Kestrun.ico (32x32, the large icon) and small.ico (16x16).
// The image is a teal tile with a white downward arrow, drawn at the size of each icon.
// Usage: kestrun_make_icons <output folder>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Pixel {
    std::uint8_t b, g, r, a;
};

void put16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// Row 0 is the top of the image.
std::vector<Pixel> draw(int size) {
    const Pixel clear{0, 0, 0, 0};
    const Pixel tile{0x80, 0x70, 0x10, 0xFF};
    const Pixel arrow{0xFF, 0xFF, 0xFF, 0xFF};
    std::vector<Pixel> image(static_cast<std::size_t>(size * size), clear);
    const int margin = size / 16;
    const int centre = size / 2;
    const int shaftHalf = size / 10;
    const int shaftTop = size / 5;
    const int headTop = size / 2;
    const int headBottom = size - size / 5;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Pixel& p = image[static_cast<std::size_t>(y * size + x)];
            if (x < margin || y < margin || x >= size - margin || y >= size - margin) {
                continue;
            }
            p = tile;
            const int dx = x < centre ? centre - 1 - x : x - centre;
            const bool inShaft = y >= shaftTop && y < headTop && dx < shaftHalf;
            const bool inHead = y >= headTop && y < headBottom && dx < headBottom - y;
            if (inShaft || inHead) {
                p = arrow;
            }
        }
    }
    return image;
}

// One 32-bit image with its AND mask, in the icon file format.
std::vector<std::uint8_t> iconFile(int size) {
    const std::vector<Pixel> image = draw(size);
    const std::uint32_t maskRowBytes = static_cast<std::uint32_t>(((size + 31) / 32) * 4);
    const std::uint32_t pixelBytes = static_cast<std::uint32_t>(size * size * 4);
    const std::uint32_t maskBytes = maskRowBytes * static_cast<std::uint32_t>(size);
    const std::uint32_t imageBytes = 40 + pixelBytes + maskBytes;

    std::vector<std::uint8_t> out;
    put16(out, 0); // reserved
    put16(out, 1); // icon
    put16(out, 1); // one image
    out.push_back(static_cast<std::uint8_t>(size));
    out.push_back(static_cast<std::uint8_t>(size));
    out.push_back(0); // no palette
    out.push_back(0);
    put16(out, 1);  // planes
    put16(out, 32); // bits per pixel
    put32(out, imageBytes);
    put32(out, 6 + 16); // offset of the image

    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(size));
    put32(out, static_cast<std::uint32_t>(size * 2)); // colour image and mask
    put16(out, 1);
    put16(out, 32);
    put32(out, 0); // uncompressed
    put32(out, pixelBytes + maskBytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);

    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const Pixel& p = image[static_cast<std::size_t>(y * size + x)];
            out.insert(out.end(), {p.b, p.g, p.r, p.a});
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(maskRowBytes, 0);
        for (int x = 0; x < size; ++x) {
            if (image[static_cast<std::size_t>(y * size + x)].a == 0) {
                row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

bool write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    if (!write(folder + "/Kestrun.ico", iconFile(32)) ||
        !write(folder + "/small.ico", iconFile(16))) {
        std::fprintf(stderr, "%s: cannot write the icons into %s\n", argv[0], folder.c_str());
        return 1;
    }
    return 0;
}
