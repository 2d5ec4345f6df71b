// What an element's class, id and role say about it: words that sites use
// for article text and words they use for site furniture (menus, comments,
// share buttons, advertisements). The vocabulary is general; it names no
// site. Pure functions; safe for concurrent use.
#pragma once

#include "fetcher/html_tree.h"

namespace wrenly {

// +25 for each of class and id that hints at article text, -25 for each that
// hints at furniture (so -50 .. +50).
int ClassWeight(const HtmlNode* node);

// True when class or id names furniture and nothing that could hold the
// article, or the role is one of navigation, menus, dialogs and side notes.
bool IsUnlikelyCandidate(const HtmlNode* node);

// True when class or id names a share, social or print widget (never for
// pictures and figures).
bool IsShareWidget(const HtmlNode* node);

// True for elements a reader never sees: the hidden attribute,
// aria-hidden="true", or a style with display:none or visibility:hidden.
bool IsHidden(const HtmlNode* node);

}  // namespace wrenly
