// The state file is plain UTF-8 text, one field a line, so that a look at it explains itself:
//
//   velmora state 1
//   entry
//   folder /home/me/Pictures
//   kinds 1 1 1 0 1
//   order 1
//   next 17
//   names 200
//   (200 lines: one file name each)
//   end 4711
//
// Text values escape "\" as "\\" and a line break as "\n" (file names may hold one). The last
// line gives the number of bytes before it, so a file cut short is told from a whole one.
#include "startup/resume_state.h"

#include "startup/catalogue.h"

#include <algorithm>
#include <charconv>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

namespace velmora {

namespace {

constexpr std::string_view Header = "velmora state 1";

std::string escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return std::nullopt;
        }
    }
    return out;
}

template <typename Number>
std::optional<Number> wholeNumber(std::string_view text)
{
    Number value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// Reads the file line by line; every step fails the whole parse on anything unexpected.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    std::optional<std::string_view> line()
    {
        const std::size_t nl = text_.find('\n', pos_);
        if (nl == std::string_view::npos)
            return std::nullopt; // every line ends with its break, the last one too
        const std::string_view line = text_.substr(pos_, nl - pos_);
        pos_ = nl + 1;
        return line;
    }
    // The value of a line "name value".
    std::optional<std::string_view> field(std::string_view name)
    {
        const auto text = line();
        if (!text || text->size() <= name.size() || text->substr(0, name.size()) != name || (*text)[name.size()] != ' ')
            return std::nullopt;
        return text->substr(name.size() + 1);
    }
    std::size_t position() const { return pos_; }
    std::size_t bytesLeft() const { return text_.size() - pos_; }
    bool atEnd() const { return pos_ == text_.size(); }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

std::optional<ResumeEntry> parseEntry(LineReader& in)
{
    ResumeEntry entry;
    const auto folder = in.field("folder");
    const auto folderText = folder ? unescaped(*folder) : std::nullopt;
    const auto kinds = in.field("kinds");
    const auto order = in.field("order");
    const auto next = in.field("next");
    const auto count = in.field("names");
    if (!folderText || !kinds || !order || !next || !count)
        return std::nullopt;
    entry.folder = *folderText;
    // Files written before the fifth kind hold four flags: their pictures were listed without
    // it, and the resumed order takes in the newer pictures as pictures added since.
    const std::size_t flags = (kinds->size() + 1) / 2;
    if (kinds->size() % 2 == 0 || (flags != ImageKindCount && flags != ImageKindCount - 1))
        return std::nullopt;
    entry.kinds.fill(1);
    for (std::size_t i = 0; i < flags; ++i) {
        const char c = (*kinds)[2 * i];
        if ((c != '0' && c != '1') || (i + 1 < flags && (*kinds)[2 * i + 1] != ' '))
            return std::nullopt;
        entry.kinds[i] = std::int16_t(c - '0');
    }
    const auto orderValue = wholeNumber<int>(*order);
    const auto nextValue = wholeNumber<std::size_t>(*next);
    const auto countValue = wholeNumber<std::size_t>(*count);
    if (!orderValue || (*orderValue != 0 && *orderValue != 1) || !nextValue || !countValue || *nextValue > *countValue ||
        *countValue > in.bytesLeft() / 2) // each name takes a character and its line break at least
        return std::nullopt;
    entry.order = std::int16_t(*orderValue);
    entry.next = *nextValue;
    entry.names.reserve(*countValue);
    std::unordered_set<std::string> seen;
    for (std::size_t i = 0; i < *countValue; ++i) {
        const auto text = in.line();
        auto name = text ? unescaped(*text) : std::nullopt;
        if (!name || name->empty() || !seen.insert(*name).second)
            return std::nullopt;
        entry.names.push_back(std::move(*name));
    }
    return entry;
}

// Appends `kept` in its order with the `added` pictures in random places among them: which of the
// places go to added pictures is a uniform choice, and so is their order.
void appendMixedIn(const std::vector<int>& kept, std::vector<int> added, Random& random, std::vector<int>& out)
{
    if (added.empty()) {
        out.insert(out.end(), kept.begin(), kept.end());
        return;
    }
    std::vector<bool> slotIsAdded(kept.size() + added.size(), false);
    std::fill(slotIsAdded.begin(), slotIsAdded.begin() + std::ptrdiff_t(added.size()), true);
    for (std::size_t i = slotIsAdded.size(); i > 1; --i) {
        const std::size_t j = std::size_t(random.below(i));
        const bool swapped = slotIsAdded[i - 1];
        slotIsAdded[i - 1] = slotIsAdded[j];
        slotIsAdded[j] = swapped;
    }
    for (std::size_t i = added.size(); i > 1; --i)
        std::swap(added[i - 1], added[std::size_t(random.below(i))]);
    std::size_t nextKept = 0;
    std::size_t nextAdded = 0;
    for (const bool isAdded : slotIsAdded)
        out.push_back(isAdded ? added[nextAdded++] : kept[nextKept++]);
}

} // namespace

const ResumeEntry* ResumeState::find(const std::string& folder, const ImageKindFlags& kinds) const
{
    for (const ResumeEntry& entry : entries)
        if (entry.folder == folder && entry.kinds == kinds)
            return &entry;
    return nullptr;
}

void ResumeState::put(ResumeEntry entry)
{
    std::erase_if(entries, [&](const ResumeEntry& old) { return old.sameSelection(entry); });
    entries.insert(entries.begin(), std::move(entry));
    if (entries.size() > MaxEntries)
        entries.resize(MaxEntries);
}

std::string formatResumeState(const ResumeState& state)
{
    std::string out(Header);
    out += '\n';
    for (const ResumeEntry& e : state.entries) {
        out += "entry\nfolder " + escaped(e.folder) + "\nkinds ";
        for (std::size_t i = 0; i < ImageKindCount; ++i) {
            out += e.kinds[i] == 1 ? '1' : '0';
            out += i + 1 < ImageKindCount ? ' ' : '\n';
        }
        out += "order " + std::to_string(e.order != 0 ? 1 : 0) + "\nnext " + std::to_string(e.next) + "\nnames " +
               std::to_string(e.names.size()) + '\n';
        for (const std::string& name : e.names)
            out += escaped(name) + '\n';
    }
    out += "end " + std::to_string(out.size()) + '\n';
    return out;
}

std::optional<ResumeState> parseResumeState(std::string_view bytes)
{
    LineReader in(bytes);
    if (in.line() != Header)
        return std::nullopt;
    ResumeState state;
    while (true) {
        const std::size_t lineStart = in.position();
        const auto line = in.line();
        if (!line)
            return std::nullopt;
        if (line->substr(0, 4) == "end ") {
            if (wholeNumber<std::size_t>(line->substr(4)) != lineStart || !in.atEnd())
                return std::nullopt;
            return state;
        }
        if (*line != "entry" || state.entries.size() == ResumeState::MaxEntries)
            return std::nullopt;
        auto entry = parseEntry(in);
        if (!entry || state.find(entry->folder, entry->kinds) != nullptr)
            return std::nullopt;
        state.entries.push_back(std::move(*entry));
    }
}

std::string_view pictureName(std::string_view path)
{
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::vector<int> freshRound(int count, int avoidFirst, Random& random)
{
    Catalogue numbers;
    numbers.ImageCount = count;
    MakeShowOrder(1, random, numbers);
    std::vector<int> order(numbers.ShowOrder.begin() + 1, numbers.ShowOrder.end());
    if (order.size() > 1 && order.front() == avoidFirst)
        std::swap(order.front(), order[1 + std::size_t(random.below(order.size() - 1))]);
    return order;
}

ResumedOrder resumeOrder(const Catalogue& catalogue, std::int16_t imageOrder, const ResumeEntry* stored,
                         Random& random)
{
    const int count = catalogue.ImageCount;
    ResumedOrder result;
    if (count <= 0)
        return result;
    const auto nameAt = [&](int index) { return pictureName(catalogue.ImageList[std::size_t(index)]); };
    const bool anyShown = stored != nullptr && stored->next > 0 && stored->next <= stored->names.size();
    const std::string lastShown = anyShown ? stored->names[stored->next - 1] : std::string();

    if (imageOrder == 0) {
        result.order.resize(std::size_t(count));
        std::iota(result.order.begin(), result.order.end(), 1);
        if (anyShown) {
            // The list is sorted by this same ordering: the first name past the last one shown.
            int shown = 0;
            while (shown < count && !utf16Less(lastShown, nameAt(shown + 1)))
                ++shown;
            result.next = std::size_t(shown == count ? 0 : shown);
        }
        return result;
    }

    std::unordered_map<std::string_view, int> indexOf;
    indexOf.reserve(std::size_t(count));
    for (int i = 1; i <= count; ++i)
        indexOf.emplace(nameAt(i), i);
    if (stored != nullptr && stored->order != 0) {
        std::vector<bool> placed(std::size_t(count) + 1, false);
        std::vector<int> toCome;
        for (std::size_t k = 0; k < stored->names.size(); ++k) {
            const auto found = indexOf.find(stored->names[k]);
            if (found == indexOf.end())
                continue; // gone since
            placed[std::size_t(found->second)] = true;
            (k < stored->next ? result.order : toCome).push_back(found->second);
        }
        result.next = result.order.size();
        std::vector<int> added;
        for (int i = 1; i <= count; ++i)
            if (!placed[std::size_t(i)])
                added.push_back(i);
        if (!toCome.empty() || !added.empty()) {
            appendMixedIn(toCome, added, random, result.order);
            return result;
        }
    }
    const auto last = indexOf.find(lastShown);
    result.order = freshRound(count, last == indexOf.end() ? 0 : last->second, random);
    result.next = 0;
    return result;
}

} // namespace velmora
