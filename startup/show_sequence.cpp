// Positions map to rounds of the order: round r holds the positions whose place in the endless
// walk (start_ + position - 1) divided by the picture count is r.
#include "startup/show_sequence.h"

#include "startup/resume_state.h"

#include <iterator>
#include <numeric>

namespace velmora {

ShowSequence::ShowSequence(const Settings& settings, Random& random, ResumeKeeper& keeper)
    : settings_(settings), random_(&random), keeper_(&keeper)
{
}

void ShowSequence::begin(const Catalogue& catalogue)
{
    if (begun_)
        return;
    begun_ = true;
    const int count = catalogue.ImageCount;
    if (count <= 0)
        return;
    if (keeper_ == nullptr) {
        std::vector<int> order(std::size_t(count), 0); // 0: no such picture, as a short ShowOrder has
        for (std::size_t i = 1; i < catalogue.ShowOrder.size() && i <= order.size(); ++i)
            order[i - 1] = catalogue.ShowOrder[i];
        rounds_.emplace(0, std::move(order));
        return;
    }
    names_.reserve(std::size_t(count) + 1);
    for (int i = 0; i <= count; ++i)
        names_.emplace_back(pictureName(catalogue.ImageList[std::size_t(i)]));
    const std::optional<ResumeEntry> stored = keeper_->stored(settings_.ImageFolder, settings_.ImageKinds);
    ResumedOrder resumed = resumeOrder(catalogue, settings_.ImageOrder, stored ? &*stored : nullptr, *random_);
    start_ = resumed.next;
    rounds_.emplace(0, std::move(resumed.order));
}

const std::vector<int>& ShowSequence::round(std::int64_t number)
{
    if (const auto found = rounds_.find(number); found != rounds_.end())
        return found->second;
    if (keeper_ == nullptr)
        return rounds_.begin()->second; // the same order every round
    // Rounds are drawn in turn, each avoiding to start on the picture the one before ends on.
    auto last = std::prev(rounds_.end());
    while (last->first < number) {
        std::vector<int> next(last->second.size());
        if (settings_.ImageOrder == 0)
            std::iota(next.begin(), next.end(), 1);
        else
            next = freshRound(int(next.size()), last->second.back(), *random_);
        last = rounds_.emplace_hint(rounds_.end(), last->first + 1, std::move(next));
    }
    return last->second;
}

int ShowSequence::pictureAt(std::int64_t position)
{
    if (rounds_.empty() || position < 1)
        return 0;
    const auto count = std::int64_t(rounds_.begin()->second.size());
    const std::int64_t place = std::int64_t(start_) + position - 1;
    return round(place / count)[std::size_t(place % count)];
}

void ShowSequence::shown(std::int64_t position)
{
    if (keeper_ == nullptr || rounds_.empty() || position <= lastShown_)
        return;
    lastShown_ = position;
    const auto count = std::int64_t(rounds_.begin()->second.size());
    const std::int64_t place = std::int64_t(start_) + position - 1;
    const std::vector<int>& order = round(place / count);
    ResumeEntry entry{settings_.ImageFolder, settings_.ImageKinds, std::int16_t(settings_.ImageOrder != 0), {},
                      std::size_t(place % count) + 1};
    entry.names.reserve(order.size());
    for (const int index : order)
        entry.names.push_back(names_[std::size_t(index)]);
    keeper_->remember(std::move(entry));
    // Other monitors stay within a round of this one: older rounds are done with.
    rounds_.erase(rounds_.begin(), rounds_.lower_bound(place / count - 1));
}

} // namespace velmora
