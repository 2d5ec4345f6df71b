// Opens a tapped link in the desktop's browser: http and https only, with
// the page's "hxxp://" turned back into "http://". Any other scheme (file:,
// javascript:, data:, a program's handler) is ignored and traced, because
// feed content is untrusted and the desktop would open a local file or
// program. The opener is replaceable for tests. GUI thread only.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace wrenly::ui {

using LinkOpener = std::function<void(const QUrl& url)>;

// Replaces the opener; an empty one brings back the desktop's.
void SetLinkOpener(LinkOpener opener);

// True when the link was handed to the opener.
bool OpenLink(const QString& link);

}  // namespace wrenly::ui
