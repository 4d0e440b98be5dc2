// Helpers of the loader suites.
#include "tests/loaders/loader_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <stb_image.h>

namespace loader_test {

std::string sourceFile(const std::string& relative)
{
    std::string path = std::string(VELMORA_SOURCE_DIR) + "/" + relative;
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path; // Wine shows the Linux tree as drive Z:
    }
#endif
    return path;
}

std::string fixture(const std::string& name) { return sourceFile("tests/loaders/fixtures/" + name); }
std::string hostile(const std::string& name) { return sourceFile("tests/loaders/hostile/" + name); }

std::vector<std::uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string writeTemporary(const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    const std::filesystem::path path = std::filesystem::temp_directory_path() / ("velmora-loader-" + name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

velmora::Picture readPpm(const std::string& path)
{
    const std::vector<std::uint8_t> bytes = readBytes(path);
    int w = 0, h = 0, channels = 0;
    stbi_uc* rgb = stbi_load_from_memory(bytes.data(), int(bytes.size()), &w, &h, &channels, 3);
    velmora::Picture p;
    if (rgb != nullptr) {
        p.resize(w, h);
        for (int i = 0; i < w * h; ++i) {
            p.setPixel(i % w, i / w, rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i]);
        }
        stbi_image_free(rgb);
    }
    return p;
}

int largestDifference(const velmora::Picture& actual, const velmora::Picture& expected, int block)
{
    if (actual.width() != expected.width() || actual.height() != expected.height()) {
        return -1;
    }
    int worst = 0;
    for (int by = 0; by + block <= actual.height(); by += block) {
        for (int bx = 0; bx + block <= actual.width(); bx += block) {
            if (block == 1 && (expected.pixelValue(bx, by) & 0xFFFFFF) == 0x010203) {
                continue; // "do not compare"
            }
            for (int c = 0; c < 3; ++c) {
                int sum = 0; // of the actual picture's channel less the expected one's, over the square
                for (int y = by; y < by + block; ++y) {
                    for (int x = bx; x < bx + block; ++x) {
                        sum += actual.pixel(x, y)[c] - expected.pixel(x, y)[c];
                    }
                }
                worst = std::max(worst, std::abs(sum) / (block * block));
            }
        }
    }
    return worst;
}

} // namespace loader_test
