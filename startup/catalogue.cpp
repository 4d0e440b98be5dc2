// The catalogue keeps no 16-bit limit: a folder of any size is listed in full.
#include "startup/catalogue.h"

#include "startup/text_units.h"

#include <algorithm>
#include <cassert>
#include <numeric>
#include <utility>
#include <vector>

namespace velmora {

namespace {

// Next code point of UTF-8 text as a UTF-16 sort rank. Supplementary characters rank
// between U+D7FF and U+E000 (where their surrogates sort), in code point order; a byte
// that is not well-formed UTF-8 ranks above everything, by its value.
std::uint32_t nextRank(std::string_view s, std::size_t& pos)
{
    const auto b0 = static_cast<unsigned char>(s[pos]);
    const std::optional<char32_t> cp = nextCodePoint(s, pos);
    if (!cp)
        return 0x400000u + b0;
    if (*cp < 0xD800)
        return *cp;
    if (*cp >= 0x10000)
        return 0xD800 + (*cp - 0x10000);
    return *cp + 0x200000; // U+E000..U+FFFF after every supplementary character
}

} // namespace

std::string utf16SortKey(std::string_view text)
{
    // Each rank in a prefix-free, order-keeping byte form (UTF-8's scheme stretched to five
    // bytes for the ranks above U+1FFFFF): comparing keys compares the rank sequences.
    std::string key;
    key.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::uint32_t r = nextRank(text, pos);
        if (r < 0x80) {
            key += char(r);
            continue;
        }
        int tail = r < 0x800 ? 1 : r < 0x10000 ? 2 : r < 0x200000 ? 3 : 4;
        static constexpr unsigned char lead[5] = {0, 0xC0, 0xE0, 0xF0, 0xF8};
        key += char(lead[tail] | (r >> (6 * tail)));
        while (tail-- > 0)
            key += char(0x80 | ((r >> (6 * tail)) & 0x3F));
    }
    return key;
}

bool utf16Less(std::string_view a, std::string_view b)
{
    // Equal leading bytes are equal characters: decode only from the character holding the
    // first difference, found by stepping back over continuation bytes.
    const std::size_t same = static_cast<std::size_t>(
        std::mismatch(a.begin(), a.begin() + std::ptrdiff_t(std::min(a.size(), b.size())), b.begin()).first - a.begin());
    const auto continuation = [](std::string_view s, std::size_t i) {
        return i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
    };
    std::size_t start = same;
    while (start > 0 && (continuation(a, start) || continuation(b, start)))
        --start;
    if (start == a.size() || start == b.size())
        return a.size() < b.size();
    std::size_t i = start, j = start;
    while (i < a.size() && j < b.size()) {
        const auto ra = nextRank(a, i);
        const auto rb = nextRank(b, j);
        if (ra != rb)
            return ra < rb;
    }
    return i == a.size() && j < b.size();
}

std::string AddSeparator(std::string_view path, char separator)
{
    std::string out(path);
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    if (out.empty() || out.back() != separator)
        out += separator;
    return out;
}

std::string DirPart(std::string_view path, char separator)
{
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i)
        if (path[i] == separator || (separator == '\\' && path[i] == ':'))
            last = i;
    if (last == std::string_view::npos)
        return {};
    std::string out(path.substr(0, last + 1));
    if (out.back() == separator)
        out.pop_back();
    return out;
}

void AddFiles(const std::string& pattern, FileSystem& fs, Catalogue& catalogue)
{
    const std::string prefix = DirPart(pattern, fs.separator()) + fs.separator();
    for (const auto& found : fs.findFiles(pattern)) {
        if (!IsCatalogueFile(found))
            continue;
        ++catalogue.ImageCount;
        catalogue.ImageList.resize(std::size_t(catalogue.ImageCount) + 1);
        catalogue.ImageList[std::size_t(catalogue.ImageCount)] = prefix + found.name;
    }
}

void BuildImageList(const std::string& folder, const ImageKindFlags& kinds, FileSystem& fs,
                    Catalogue& catalogue)
{
    catalogue.ImageCount = 0;
    catalogue.ImageList.assign(1, std::string());
    if (folder.empty())
        return;
    std::vector<std::string_view> wildcards;
    for (std::size_t i = 0; i < PicturePatterns.size(); ++i)
        if (kinds[PatternKind[i]] == 1)
            wildcards.push_back(PicturePatterns[i]);
    if (wildcards.empty())
        return;
    // One listing of the folder for every kind; the paths as AddFiles composes them.
    const char separator = fs.separator();
    const std::string prefix = DirPart(folder + separator + "*", separator) + separator;
    std::vector<std::string> names = fs.findPlainFiles(folder, wildcards);
    catalogue.ImageList.reserve(names.size() + 1);
    for (const std::string& name : names)
        if (!name.empty())
            catalogue.ImageList.push_back(prefix + name);
    catalogue.ImageCount = static_cast<int>(catalogue.ImageList.size() - 1);
    if (catalogue.ImageCount > 1)
        SortImageList(catalogue);
}

void BuildImageList(const std::string& folder, const ImageKindFlags& kinds, FileSystem& fs,
                    Catalogue& catalogue, CatalogueScan* later)
{
    if (later == nullptr) {
        BuildImageList(folder, kinds, fs, catalogue);
        return;
    }
    catalogue = Catalogue{};
    *later = CatalogueScan{folder, kinds};
}

Catalogue BuildImageList(const CatalogueScan& scan, FileSystem& fs)
{
    Catalogue catalogue;
    BuildImageList(scan.folder, scan.kinds, fs, catalogue);
    return catalogue;
}

void SortImageList(Catalogue& catalogue)
{
    assert(catalogue.ImageCount >= 0 && std::size_t(catalogue.ImageCount) < catalogue.ImageList.size());
    // Each path's key is made once, so the sort compares plain bytes.
    const std::size_t n = std::size_t(catalogue.ImageCount);
    std::vector<std::pair<std::string, std::size_t>> keyed(n);
    for (std::size_t i = 0; i < n; ++i)
        keyed[i] = {utf16SortKey(catalogue.ImageList[i + 1]), i + 1};
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> sorted;
    sorted.reserve(n + 1);
    sorted.emplace_back();
    for (std::size_t i = 0; i < n; ++i) {
        // A name matched by two patterns (through a short name) is listed once.
        if (i > 0 && keyed[i].first == keyed[i - 1].first)
            continue;
        sorted.push_back(std::move(catalogue.ImageList[keyed[i].second]));
    }
    catalogue.ImageList = std::move(sorted);
    catalogue.ImageCount = static_cast<int>(catalogue.ImageList.size() - 1);
}

void MakeShowOrder(std::int16_t imageOrder, Random& random, Catalogue& catalogue)
{
    const std::size_t n = std::size_t(catalogue.ImageCount);
    catalogue.ShowOrder.resize(n + 1);
    catalogue.ShowOrder[0] = 0;
    std::iota(catalogue.ShowOrder.begin() + 1, catalogue.ShowOrder.end(), 1);
    if (imageOrder == 0)
        return;
    // Fisher-Yates: every permutation equally likely.
    for (std::size_t i = n; i > 1; --i) {
        const std::size_t j = 1 + std::size_t(random.below(i));
        std::swap(catalogue.ShowOrder[i], catalogue.ShowOrder[j]);
    }
}

bool FolderExists(FileSystem& fs, const std::string& path)
{
    return fs.anyMatch(AddSeparator(path, fs.separator()) + "*.*");
}

bool FileExists(FileSystem& fs, const std::string& path)
{
    std::string p = path;
    if (!p.empty() && p.back() == fs.separator())
        p.pop_back();
    return !p.empty() && fs.canOpenForReading(p);
}

} // namespace velmora
