// Adds what a wizard page chose through the reader library (one change of
// the catalog on disk, under the data root's lock) and says in one message
// box what was refused: an unreadable catalog, each address already
// subscribed with the channel that has it, a title already taken.
// GUI thread only.
#pragma once

#include <optional>
#include <vector>

#include "reader/reader_data.h"

class QWidget;

namespace wrenly::ui {

// What became of each channel, in order; nothing when the catalog refused
// the whole (nothing was changed then).
std::optional<std::vector<reader::Subscription>> AddChannels(QWidget* page,
                                                              const std::vector<reader::NewChannel>& channels);

// True when something was added (a channel, or an outline without address).
bool AnyAdded(const std::vector<reader::Subscription>& subscriptions);

}  // namespace wrenly::ui
